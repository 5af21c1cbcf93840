#!/usr/bin/env bash
# Black-box test of the band window with the staged program, on the X server of
# $DISPLAY and the PulseAudio daemon of $PULSE_SERVER (tests/with-services.sh).
#
#   stations  ten stations (eight BPSK31, two QPSK31, 60 to 500 Hz apart, 25 dB
#             apart in level, one drifting 3 Hz in 40 s) in noise shaped by a
#             300-2700 Hz filter are played into the sink. Ctrl-A opens the window;
#             each station's line appears within 10 s of its first character, in
#             its mode, its text read at 2% character errors or fewer; the line
#             holding the operator's call is marked, Find marks a typed call, a click
#             on that line tunes Rx Freq to within 2 Hz of the station and the
#             receive pane copies it on; finished lines are in the band log; Ctrl-A
#             closes the window and the place it had is kept at QRT.
#   noise     two minutes of that filtered noise alone: the window stays empty.
#
# Usage: blackbox_band.sh stations|noise
# Needs VORDA_STAGE (the staged install), VORDA_MODEM (vorda-modem) and
# VORDA_SOURCE_DATA_DIR (the code table for the encoder).
set -uo pipefail

case_name=${1:?usage: blackbox_band.sh stations|noise}
: "${VORDA_STAGE:?}" "${VORDA_MODEM:?}" "${VORDA_SOURCE_DATA_DIR:?}"
here=$(dirname "$0")
. "$here/../blackbox/lib.sh"
. "$here/../blackbox/band_recording.sh"
need_tools xdotool xprop xsel xwininfo paplay sox soxi import
instance=vorda-band
fresh_home band

# FREQUENCY MODE LEVEL_DB START_S DRIFT_HZ TEXT; the drifting one lasts about 40 s.
cat >"$work/stations" <<'LIST'
 480 B  -2 0.0 0 cq cq de k1abc k1abc pse k
 540 B  -6 1.5 0 qrz? this is w2def in grid fn31 73
 800 B  -9 3.0 0 n0call de g3ghi ur rst 599 name jim
1100 Q  -4 0.5 0 qpsk test from dl4jkl running 50 watts
1350 B -25 2.0 0 weak signal from ve5mno hello from saskatchewan
1600 B  -5 0.0 3 cq cq de ja6pqr ja6pqr, the rig drifts a little as old rigs do. name is taro, qth is osaka, please call me on this frequency now k
1900 Q -14 4.0 0 vk7stu qpsk31 here antenna is a dipole
2150 B -18 1.0 0 f8vwx testing psk31 on the low band tonight
2400 B -11 2.5 0 ea9yza sends 73 to all and qrt
2650 B  -7 5.0 0 zl1bcd calling cq contest
LIST
drift_hz=1600
drift_tail="call me on this frequency now k"

# ------------------------------------------------------------------ reading the window
# The band window's parts, as "id x y" in root coordinates: the Find field (the
# one text field) and bandText (the largest window inside its scrolled window).
band_find_field() { child_windows "$band" ' 1[0-9][0-9]x3[0-9]\+' | head -n 1; }
band_text_widget() {
    xwininfo -tree -id "$band" | awk '
        /^ *0x[0-9a-f]+ / && match($0, /[0-9]+x[0-9]+\+-?[0-9]+\+-?[0-9]+ +\+-?[0-9]+\+-?[0-9]+/) {
            split(substr($0, RSTART, RLENGTH), p, /[ x+]+/)
            if (p[1] >= 300 && p[2] >= 150 && (best == "" || p[1] * p[2] < area)) {
                area = p[1] * p[2]; best = $1 " " p[5] " " p[6] " " p[1] " " p[2]
            }
        }
        END { print best }'
}

# The whole text of bandText: a click below its lines (on no line, so nothing is
# tuned) gives it the keyboard, then select all, the PRIMARY selection (the window
# holds still while its text is selected), and unselected again.
band_text() {
    local id x y w h
    read -r id x y w h <<<"$(band_text_widget)"
    [ -n "$id" ] || return 1
    pane_text "$band" $((x + w / 2)) $((y + h - 8))
    xdotool key ctrl+backslash
}

# The line of the station at FREQUENCY (within 8 Hz) in TEXT: "MODE<tab>TEXT".
line_of() {  # TEXT FREQUENCY
    awk -v f="$2" '{
        hz = substr($0, 1, 6) + 0
        if (hz - f <= 8 && f - hz <= 8 && substr($0, 7, 1) == " ") {
            print substr($0, 8, 1) "\t" substr($0, 11); exit
        }
    }' <<<"$1"
}

