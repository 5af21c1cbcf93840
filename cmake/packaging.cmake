# What a desktop installation adds to the program: manual pages, the menu entry
# and its icons; and the Debian package (make package) built from the same
# install rules. Included at the end of the top-level CMakeLists.txt.

# Manual pages, compressed in the build tree.
set(VORDA_MAN_PAGES)
if(TARGET vorda)
    list(APPEND VORDA_MAN_PAGES vorda.1)
endif()
if(TARGET vorda-modem)
    list(APPEND VORDA_MAN_PAGES vorda-modem.1)
endif()
set(VORDA_MAN_OUTPUTS)
foreach(page ${VORDA_MAN_PAGES})
    set(out ${CMAKE_BINARY_DIR}/man/${page}.gz)
    add_custom_command(
        OUTPUT ${out}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
        COMMAND ${CMAKE_COMMAND} -DIN=${CMAKE_SOURCE_DIR}/docs/${page} -DOUT=${out}
                -P ${CMAKE_SOURCE_DIR}/cmake/gzip.cmake
        DEPENDS ${CMAKE_SOURCE_DIR}/docs/${page} ${CMAKE_SOURCE_DIR}/cmake/gzip.cmake
        COMMENT "Compressing the manual page ${page}")
    list(APPEND VORDA_MAN_OUTPUTS ${out})
endforeach()
if(VORDA_MAN_OUTPUTS)
    add_custom_target(vorda_man_pages ALL DEPENDS ${VORDA_MAN_OUTPUTS})
    install(FILES ${VORDA_MAN_OUTPUTS} DESTINATION share/man/man1)
endif()

if(TARGET vorda)
    install(FILES ${CMAKE_SOURCE_DIR}/data/vorda.desktop DESTINATION share/applications)
    # Made by tools/make-desktop-icons.py.
    foreach(size 48 64 128)
        install(FILES ${CMAKE_SOURCE_DIR}/data/icons/vorda-${size}.png
                DESTINATION share/icons/hicolor/${size}x${size}/apps RENAME vorda.png)
    endforeach()
endif()

# The program finds its data only where it was told at build time.
if(NOT VORDA_DATA_DIR STREQUAL "${CMAKE_INSTALL_PREFIX}/share/vorda")
    message(WARNING "VORDA_DATA_DIR (${VORDA_DATA_DIR}) is not where the data is installed "
                    "(${CMAKE_INSTALL_PREFIX}/share/vorda); set both together, as make "
                    "install and make package do")
endif()

# Debian package. Configure with -DCMAKE_INSTALL_PREFIX=/usr
# -DVORDA_DATA_DIR=/usr/share/vorda (make package does), then build the target
# "package": vorda_<version>_<arch>.deb in the build directory.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vorda)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "the vorda developers")
if(NOT DEFINED VORDA_CONTACT_ADDRESS)
    set(VORDA_CONTACT_ADDRESS "root@localhost")
endif()
set(CPACK_PACKAGE_CONTACT "vorda developers <${VORDA_CONTACT_ADDRESS}>")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "PSK31 sound-card modem and operating console for X11")
set(CPACK_PACKAGE_DESCRIPTION
"vorda turns the sound card into a modem for PSK31, the narrow-band keyboard
mode of the amateur radio bands: BPSK and QPSK with a Viterbi decoder, either
sideband, automatic frequency control and a squelch. The radio is keyed
through the RTS line of a serial port.

Its Motif console has receive and transmit panes, a waterfall or spectrum
display with click-to-tune, seek and an IMD reading, a phase scope, four
secondary decoder windows, canned QSO texts with prompts, keyboard macros, a
call box shared with a logging program and a searchable help window. Sound
goes through PulseAudio.

The package also holds vorda-modem, which encodes text as PSK31 audio files
and decodes recordings.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION hamradio)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Depends from the libraries the programs link (dpkg-shlibdeps, from dpkg-dev).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The resource file asks for DejaVu faces; the sound server may run elsewhere.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-dejavu-core, pulseaudio | pipewire-pulse")
set(CPACK_STRIP_FILES ON)
# The resource file is configuration: dpkg keeps the operator's edits on upgrade
# and removes it only on purge.
if(TARGET vorda AND IS_ABSOLUTE "${VORDA_APP_DEFAULTS_DIR}")
    file(WRITE ${CMAKE_BINARY_DIR}/debian/conffiles "${VORDA_APP_DEFAULTS_DIR}/Vorda\n")
    set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/debian/conffiles)
    set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
endif()
include(CPack)
