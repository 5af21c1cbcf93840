#!/usr/bin/env bash
# A whole operator session with the staged program (the build's install tree:
# bin/vorda with its data directory and resource file beside it), on the X
# server of $DISPLAY and the PulseAudio daemon of $PULSE_SERVER (both from
# tests/with-services.sh), from a fresh home directory:
#   1. first start: ~/.vordaDir made and filled, the start-up report shown, the
#      PTT line (a pseudo-terminal, which has no RTS) given up with a message;
#      the transmission of step 4 then says that it does not key the radio;
#   2. a station calls CQ at 1200 Hz;  3. a click in the waterfall tunes to it and
#      its call is copied;  4. the closing QSO file (Ctrl-3) with its five fields
#      answered, plus typed text, sent with Xmit, then Recv with CW ID on;
#   5. the audio taken from the sink's monitor decodes to what was sent, the
#      Morse identification follows it, and the receive pane shows the echo;
#   6. a secondary window (button 3) copies a second station at 1700 Hz; it is
#      moved and closed;  7. the help window: Tuning, Find for a word that is there
#      (highlighted, no "String Not Found") and for one that is not;
#   8. Ctrl-Q: status 0 and the state file with the secondary window's place;
#   9. the next start opens the secondary window at that place again.
#
# Usage: session_test.sh
# With SESSION_SCREENSHOTS=DIR, pictures of the main steps are written to
# DIR/session-*.png (README's pictures come from
#   SESSION_SCREENSHOTS=docs tests/with-services.sh env VORDA_STAGE=build/stage \
#     VORDA_MODEM=build/tools/vorda-modem VORDA_SOURCE_DATA_DIR=data tests/session/session_test.sh).
# Needs VORDA_STAGE (the staged install), VORDA_MODEM (vorda-modem) and
# VORDA_SOURCE_DATA_DIR (the code table for the encoder and decoder).
set -uo pipefail

: "${VORDA_STAGE:?}" "${VORDA_MODEM:?}" "${VORDA_SOURCE_DATA_DIR:?}"
. "$(dirname "$0")/../blackbox/lib.sh"
need_tools xdotool xprop xsel xwininfo xev paplay parecord import od awk python3
shots=${SESSION_SCREENSHOTS:-}
[ -z "$shots" ] || { mkdir -p "$shots" && shots=$(realpath "$shots"); }
instance=vorda-session
fresh_home session
noise_pid=""
pty_pid=""
xev_pid=""
heard_pid=""
cleanup_pids="$cleanup_pids noise_pid pty_pid xev_pid heard_pid:INT"
case_name="set-up"  # the step under way

# The air recording is kept for a look afterwards.
fail_more() {
    [ -f "$work/sent.wav" ] && cp "$work/sent.wav" "${TMPDIR:-/tmp}/vorda-session-sent.wav" &&
        echo "(the recorded transmission: ${TMPDIR:-/tmp}/vorda-session-sent.wav)"
}

# A picture of a window; "root" is the screen's upper left, where the main
# window and its menus are. With "deselect", a click in the receive pane first
# takes away the selection that reading the pane left.
screenshot() {  # WINDOW NAME [deselect]
    [ -n "$shots" ] || return 0
    if [ "${3:-}" = deselect ]; then
        eval "$(xdotool getwindowgeometry --shell "$1")"
        click_at "$1" $((X + WIDTH - 60)) $((Y + HEIGHT / 3)) 1
    fi
    local crop=()
    if [ "$1" = root ]; then crop=(-crop 780x850+0+0); else xdotool windowraise "$1"; fi
    # Only for the README's pictures, never in a test run: time for the redraw.
    sleep 0.3
    import -window "$1" "${crop[@]}" "$shots/session-$2.png" 2>/dev/null ||
        echo "no screenshot $2"
}

main_text() { receive_pane_text; }
second_window_at() {  # X Y
    local X Y WIDTH HEIGHT SCREEN WINDOW
    eval "$(xdotool getwindowgeometry --shell "$second_window")"
    [ "$X" -eq "$1" ] && [ "$Y" -eq "$2" ]
}
second_text() { secondary_pane_text "$second_window"; }

# White noise as a receiver hears it between signals, SECONDS long.
play_noise() {  # SECONDS
    python3 -c 'import random, struct, sys
random.seed(31)
n = int(sys.argv[1]) * 8000
out = bytearray()
for _ in range(n):
    v = max(-32768, min(32767, int(random.gauss(0, 300))))
    out += struct.pack("<hh", v, v)
sys.stdout.buffer.write(out)' "$1" >"$work/noise.raw"
    paplay --raw --rate=8000 --channels=2 --format=s16le "$work/noise.raw" &
    noise_pid=$!
}

