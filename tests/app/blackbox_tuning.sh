#!/usr/bin/env bash
# Black-box tests of tuning and transmitting with the staged program, on the X
# server of $DISPLAY with the PulseAudio daemon of $PULSE_SERVER (both from
# tests/with-services.sh): signals played into the sound server show in the
# waterfall, a click and Seek tune to them, and what is typed is heard on the
# sink's monitor followed by the Morse identification.
#
# Usage: blackbox_tuning.sh CASE   (waterfall_click, seek_up, xmit_cwid, xmit_at_start,
#                                   xmit_recv_quick, truecolor16, pseudocolor)
# Needs VORDA_STAGE (the staged install), VORDA_MODEM (vorda-modem) and
# VORDA_SOURCE_DATA_DIR (for the code table the encoder uses).
set -uo pipefail

case_name=${1:?usage: blackbox_tuning.sh CASE}
: "${VORDA_STAGE:?}" "${VORDA_MODEM:?}" "${VORDA_SOURCE_DATA_DIR:?}"
[ -n "${DISPLAY:-}" ] || { echo "no DISPLAY: run under tests/with-services.sh"; exit 1; }
for tool in xdotool xsel xwininfo paplay parecord import od awk; do
    command -v $tool >/dev/null || { echo "$tool is not installed (make deps)"; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/vorda-tuning.XXXXXX")
export HOME=$work/home
mkdir -p "$HOME"
export LOGNAME=vorda-test-operator  # not in the dialout group: the warning appears
export XFILESEARCHPATH="$VORDA_STAGE/app-defaults/%N"
export XUSERFILESEARCHPATH="$work/none/%N"
unset XENVIRONMENT XAPPLRESDIR
vorda_pid=""
player_pid=""
recorder_pid=""
xvfb_pid=""

stop_pid() {
    [ -n "$1" ] && kill -0 "$1" 2>/dev/null || return 0
    kill "-${2:-TERM}" "$1" 2>/dev/null
    wait "$1" 2>/dev/null
}

cleanup() {
    stop_pid "$vorda_pid" KILL
    stop_pid "$player_pid"
    stop_pid "$recorder_pid" INT
    stop_pid "$xvfb_pid"
    rm -rf "$work"
}
trap cleanup EXIT
. "$(dirname "$0")/../blackbox_windows.sh"

fail() {
    echo "FAIL ($case_name): $*"
    echo "--- standard error of vorda:"
    cat "$work/stderr" 2>/dev/null
    exit 1
}

instance=vorda-tuning

start_vorda() {  # [TOOLKIT OPTION...]
    "$VORDA_STAGE/bin/vorda" -name $instance "$@" >"$work/stdout" 2>"$work/stderr" &
    vorda_pid=$!
}

start_and_continue() {  # [TOOLKIT OPTION...]
    start_vorda "$@"
    main_window=$(visible_window VORDA) || fail "the main window did not appear"
    local warning
    warning=$(visible_window "VORDA ERROR") || fail "no dialout warning"
    press_in "$warning" Escape
    window_gone "VORDA ERROR"
    [ -z "$(own_windows "VORDA ERROR")" ] || fail "Cancel did not close the warning"
}

# Child windows of the main window by size, as "id x y" (root coordinates),
# top to bottom: the 384 x 75 display, and the frequency fields (86 pixels wide
# by the resource file), receive field first.
child_windows() {  # SIZE_PATTERN
    xwininfo -tree -id "$main_window" |
        awk -v pattern="$1" '$0 ~ pattern {
            split($NF, at, "+"); print $1, at[2], at[3] }' | sort -k3 -n
}

display_window() {
    child_windows ' 384x75\+' | head -n 1
}

# The display's pixels as 75 lines of 384 red, green, blue triples, row 0 first.
display_pixels() {
    local id
    read -r id _ _ <<<"$(display_window)"
    xdotool windowraise "$main_window"
    sleep 0.2
    import -window "$id" -depth 8 rgb:- 2>/dev/null | od -An -v -tu1 -w1152
}