# Character errors of SENT in GOT, in percent of SENT: an edit distance in which the
# line may hold other characters before and after the station's text (noise before
# its first character, what follows once it ends).
cer_percent() {  # SENT GOT
    awk -v a="$1" -v b="$2" 'BEGIN {
        n = length(a); m = length(b)
        for (j = 0; j <= m; ++j) d[0, j] = 0
        for (i = 1; i <= n; ++i) {
            d[i, 0] = i
            for (j = 1; j <= m; ++j) {
                c = d[i - 1, j - 1] + (substr(a, i, 1) != substr(b, j, 1))
                if (d[i - 1, j] + 1 < c) c = d[i - 1, j] + 1
                if (d[i, j - 1] + 1 < c) c = d[i, j - 1] + 1
                d[i, j] = c
            }
        }
        best = n
        for (j = 0; j <= m; ++j) if (d[n, j] < best) best = d[n, j]
        printf "%.1f\n", 100 * best / n
    }'
}

# Mean grey of each pixel row of bandText inside its margins, top first: a marked
# line shows as a run of darker rows.
row_greys() {
    local id x y w h
    read -r id x y w h <<<"$(band_text_widget)"
    import -window "$id" png:- 2>/dev/null |
        convert - -crop "$((w - 30))x$((h - 12))+6+6" +repage -colorspace gray \
            -scale "1x$((h - 12))!" -depth 8 txt:- |
        awk -F'[(,)]' 'NR > 1 { print $3 }'
}

# The middle row (in bandText) of the first run of rows darker in AFTER than in
# BEFORE, both the output of row_greys.
new_mark_middle() {  # BEFORE AFTER
    paste <(printf '%s\n' "$1") <(printf '%s\n' "$2") |
        awk '$2 < $1 - 20 { if (!first) first = NR; last = NR; next } first { exit }
             END { if (first) print int((first + last) / 2) + 6 }'
}

# Whether the operator's call marks a line by itself: some rows well below the rest.
some_row_marked() {  # GREYS
    awk 'NR == 1 || $1 > top { top = $1 } { g[NR] = $1 } END {
        for (i in g) if (g[i] < top - 40) found = 1; exit !found }' <<<"$1"
}

