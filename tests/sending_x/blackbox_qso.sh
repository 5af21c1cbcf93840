#!/usr/bin/env bash
# Black-box test of sending a QSO file with the staged program, on the X server
# of $DISPLAY and the PulseAudio daemon of $PULSE_SERVER (tests/with-services.sh):
# Ctrl-1 sends the first QSO file and its field is answered in the prompt.
#
# Usage: blackbox_qso.sh CASE
#   pane   the transmit pane then holds the file's text with the answer in place
#   audio  Xmit and Recv transmit it, and the audio taken from the sink's monitor
#          decodes to that text (needs the Xmit and Recv controls)
#   race   Ctrl-1 and Ctrl-2 within milliseconds: only the first text is typed,
#          with its answer in place
#   fifo   a QSO file that is a FIFO is refused with a warning; the window goes on
#          working
# Needs VORDA_STAGE (the staged install), VORDA_MODEM (vorda-modem) and
# VORDA_SOURCE_DATA_DIR (the code table for the decoder).
set -uo pipefail

case_name=${1:?usage: blackbox_qso.sh pane|audio|race|fifo}

: "${VORDA_STAGE:?}" "${VORDA_MODEM:?}" "${VORDA_SOURCE_DATA_DIR:?}"
. "$(dirname "$0")/../blackbox/lib.sh"
need_tools xdotool xprop xsel parecord
instance=vorda-qso
fresh_home qso

start_and_continue
# The operator works in the transmit pane, below the receive pane in the middle
# of the window.
eval "$(xdotool getwindowgeometry --shell "$main_window")"
click_at "$main_window" $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) 1


# Whether the monitor recording so far decodes to something holding TEXT.
sent_holds() {  # TEXT
    [[ $("$VORDA_MODEM" decode --table "$VORDA_SOURCE_DATA_DIR" "$work/sent.wav") == *"$1"* ]]
}

[ -f "$HOME/.vordaDir/cq" ] || fail "the QSO files were not copied"

case $case_name in
pane|audio)
    # The first QSO file as installed: the CQ call with the field ~MYCALL.
    expected_file="$VORDA_STAGE/share/vorda/vordaDir/cq"
    grep -q '~MYCALL' "$HOME/.vordaDir/cq" || fail "the first QSO file has no ~MYCALL field"
    expected=$(sed 's/~MYCALL/K2XYZ/' "$expected_file")

    if [ "$case_name" = audio ]; then
        record_monitor
        # Xmit first: the transmitter starts once the channel is clear and sends
        # the text as the file is typed; Recv then ends after everything queued.
        press_in "$main_window" ctrl+x
    fi

    press_in "$main_window" ctrl+1
    prompt=$(visible_window "VORDA PROMPT DIALOG") || fail "Ctrl-1 asked for no field"
    press_in "$prompt" K 2 X Y Z Return
    window_gone "$prompt" "VORDA PROMPT DIALOG" || fail "the prompt stayed after Enter"

    # The program types the rest of the file in its own time. Recv pressed before
    # that ends the transmission, and the rest typed after it must not go out, so
    # Recv waits, as the operator does, for the whole text in the pane.
    transmit_pane_becomes "$expected"
    if [ "$case_name" = audio ]; then
        press_in "$main_window" ctrl+r
        # About 40 characters of Varicode, then the Morse identification and
        # silence. A click as the stream starts may be followed by quiet too:
        # the silence counts once the text is on the air.
        retry_for 45 1 sent_holds "$expected" || fail "decoded '$("$VORDA_MODEM" decode \
            --table "$VORDA_SOURCE_DATA_DIR" "$work/sent.wav")', expected '$expected'"
        wait_for_silence 2 20 || fail "the sink is not silent 20 s after the text"
        stop_recording
    fi
    ;;
race)
    # Two picks before the first has typed a character once interleaved both
    # texts and put the answer in the wrong place.
    printf 'AAA ~ONE BBB' >"$HOME/.vordaDir/cq"
    printf 'CCC ~TWO DDD' >"$HOME/.vordaDir/station"
    xdotool windowraise "$main_window" windowfocus --sync "$main_window" || fail "no focus"
    xdotool key --delay 0 ctrl+1 ctrl+2
    prompt=$(visible_window "VORDA PROMPT DIALOG") || fail "Ctrl-1 asked for no field"
    press_in "$prompt" a n s 1 Return
    transmit_pane_becomes "AAA ans1 BBB"
    [ -z "$(own_windows "VORDA PROMPT DIALOG")" ] || fail "a second prompt appeared"
    ;;
fifo)
    # Opening a FIFO once blocked the window for good.
    rm -f "$HOME/.vordaDir/cq"
    mkfifo "$HOME/.vordaDir/cq"
    press_in "$main_window" ctrl+1
    warning=$(visible_window "VORDA WARNING") || fail "no warning about the FIFO"
    grep -q "not a regular file" "$work/stderr" || fail "no message on standard error"
    press_in "$warning" Return
    window_gone "" "VORDA WARNING" || fail "OK did not close the warning"
    kill -0 "$vorda_pid" 2>/dev/null || fail "OK on the warning ended the program"
    press_in "$main_window" q r z
    transmit_pane_becomes "qrz"
    ;;
*)
    echo "unknown case $case_name"
    exit 2
    ;;
esac

quit_with ctrl+q
echo "PASS ($case_name)"