# Mean of one channel (0 red, 1 green, 2 blue) of columns FIRST..LAST over rows
# 0..ROWS-1, the newest rows of the waterfall. Greys have all three alike.
column_mean() {  # PIXELS_FILE FIRST LAST ROWS CHANNEL
    awk -v a="$2" -v b="$3" -v rows="$4" -v channel="${5:-1}" 'NR <= rows {
        for (c = a; c <= b; ++c) { sum += $(3 * c + channel + 1); ++n } }
        END { printf "%d\n", n ? sum / n : -1 }' "$1"
}

# The text of the receive frequency field: a triple click selects it all.
receive_field_text() {
    local id x y
    read -r id x y <<<"$(child_windows ' 86x[0-9]+\+1\+1 ' | head -n 1)"
    [ -n "$id" ] || return 1
    xdotool windowraise "$main_window" mousemove $((x + 40)) $((y + 20)) sleep 0.1 \
        click --repeat 3 --delay 60 1
    sleep 0.3
    xsel --output --primary 2>/dev/null
}

receive_pane_text() {
    eval "$(xdotool getwindowgeometry --shell "$main_window")"
    xdotool windowraise "$main_window" mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 6)) \
        sleep 0.1 click 1
    press_in "$main_window" ctrl+slash
    sleep 0.2
    xsel --output --primary 2>/dev/null
}

wait_for_pane_text() {  # TEXT SECONDS
    local text=""
    for _ in $(seq $(($2 * 2))); do
        text=$(receive_pane_text)
        grep -qF -- "$1" <<<"$text" && return 0
        sleep 0.5
    done
    echo "$text"
    return 1
}

play() {  # FREQUENCY TEXT
    "$VORDA_MODEM" encode --table "$VORDA_SOURCE_DATA_DIR" --freq "$1" -o "$work/signal.wav" "$2" ||
        fail "vorda-modem encode failed"
    paplay "$work/signal.wav" &
    player_pid=$!
}

# Raw samples (16-bit stereo, 8000/s) of a WAV file.
wav_data() {  # WAV
    local data
    data=$(grep -obUa data "$1" | head -n 1 | cut -d: -f1)
    tail -c +$((data + 9)) "$1"
}

# A PSK31 station idling for SECONDS, then sending TEXT, in white noise as a
# receiver hears it: the idle is a phase reversal in every symbol, which is the
# two tones FREQUENCY +- 15.625 Hz.
play_idle_then() {  # FREQUENCY SECONDS TEXT
    "$VORDA_MODEM" encode --table "$VORDA_SOURCE_DATA_DIR" --freq "$1" -o "$work/text.wav" "$3" ||
        fail "vorda-modem encode failed"
    wav_data "$work/text.wav" | od -An -v -td2 -w4 |
        LC_ALL=C awk -v f="$1" -v n=$(($2 * 8000)) -v noise=300 '
        function emit(v) {
            v = int(v + noise * sqrt(-2 * log(1 - rand())) * cos(2 * pi * rand()))
            if (v > 32767) v = 32767
            if (v < -32768) v = -32768
            if (v < 0) v += 65536
            printf "%c%c%c%c", v % 256, int(v / 256), v % 256, int(v / 256)
        }
        BEGIN {
            pi = atan2(0, -1)
            srand(31)
            for (i = 0; i < n; ++i) {
                emit(16000 * cos(2 * pi * 15.625 * i / 8000) * cos(2 * pi * f * i / 8000))
            }
        }
        { emit($1) }' >"$work/signal.raw"
    paplay --raw --rate=8000 --channels=2 --format=s16le "$work/signal.raw" &
    player_pid=$!
}

# Samples of the monitor recording so far (past the WAV header), one per line, left channel.
recorded_samples() {
    tail -c +45 "$work/sent.wav" | od -An -v -td2 -w4 | awk '{ print $1 }'
}

# Second of the recording at which the last sound (beyond 1000) was, and its length.
sound_extent() {
    recorded_samples | awk '$1 > 1000 || $1 < -1000 { last = NR } END { printf "%.2f %.2f\n", last / 8000, NR / 8000 }'
}

last_sound_second() {
    local last _
    read -r last _ <<<"$(sound_extent)"
    echo "$last"
}