# ------------------------------------------------------------------ program
# The PTT line is a pseudo-terminal: it opens, but has no RTS to switch.
python3 -c 'import os, sys, time
master, slave = os.openpty()
print(os.ttyname(slave), flush=True)
time.sleep(600)' >"$work/pty" &
pty_pid=$!
retry_for 5 0.1 test -s "$work/pty"
pty=$(cat "$work/pty")
[ -c "$pty" ] || fail "no pseudo-terminal ($pty)"

start_session() {
    start_and_continue -xrm "$instance.ptt: 1" -xrm "$instance.serDev: $pty" \
        -xrm "$instance.call: K2XYZ"
}

# ================================================================== 1. first start
case_name="first start"
start_session
grep -qx "Cannot open PTT device $pty: .*" "$work/stderr" ||
    fail "no 'Cannot open PTT device $pty' message"
for f in $(cd "$VORDA_STAGE/share/vorda/vordaDir" && ls); do
    cmp -s "$VORDA_STAGE/share/vorda/vordaDir/$f" "$HOME/.vordaDir/$f" ||
        fail "QSO file $f not copied into ~/.vordaDir"
done
text=$(main_text)
for line in "no $HOME/.vordaDir/.vorda.dat file yet. I'll fix that." "   Call:  K2XYZ" \
            "      closing"; do
    grep -qxF -- "$line" <<<"$text" || fail "start-up report lacks '$line': $text"
done
grep -qF "$pty" <<<"$text" || fail "the report does not name the PTT device $pty: $text"
screenshot "$main_window" 1-start deselect

# ================================================================== 2, 3. a station calls; click to tune
case_name="click to tune"
# What the sound server carried while the station called: should the pane not
# show the call, the recording tells whether the audio or the decoding was wrong.
parecord -d vorda_null.monitor --rate=8000 --channels=2 --format=s16le --file-format=wav \
    "$work/heard.wav" &
heard_pid=$!
heard_runs() { [ "$(stat -c %s "$work/heard.wav" 2>/dev/null || echo 0)" -gt 44 ]; }
retry_for 5 0.1 heard_runs || fail "the monitor recording did not start"
heard_report() {
    stop_pid "$heard_pid" INT
    heard_pid=""
    cp "$work/heard.wav" "${TMPDIR:-/tmp}/vorda-session-heard.wav"
    echo "the sink's monitor, decoded apart (${TMPDIR:-/tmp}/vorda-session-heard.wav):" \
        "$("$VORDA_MODEM" decode --table "$VORDA_SOURCE_DATA_DIR" --freq 1200 "$work/heard.wav" 2>&1)"
}
# A station calling well off the receive frequency (1000 Hz): only the click
# brings it in, so its call in the pane proves both.
play 1200 "CQ CQ CQ de K1ABC K1ABC K1ABC CQ CQ CQ de K1ABC K1ABC K1ABC pse K1ABC k"
read -r _ dx dy <<<"$(display_window)"
[ -n "${dx:-}" ] || fail "no 384x75 display in the main window"
await_trace "$(column_of 1200 1000)" 10 150 15 >/dev/null ||
    fail "the station does not show in the waterfall"
click_at "$main_window" $((dx + $(column_of 1200 1000))) $((dy + 37)) 1
# One column is 7.8 Hz: the click lands within a column, AFC does the rest.
retry_for 10 0.2 field_within 1192 1208 ||
    fail "receive field reads '$seen' after the click, not about 1200"
text=$(await_text "pse K1ABC k" 30 main_text) || fail "the call is not copied: $text; $(heard_report)"
wait "$player_pid"
player_pid=""
stop_pid "$heard_pid" INT
heard_pid=""
screenshot "$main_window" 2-copying-cq deselect

# ================================================================== 4, 5. the reply
case_name="reply"
# The band is never silent: Xmit waits for the channel to be clear, which the
# receiver tells from what it decodes in the noise after the carrier is gone
# (on digital silence it decodes nothing and Xmit would wait for ever).
play_noise 70
record_monitor
# Xmit first, as an operator does: the text goes out while it is being typed.
press_in "$main_window" ctrl+x || fail "cannot reach the main window"
press_in "$main_window" ctrl+3
# Each ~FIELD of the file is asked for in turn, by one dialog that an answer
# unmaps and the next field maps again once the text before it is typed. Keys
# sent before that would land in the transmit pane, so each answer waits for the
# dialog's next MapNotify, watched with xev.
declare -A answers=([HISCALL]=K1ABC [MYCALL]=K2XYZ [NAME]=BOB)
prompt=$(visible_window "VORDA PROMPT DIALOG") || fail "no prompt for the first field"
xev -id "$prompt" -event structure -event property >"$work/prompt.events" &
xev_pid=$!
# xev listens once it reports a property change made after it started.
xev_listens() {
    xprop -id "$prompt" -f VORDA_TEST_MARK 8s -set VORDA_TEST_MARK x
    grep -q PropertyNotify "$work/prompt.events"
}
retry_for 5 0.1 xev_listens || fail "xev does not report the prompt's events"
prompt_maps_at_least() { [ "$(grep -c '^MapNotify' "$work/prompt.events")" -ge "$1" ]; }
asked=0
for field in $(grep -o '~[A-Z]*' "$HOME/.vordaDir/closing" | tr -d '~'); do
    retry_for 10 0.1 prompt_maps_at_least $asked || fail "no prompt for ~$field"
    focus_on "$prompt" || fail "the prompt for ~$field does not take the keyboard"
    xdotool type --delay 30 "${answers[$field]}"
    xdotool key Return
    asked=$((asked + 1))
