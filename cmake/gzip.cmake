# cmake -DIN=file -DOUT=file.gz -P gzip.cmake: compresses one file (manual pages
# are installed compressed, as Debian's man expects them).
file(ARCHIVE_CREATE OUTPUT "${OUT}" PATHS "${IN}" FORMAT raw COMPRESSION GZip
     COMPRESSION_LEVEL 9)