wait_for_sound() {  # DEADLINE_SECONDS
    local last _
    for _ in $(seq $(($1 * 10))); do
        read -r last _ <<<"$(sound_extent)"
        awk -v l="$last" 'BEGIN { exit !(l > 0) }' && return 0
        sleep 0.1
    done
    return 1
}

wait_for_silence() {  # QUIET_SECONDS DEADLINE_SECONDS
    local last length
    for _ in $(seq $(($2 * 5))); do
        read -r last length <<<"$(sound_extent)"
        awk -v l="$last" -v n="$length" -v q="$1" 'BEGIN { exit !(l > 0 && n - l >= q) }' && return 0
        sleep 0.2
    done
    return 1
}

within() {  # VALUE LOW HIGH
    awk -v v="$1" -v lo="$2" -v hi="$3" 'BEGIN { exit !(v + 0 == v && v >= lo && v <= hi) }'
}

# Morse read from the keying at the end of a recording: the carrier's on and off
# runs after the last PSK31 (whose amplitude dips are shorter than a symbol).
morse_of_recording() {  # WAV
    wav_data "$1" | od -An -v -td2 -w4 | awk '
    BEGIN {
        split("A .- B -... C -.-. D -.. E . F ..-. G --. H .... I .. J .--- K -.- L .-.. " \
              "M -- N -. O --- P .--. Q --.- R .-. S ... T - U ..- V ...- W .-- X -..- " \
              "Y -.-- Z --.. 0 ----- 1 .---- 2 ..--- 3 ...-- 4 ....- 5 ..... 6 -.... " \
              "7 --... 8 ---.. 9 ----. / -..-.", t, " ")
        for (i = 1; i < length(t); i += 2) letter[t[i + 1]] = t[i]
    }
    { v = $1 < 0 ? -$1 : $1; if (v > m) m = v; if (++n % 32 == 0) { env[++units] = m; m = 0 } }
    END {
        for (i = 1; i <= units; ++i) if (env[i] > peak) peak = env[i]
        runs = 0; prev = -1
        for (i = 1; i <= units; ++i) {
            on = env[i] > peak / 2
            if (on == prev) { ++len[runs]; continue }
            kind[++runs] = on; len[runs] = 1; prev = on
        }
        # The Morse starts at the first gap after the carrier came up that is longer
        # than a symbol (8 units of 32 samples).
        start = runs
        for (i = 1; i <= runs && start == runs; ++i) {
            if (kind[i]) seen = 1
            else if (seen && len[i] > 8) start = i
        }
        dot = 1e9
        for (i = start; i <= runs; ++i) if (kind[i] && len[i] < dot) dot = len[i]
        code = ""; text = ""
        for (i = start + 1; i <= runs; ++i) {
            if (kind[i]) { code = code (len[i] > 2 * dot ? "-" : "."); continue }
            if (len[i] < 3 * dot && i < runs) continue
            text = text (code in letter ? letter[code] : "?"); code = ""
            if (len[i] >= 8 * dot && i < runs) text = text " "
        }
        if (code != "") text = text (code in letter ? letter[code] : "?")
        print text
    }'
}

case $case_name in
waterfall_click)
    start_and_continue
    # 1250 Hz is column 224 of the broad view around 1000 Hz.
    # Three times over: on a busy machine the click may come after the first
    # "a click tunes here" has played.
    phrase="cq cq de vorda test the quick brown fox and a click tunes here 73 de vorda"
    play 1250 "$phrase $phrase $phrase sk"
    sleep 5
    display_pixels >"$work/before" || fail "no picture of the display"
    [ "$(wc -l <"$work/before")" -eq 75 ] || fail "display picture is not 384 x 75"
    signal=$(column_mean "$work/before" 223 225 30)
    quiet=$(column_mean "$work/before" 320 340 30)
    echo "waterfall grey at 1250 Hz: $signal, at 2000 Hz: $quiet"
    [ "$signal" -ge 150 ] || fail "no bright trace at 1250 Hz (grey $signal)"
    [ "$quiet" -le 70 ] || fail "the waterfall is not dark where nothing plays (grey $quiet)"
    [ "$(column_mean "$work/before" 191 193 75 0)" -ge 250 ] &&
        [ "$(column_mean "$work/before" 191 193 75 1)" -le 5 ] || fail "no red line at the centre"

    read -r _ dx dy <<<"$(display_window)"
    xdotool windowraise "$main_window" mousemove $((dx + 224)) $((dy + 37)) sleep 0.1 click 1
    text=$(wait_for_pane_text "a click tunes here" 60) ||
        fail "the receive pane does not show the signal's text: $text"
    # The picture now has the signal at its centre: bright on both sides of the red
    # line, well above the dark band where nothing plays (the snap may land a bin off).
    display_pixels >"$work/after"
    left=$(column_mean "$work/after" 188 190 10)
    right=$(column_mean "$work/after" 194 196 10)
    echo "after the click: grey $left left and $right right of the centre"
    [ "$left" -ge 100 ] && [ "$right" -ge 100 ] ||
        fail "the signal is not at the centre after the click ($left, $right)"
    field=$(receive_field_text) || fail "no receive frequency field"
    within "$field" 1242 1258 || fail "receive field reads '$field', not about 1250"
    ;;