done
window_gone "$prompt" "VORDA PROMPT DIALOG" || fail "a prompt stayed after the last answer"
stop_pid "$xev_pid"
xev_pid=""
# The program types the rest of the file in its own time, as a busy machine lets
# it; the operator reads it in the pane before typing on. Keys sent sooner, and
# Recv with them, came before that rest, and Recv withdrew it.
file_text=$(sed -e 's/~HISCALL/K1ABC/g; s/~MYCALL/K2XYZ/g; s/~NAME/BOB/g' \
    "$VORDA_STAGE/share/vorda/vordaDir/closing")
transmit_pane_becomes "$file_text"
typed=" tu 73 de K2XYZ sk"
focus_on "$main_window" || fail "the main window does not take the keyboard"
xdotool type --delay 30 "$typed"
screenshot "$main_window" 3-sending-reply
xdotool key ctrl+r
expected="$file_text"$'\n'"$typed"
# About 150 characters of Varicode (some 40 s) and " de K2XYZ" in Morse.
text=$(await_text "$typed" 60 main_text)
# The band's noise never lets the monitor fall silent: the end is the Morse.
morse=$(await_morse "DE K2XYZ" 30)
stop_recording
stop_pid "$noise_pid"
noise_pid=""
# NET put the transmitter on the receive frequency, about 1200 Hz.
decoded=$("$VORDA_MODEM" decode --table "$VORDA_SOURCE_DATA_DIR" --freq 1200 "$work/sent.wav") ||
    fail "vorda-modem decode failed"
case $decoded in
*"$expected"*) ;;
*) fail "the sent audio decodes to '$decoded', expected '$expected'; the receive pane: $(main_text)" ;;
esac
[ "$morse" = "DE K2XYZ" ] || fail "the keying after the text reads '$morse', not 'DE K2XYZ'"
text=$(main_text)
grep -qF -- "Many thanks for the nice QSO, BOB" <<<"$text" &&
    grep -qF -- "$typed" <<<"$text" || fail "the echo is not in the receive pane: $text"
# The PTT line was given up at start: the transmission says it went out unkeyed.
[ "$(grep -cxF "PTT by RTS is not working: this transmission does not key the radio" \
    <<<"$text")" -eq 1 ] || fail "the unkeyed transmission is not told once: $text"
screenshot "$main_window" 4-reply-sent deselect

# ================================================================== 6. a secondary window
case_name="secondary window"
field=$(receive_field_text)
read -r _ dx dy <<<"$(display_window)"
click_at "$main_window" $((dx + $(column_of 1700 "$field"))) $((dy + 37)) 3
second_window=$(visible_window "VORDA Secondary RX 1") || fail "button 3 opened no window"
# Beside the main window, so that both are seen.
eval "$(xdotool getwindowgeometry --shell "$main_window")"
moved_x=$((X + WIDTH + 20))
moved_y=$((Y + 60))
xdotool windowmove --sync "$second_window" $moved_x $moved_y
second_call="QRL? de W9XYZ W9XYZ the frequency is in use here pse QSY"
play 1700 "$second_call"
text=$(await_text "$second_call" 40 second_text) ||
    fail "the secondary window does not copy: $text"
main=$(main_text)
grep -qF "W9XYZ" <<<"$main" && fail "the main pane copied the second station: $main"
wait "$player_pid"
player_pid=""
screenshot "$second_window" 5-secondary
eval "$(xdotool getwindowgeometry --shell "$second_window")"
[ "$X" -eq $moved_x ] && [ "$Y" -eq $moved_y ] ||
    fail "the secondary window is at $X,$Y, not where it was moved ($moved_x,$moved_y)"
# Its Close button: of the two buttons side by side in a form of their own
# ("<-> Main" and "Close"), the right one.
read -r cx cy cw ch <<<"$(button_of_pair "$second_window" right)"
[ -n "${cx:-}" ] || fail "no pair of buttons in the secondary window"
click_at "$second_window" $((cx + cw / 2)) $((cy + ch / 2)) 1
window_gone "$second_window" "VORDA Secondary RX 1" || fail "Close did not close the secondary window"

