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
. "$(dirname "$0")/../blackbox/lib.sh"
need_tools xdotool xprop xsel xwininfo paplay parecord import od awk
instance=vorda-tuning
fresh_home tuning
xvfb_pid=""
cleanup_pids="$cleanup_pids xvfb_pid"

# A PSK31 station idling for SECONDS, then sending TEXT, in white noise as a
# receiver hears it: the idle is a phase reversal in every symbol, which is the
# two tones FREQUENCY +- 15.625 Hz.
play_idle_then() {  # FREQUENCY SECONDS TEXT
    encode "$1" "$work/text.wav" "$3"
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

# Whether a raw 16-bit recording holds a sample beyond 4000.
loud_in() {  # RAW
    od -An -v -td2 -w2 "$1" 2>/dev/null |
        awk '$1 > 4000 || $1 < -4000 { found = 1; exit } END { exit !found }'
}

case $case_name in
waterfall_click)
    start_and_continue
    # 1250 Hz is column 224 of the broad view around 1000 Hz.
    # Three times over: on a busy machine the click may come after the first
    # "a click tunes here" has played.
    phrase="cq cq de vorda test the quick brown fox and a click tunes here 73 de vorda"
    play 1250 "$phrase $phrase $phrase sk"
    # The newest 30 rows show the signal once the waterfall has drawn that much of it.
    signal=$(await_trace 224 30 150 15)
    [ "$(wc -l <"$work/before")" -eq 75 ] || fail "display picture is not 384 x 75"
    quiet=$(column_mean "$work/before" 320 340 30)
    echo "waterfall grey at 1250 Hz: $signal, at 2000 Hz: $quiet"
    [ "$signal" -ge 150 ] || fail "no bright trace at 1250 Hz (grey $signal)"
    [ "$quiet" -le 70 ] || fail "the waterfall is not dark where nothing plays (grey $quiet)"
    [ "$(column_mean "$work/before" 191 193 75 0)" -ge 250 ] &&
        [ "$(column_mean "$work/before" 191 193 75 1)" -le 5 ] || fail "no red line at the centre"

    read -r _ dx dy <<<"$(display_window)"
    click_at "$main_window" $((dx + 224)) $((dy + 37)) 1
    text=$(await_text "a click tunes here" 60 receive_pane_text) ||
        fail "the receive pane does not show the signal's text (receive field at $(receive_field_text)): $text"
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
    # Seek once the idle is in the spectrum: the broad view shows it first.
    await_trace "$(column_of 1500 1000)" 10 150 10 >/dev/null ||
        fail "the idling station does not show in the waterfall"
    press_in "$main_window" ctrl+n ctrl+u
    # About a hundred steps at the pace of the poll loop, then AFC pulls in. The
    # field is read once the text has come: reading it (a triple click into it)
    # while Seek stepped was seen to send Seek on to the end of the band.
    text=$(await_text "lazy dog" 35 receive_pane_text) ||
        fail "nothing decoded after Seek Up (receive field at $(receive_field_text)): $text"
    field=$(receive_field_text) || fail "no receive frequency field"
    within "$field" 1495 1505 || fail "Seek Up from 1000 Hz stopped at '$field', not at 1500"
    ;;
xmit_cwid)
    start_and_continue
    record_monitor
    typed="cq test de vorda"
    press_in "$main_window" ctrl+x || fail "cannot reach the main window"
    xdotool type --delay 40 "$typed"
    xdotool key ctrl+r
    # The text (about 4 s with the preamble), " de N0CALL" in Morse (about 5 s), the end.
    morse=$(await_morse "DE N0CALL" 30)
    stop_recording
    decoded=$("$VORDA_MODEM" decode --table "$VORDA_SOURCE_DATA_DIR" "$work/sent.wav")
    [ "${decoded:0:${#typed}}" = "$typed" ] ||
        fail "the recording decodes to '$decoded', not '$typed' first; the pane: $(receive_pane_text)"
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
    pressed=$(now_ms)
    retry_for 5 0.05 loud_in "$work/sent.raw" || fail "no audio on the monitor 5 s after Xmit"
    delay=$(($(now_ms) - pressed))
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
    record_monitor --latency-msec=20
    press_in "$main_window" ctrl+x || fail "cannot reach the main window"
    xdotool type --delay 40 "first"
    wait_for_sound 10 || fail "no audio on the monitor 10 s after Xmit"
    text=$(await_text "first" 20 receive_pane_text) || fail "the first text was not echoed: $text"
    xdotool key ctrl+r ctrl+x
    xdotool type --delay 20 "late"
    xdotool key ctrl+r ctrl+t ctrl+r
    # The postamble and the identification, then nothing.
    wait_for_silence 2 30 || fail "the sink is not silent 30 s after the last Recv"
    at_silence=$(last_sound_second)
    # Then three more seconds of the recording, all of them quiet.
    retry_for 10 0.2 sound_then_quiet 5
    quiet=$?
    [ "$(last_sound_second)" = "$at_silence" ] || fail "sound came back after the transmission ended"
    [ $quiet -eq 0 ] || fail "the monitor recording stopped growing"
    stop_recording
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
    retry_for 10 0.1 test -s "$work/display" || fail "no $depth-bit Xvfb"
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
    signal=$(await_trace 224 20 200 20)
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