seek_up)
    start_and_continue -xrm "$instance*fftSpeedScale.value: 100"
    # Seek looks for a signal 31.25 Hz wide: a station idling before it sends. It
    # is found best with the narrow span and a spectrum every 256 samples, where
    # the signal shows in several blocks while the receiver steps past it.
    play_idle_then 1500 12 "cq cq cq de vorda vorda vorda pse k the quick brown fox jumps \
over the lazy dog 73 sk"
    press_in "$main_window" ctrl+n
    sleep 2
    press_in "$main_window" ctrl+u
    # About a hundred steps at the pace of the poll loop, then AFC pulls in.
    sleep 5
    field=$(receive_field_text) || fail "no receive frequency field"
    within "$field" 1495 1505 || fail "Seek Up from 1000 Hz stopped at '$field', not at 1500"
    text=$(wait_for_pane_text "lazy dog" 30) || fail "nothing decoded after Seek Up: $text"
    ;;
xmit_cwid)
    start_and_continue
    parecord -d vorda_null.monitor --rate=8000 --channels=2 --format=s16le --file-format=wav \
        "$work/sent.wav" &
    recorder_pid=$!
    sleep 0.5
    typed="cq test de vorda"
    press_in "$main_window" ctrl+x || fail "cannot reach the main window"
    xdotool type --delay 40 "$typed"
    xdotool key ctrl+r
    # The text (about 4 s with the preamble), " de N0CALL" in Morse (about 5 s), the end.
    sleep 15
    stop_pid "$recorder_pid" INT
    recorder_pid=""
    decoded=$("$VORDA_MODEM" decode --table "$VORDA_SOURCE_DATA_DIR" "$work/sent.wav")
    [ "${decoded:0:${#typed}}" = "$typed" ] ||
        fail "the recording decodes to '$decoded', not '$typed' first; the pane: $(receive_pane_text)"
    morse=$(morse_of_recording "$work/sent.wav")
    echo "keying after the text: $morse"
    [ "$morse" = "DE N0CALL" ] || fail "the keying after the text reads '$morse', not 'DE N0CALL'"
    text=$(receive_pane_text)
    grep -qF -- "$typed" <<<"$text" || fail "the echo is not in the receive pane: $text"
    ;;
xmit_at_start)
    # Xmit pressed the moment the window can take it: the preamble is on the air at
    # once, however young the sound streams are.
    parecord -d vorda_null.monitor --rate=8000 --channels=2 --format=s16le --file-format=raw \
        --latency-msec=20 "$work/sent.raw" &
    recorder_pid=$!
    start_and_continue
    press_in "$main_window" ctrl+x || fail "cannot reach the main window"
    pressed=$(date +%s%N)
    heard=""
    for _ in $(seq 100); do
        if od -An -v -td2 -w2 "$work/sent.raw" 2>/dev/null |
            awk '$1 > 4000 || $1 < -4000 { found = 1; exit } END { exit !found }'; then
            heard=$(date +%s%N)
            break
        fi
        sleep 0.05
    done
    [ -n "$heard" ] || fail "no audio on the monitor 5 s after Xmit"
    delay=$(((heard - pressed) / 1000000))
    echo "preamble heard $delay ms after Xmit"
    # The preamble fills the playback buffer at once; a sink still sleeping in long
    # blocks adds seconds.
    [ "$delay" -le 1000 ] || fail "the preamble came $delay ms after Xmit"
    xdotool key ctrl+r
    ;;