# ================================================================== 7. help
case_name="help"
# Help > Tuning: the Help menu sits at the right end of the menu bar, below
# the title; T is the Tuning item's mnemonic.
eval "$(xdotool getwindowgeometry --shell "$main_window")"
shown=$(top_windows)
click_at "$main_window" $((X + WIDTH - 34)) $((Y + 53)) 1
new_top_window "$shown" >/dev/null || fail "a click on Help posted no menu"
screenshot root 6-help-menu
xdotool key t
help=$(visible_window "VORDA HELP") || fail "Help > Tuning opened no help window"
eval "$(xdotool getwindowgeometry --shell "$help")"
hx=$X hy=$Y hw=$WIDTH hh=$HEIGHT
# The buttons sit 10 pixels above the bottom: Find at 10-20 % of the width.
help_find() {  # WORD: prints Find's prompt window
    click_at "$help" $((hx + hw * 15 / 100)) $((hy + hh - 22)) 1
    local prompt
    prompt=$(visible_window "VORDA HELP" "$help") || fail "Find asked for nothing"
    focus_on "$prompt" || fail "Find's prompt does not take the keyboard"
    xdotool type --delay 30 "$1"
    xdotool key Return  # This Section
    window_gone "$prompt" "VORDA HELP" || fail "Find's prompt stayed after Enter"
    echo "$prompt"
}
# Nothing but the help window (and its own dialogs) is on this screen.
help_pixels() {  # FILE: the help window as 8-bit grey
    import -window "$help" -depth 8 gray:"$1" 2>/dev/null
}
# Pixels that changed in the text, between the section's title (30 rows) and
# the buttons (70 rows, where Find Again turns sensitive).
help_text_changed() {
    help_pixels "$work/help-after"
    python3 -c 'import sys
w, h = int(sys.argv[3]), int(sys.argv[4])
a = open(sys.argv[1], "rb").read()
b = open(sys.argv[2], "rb").read()
print(sum(a[i] != b[i] for i in range(30 * w, (h - 70) * w)))' \
        "$work/help-before" "$work/help-after" "$hw" "$hh"
}
# Found, the word is drawn in reverse video and the text is moved to show it:
# hundreds of pixels change at the least.
search_shown() { [ "$(help_text_changed)" -ge 300 ]; }
help_pixels "$work/help-before"
find_prompt=$(help_find digits)
retry_for 5 0.2 search_shown
changed=$(help_text_changed)
echo "pixels of the help text changed by the search: $changed"
[ "$changed" -ge 300 ] || fail "finding 'digits' changed only $changed pixels of the help text"
# The search, its highlight and any message come from the same callback.
others=$(own_windows "VORDA HELP" | grep -vx "$help")
[ -z "$others" ] || fail "Find 'digits' in Tuning brought up another window (String Not Found?)"
screenshot "$help" 7-help-found
help_find xyzzyq >/dev/null
others=$(visible_window "VORDA HELP" "$help" "$find_prompt") ||
    fail "no 'String Not Found' for a word that is not there"
press_in "$others" Return
window_gone "$others" "VORDA HELP" || fail "OK did not close 'String Not Found'"
# Close: 80-90 % of the width.
click_at "$help" $((hx + hw * 85 / 100)) $((hy + hh - 22)) 1
window_gone "$help" "VORDA HELP" || fail "Close did not close the help window"

# ================================================================== 8. quit
case_name="quit"
quit_with ctrl+q
grep -qx "Writing $HOME/.vordaDir/.vorda.dat" "$work/stderr" || fail "no 'Writing' message"
state=$(head -n 2 "$HOME/.vordaDir/.vorda.dat" | tr '\n' ' ')
[ "$state" = "$moved_x $moved_y " ] ||
    fail "the state file holds '$state' for window 1, not '$moved_x $moved_y'"

# ================================================================== 9. next start
case_name="next start"
start_session
text=$(main_text)
grep -qxF "Reading $HOME/.vordaDir/.vorda.dat" <<<"$text" ||
    fail "the state file is not read at the next start: $text"
read -r _ dx dy <<<"$(display_window)"
click_at "$main_window" $((dx + 250)) $((dy + 37)) 3
second_window=$(visible_window "VORDA Secondary RX 1") || fail "button 3 opened no window"
retry_for 5 0.1 second_window_at $moved_x $moved_y
eval "$(xdotool getwindowgeometry --shell "$second_window")"
[ "$X" -eq $moved_x ] && [ "$Y" -eq $moved_y ] ||
    fail "the secondary window opened at $X,$Y, not at $moved_x,$moved_y"
quit_with ctrl+q
echo "PASS (session)"