# ------------------------------------------------------------------ cases
case "$case_name" in
stations)
    band_recording "$work/stations" "$work/band.wav" -25 48 || fail "the recording was not made"
    # Room below the lines for the clicks that read the window.
    start_and_continue -xrm "$instance*bandText.rows: 24" -xrm "$instance.bandLog: 1" \
        -xrm "$instance.call: N0CALL"
    press_in "$main_window" ctrl+a
    band=$(visible_window "VORDA BAND") || fail "Ctrl-A opened no band window"

    paplay "$work/band.wav" &
    player_pid=$!
    started=$(now_ms)

    # Each line within 10 s of the station's first character (after its second of
    # preamble).
    declare -A due=() seen_at=()
    while read -r freq mode db start drift text; do
        due[$freq]=$(awk -v s="$start" -v t="$started" 'BEGIN { printf "%.0f", t + (s + 1 + 10) * 1000 }')
    done <"$work/stations"
    while [ ${#seen_at[@]} -lt ${#due[@]} ]; do
        shown=$(band_text)
        for freq in "${!due[@]}"; do
            [ -n "${seen_at[$freq]:-}" ] && continue
            line=$(line_of "$shown" "$freq")
            if [ -n "$line" ] && [ -n "$(cut -f2 <<<"$line" | tr -d ' ')" ]; then
                seen_at[$freq]=$(now_ms)
            elif ! before "${due[$freq]}"; then
                fail "no line for the station at $freq Hz within 10 s of its first character: $shown"
            fi
        done
        sleep 0.5
    done

    # The operator's call is marked by itself; Find marks a typed call (in capitals)
    # on one line more.
    line_at_click=$(line_of "$(band_text)" "$drift_hz")
    grep -qF "$drift_tail" <<<"$line_at_click" && fail "the drifting station ended before the click"
    read -r id x y <<<"$(band_find_field)"
    # Every station has a line by now, but the one calling N0CALL may not have sent the
    # whole call yet.
    retry_for 15 0.5 eval 'marked_before=$(row_greys); some_row_marked "$marked_before"' ||
        fail "the line holding the operator's call N0CALL is not marked"
    xdotool windowraise "$band" mousemove $((x + 20)) $((y + 10)) click 1
    press_in "$band" J A 6 P Q R
    retry_for 3 0.2 eval 'middle=$(new_mark_middle "$marked_before" "$(row_greys)"); [ -n "$middle" ]' ||
        fail "Find marked no line for JA6PQR"
    read -r _ tx ty _ <<<"$(band_text_widget)"
    click_at "$band" $((tx + 100)) $((ty + middle)) 1
    clicked=$(now_ms)
    # Where the drifting station is now: 3 Hz over its text, which begins 1 s in.
    expected=$(awk -v t=$(((clicked - started) / 1000)) 'BEGIN { printf "%.1f", 1600 + 3 * (t - 1) / 40 }')
    retry_for 5 0.2 field_within "$(awk -v e="$expected" 'BEGIN { print e - 2 }')" \
        "$(awk -v e="$expected" 'BEGIN { print e + 2 }')" ||
        fail "the click on the marked line tuned Rx Freq to '$seen', not within 2 Hz of $expected"
    main=$(await_text "$drift_tail" 40 receive_pane_text) ||
        fail "the receive pane did not copy the station on after the click: $main"

    wait "$player_pid"
    player_pid=""
    # The last characters come a moment after the sound.
    every_line_read() {
        local shown line cer freq mode db start drift text
        shown=$(band_text)
        while read -r freq mode db start drift text; do
            line=$(line_of "$shown" "$freq")
            [ -n "$line" ] || { why="the line of $freq Hz is gone: $shown"; return 1; }
            # The survey tells QPSK from BPSK by itself.
            [ "${line%%$'\t'*}" = "$mode" ] ||
                { why="$freq Hz shows mode ${line%%$'\t'*}, sent $mode: $shown"; return 1; }
            # A line shows the newest 70 characters (80 columns less the label): of a
            # longer text, what fits beside a little noise after it.
            [ ${#text} -gt 60 ] && text=${text: -60}
            cer=$(cer_percent "$text" "${line#*$'\t'}")
            within "$cer" 0 2 ||
                { why="$freq Hz ($mode, $db dB) read at $cer% CER: '${line#*$'\t'}'"; return 1; }
        done <"$work/stations"
    }
    retry_for 5 0.5 every_line_read || fail "$why"

    # The finished line of the 480 Hz station, as AFC left its frequency, with what
    # noise its receiver read before carrier detect closed after it.
    logged=no
    while IFS=$'\t' read -r hz text; do
        within "$hz" 478 482 && within "$(cer_percent "cq cq de k1abc k1abc pse k" "$text")" 0 2 &&
            logged=yes
    done < <(sed -nE 's/^[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2} +([0-9]+\.[0-9]) Hz  B  (.*)$/\1\t\2/p' \
        "$HOME/.vordaDir/band.log")
    [ $logged = yes ] || fail "the band log lacks the line of 480 Hz: $(cat "$HOME/.vordaDir/band.log")"

    press_in "$main_window" ctrl+a
    window_gone "$band" "VORDA BAND" || fail "Ctrl-A did not close the band window"
    quit_with ctrl+q
    read -r px py pw ph <"$HOME/.vordaDir/band.pos" || fail "QRT kept no place of the band window"
    [ "${pw:-0}" -gt 100 ] && [ "${ph:-0}" -gt 100 ] || fail "kept place '$px $py $pw $ph'"
    ;;
noise)
    printf '' >"$work/none"
    band_recording "$work/none" "$work/noise.wav" -10 120 || fail "the recording was not made"
    start_and_continue -xrm "$instance.bandBrowser: 1"
    band=$(visible_window "VORDA BAND") || fail "bandBrowser 1 opened no band window"
    paplay "$work/noise.wav" &
    player_pid=$!
    # A line lasts a minute after its last character: looked at every 10 s, none
    # goes unseen. At most one in the two minutes is allowed.
    declare -A lines_seen=()
    while kill -0 "$player_pid" 2>/dev/null; do
        while read -r label _; do
            [ -n "$label" ] && lines_seen[$label]=1
        done <<<"$(band_text)"
        retry_for 10 0.5 eval '! kill -0 "$player_pid" 2>/dev/null'
    done
    player_pid=""
    # A line's label moves with its receiver's AFC: labels within 15 Hz are one line.
    lines=$(printf '%s\n' "${!lines_seen[@]}" | sort -n |
        awk 'NR == 1 || $1 - last >= 15 { n++ } { last = $1 } END { print n + 0 }')
    [ "$lines" -le 1 ] || fail "noise alone gave $lines lines, at ${!lines_seen[*]} Hz"
    ;;
*)
    echo "unknown case $case_name"
    exit 2
    ;;
esac
echo "PASS ($case_name)"