xmit_recv_quick)
    # Xmit, Recv, Xmit, Recv and Tune, Recv pressed in quick succession, with text
    # typed ahead in between: the first transmission goes out with its text and
    # ends; what was asked for after it is withdrawn, so the sink falls silent
    # for good and the text typed after the first Recv never goes on the air.
    start_and_continue
    parecord -d vorda_null.monitor --rate=8000 --channels=2 --format=s16le --file-format=wav \
        --latency-msec=20 "$work/sent.wav" &
    recorder_pid=$!
    press_in "$main_window" ctrl+x || fail "cannot reach the main window"
    xdotool type --delay 40 "first"
    wait_for_sound 10 || fail "no audio on the monitor 10 s after Xmit"
    text=$(wait_for_pane_text "first" 20) || fail "the first text was not echoed: $text"
    xdotool key ctrl+r ctrl+x
    xdotool type --delay 20 "late"
    xdotool key ctrl+r ctrl+t ctrl+r
    # The postamble and the identification, then nothing.
    wait_for_silence 2 30 || fail "the sink is not silent 30 s after the last Recv"
    at_silence=$(last_sound_second)
    sleep 3
    [ "$(last_sound_second)" = "$at_silence" ] || fail "sound came back after the transmission ended"
    stop_pid "$recorder_pid" INT
    recorder_pid=""
    decoded=$("$VORDA_MODEM" decode --table "$VORDA_SOURCE_DATA_DIR" "$work/sent.wav")
    echo "on the air: '$decoded', last sound at ${at_silence} s"
    grep -qF "first" <<<"$decoded" || fail "the first text was not sent: '$decoded'"
    grep -qF "late" <<<"$decoded" && fail "text typed after Recv went on the air: '$decoded'"
    ;;
truecolor16 | pseudocolor)
    # Screens of other depths, on an X server of their own: 16-bit TrueColor,
    # whose grey ramp comes from its 5-6-5 masks, and 8-bit PseudoColor, where it
    # is 100 cells of the default colormap (0x9600 to 0xF900 grey).
    depth=16
    [ "$case_name" = pseudocolor ] && depth=8
    Xvfb -displayfd 3 -nolisten tcp -noreset -screen 0 1024x900x$depth 3>"$work/display" \
        >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
    [ -s "$work/display" ] || fail "no $depth-bit Xvfb"
    DISPLAY=":$(cat "$work/display")"
    export DISPLAY
    start_and_continue
    play 1250 "vorda on $depth bits the quick brown fox"
    if [ $depth = 8 ]; then
        grep -qx "find_visual_info: Using 8 bpp Pseudo Color" "$work/stderr" || fail "not PseudoColor"
        grep -q "Could not allocate" "$work/stderr" && fail "grey cells refused"
        quiet_low=140 quiet_high=160
    else
        grep -qx "find_visual_info: Using 16 bpp True Color" "$work/stderr" || fail "not 16 bpp"
        quiet_low=40 quiet_high=60
    fi
    # The newest rows show the signal once the waterfall has drawn a few seconds of it.
    for _ in $(seq 40); do
        display_pixels >"$work/before" || fail "no picture of the display"
        signal=$(column_mean "$work/before" 223 225 20)
        [ "$signal" -ge 200 ] && break
        sleep 0.5
    done
    quiet=$(column_mean "$work/before" 320 340 20)
    echo "waterfall grey at 1250 Hz: $signal, at 2000 Hz: $quiet"
    [ "$signal" -ge 200 ] || fail "no bright trace at 1250 Hz (grey $signal)"
    within "$quiet" $quiet_low $quiet_high || fail "the quiet band is grey $quiet, not level 0 of the ramp"
    [ "$(column_mean "$work/before" 191 193 75 0)" -ge 250 ] &&
        [ "$(column_mean "$work/before" 191 193 75 1)" -le 5 ] || fail "no red line at the centre"
    ;;
*)
    echo "unknown case $case_name"
    exit 2
    ;;
esac
echo "PASS ($case_name)"
