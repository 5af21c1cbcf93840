# Builds a recording of a busy band (sourced): PSK31 stations from vorda-modem
# encode, each at its own level and start, one of them drifting, in noise shaped as
# a radio's 300-2700 Hz filter shapes it. Used by the band window's black-box test
# and by bench/measure/band_cpu.sh.
#
# A station list has one station a line: FREQUENCY MODE(B|Q) LEVEL_DB START_S DRIFT_HZ TEXT
# LEVEL_DB is against the strongest station (0); DRIFT_HZ is how far it moves upwards
# over the whole of its text.

# band_recording LIST OUT NOISE_DB SECONDS [MODEM TABLE_DIR]: writes OUT, 8000/s stereo.
band_recording() {
    local list=$1 out=$2 noise_db=$3 seconds=$4
    local modem=${5:-$VORDA_MODEM} table=${6:-$VORDA_SOURCE_DATA_DIR}
    local dir i=0 inputs=() freq mode db start drift text qpsk length
    dir=$(mktemp -d "${TMPDIR:-/tmp}/band-recording.XXXXXX") || return 1
    while read -r freq mode db start drift text; do
        [ -n "$freq" ] && [ "${freq:0:1}" != "#" ] || continue
        i=$((i + 1))
        qpsk=""
        [ "$mode" = Q ] && qpsk=--qpsk
        if [ "$drift" = 0 ]; then
            "$modem" encode --table "$table" $qpsk --freq "$freq" -o "$dir/raw$i.wav" "$text" ||
                return 1
        else
            # A drift the encoder cannot make: the station encoded at 250 Hz, moved up
            # by a sine sweeping (FREQUENCY - 250) to (FREQUENCY - 250 + DRIFT_HZ), and
            # the mixer's other products filtered away.
            "$modem" encode --table "$table" $qpsk --freq 250 -o "$dir/base$i.wav" "$text" ||
                return 1
            length=$(soxi -D "$dir/base$i.wav")
            sox "$dir/base$i.wav" "$dir/raw$i.wav" synth "$length" sine amod \
                "$(awk -v f="$freq" -v d="$drift" 'BEGIN { printf "%.3f-%.3f", f - 250, f - 250 + d }')" \
                sinc -t 40 "$((freq - 70))-$((freq + 70))" gain 6 || return 1
        fi
        # Every station ends up SECONDS long: its start of silence, then it, then silence.
        sox -V1 "$dir/raw$i.wav" "$dir/st$i.wav" gain "$db" pad "$start" "$seconds" trim 0 "$seconds" ||
            return 1
        # Scaled on the way in: the mixer clips what it sums before any effect.
        inputs+=(-v 0.11 "$dir/st$i.wav")
    done <"$list"
    sox -n -r 8000 -c 2 -b 16 "$dir/noise.wav" synth "$seconds" whitenoise sinc 300-2700 \
        gain "$noise_db" || return 1
    # The strongest station peaks near -19 dBFS a channel, -13 dBFS once the server
    # has summed the two; NOISE_DB is the noise before that scaling (white noise at
    # 0 dB is about -5 dBFS rms).
    if [ ${#inputs[@]} -eq 0 ]; then
        sox -v 0.11 "$dir/noise.wav" -b 16 "$out" || return 1
    else
        sox -m "${inputs[@]}" -v 0.11 "$dir/noise.wav" -b 16 "$out" || return 1
    fi
    rm -rf "$dir"
}
