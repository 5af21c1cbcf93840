#!/usr/bin/env bash
# Black-box tests of the staged program: it runs on the X server of $DISPLAY
# with the PulseAudio daemon of $PULSE_SERVER (both from tests/with-services.sh)
# and is looked at as an operator would: windows on the screen, keys, text
# selected in the receive pane, exit status, the state file.
#
# Usage: blackbox.sh CASE   (starts, receives, quit_key, interrupt, terminate,
#                            video_and_clear, home_unusable, dialout_ok,
#                            typing_goes_to_transmit_pane, no_resource_file,
#                            state_file_fifo)
# Needs VORDA_STAGE (the staged install), VORDA_MODEM (vorda-modem) and
# VORDA_SOURCE_DATA_DIR (for the code table the encoder uses).
set -uo pipefail

case_name=${1:?usage: blackbox.sh CASE}
: "${VORDA_STAGE:?}" "${VORDA_MODEM:?}" "${VORDA_SOURCE_DATA_DIR:?}"
[ -n "${DISPLAY:-}" ] || { echo "no DISPLAY: run under tests/with-services.sh"; exit 1; }
for tool in xdotool xsel paplay; do
    command -v $tool >/dev/null || { echo "$tool is not installed (make deps)"; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/vorda-blackbox.XXXXXX")
export HOME=$work/home
mkdir -p "$HOME"
# Nobody of this name is in the dialout group, so the warning always appears.
export LOGNAME=vorda-test-operator
export XFILESEARCHPATH="$VORDA_STAGE/app-defaults/%N"
export XUSERFILESEARCHPATH="$work/none/%N"
unset XENVIRONMENT XAPPLRESDIR
vorda_pid=""

cleanup() {
    if [ -n "$vorda_pid" ] && kill -0 "$vorda_pid" 2>/dev/null; then
        kill -KILL "$vorda_pid" 2>/dev/null
        wait "$vorda_pid" 2>/dev/null
    fi
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

# The instance name (a standard toolkit option) tells our windows from those of
# other tests sharing the screen; the resource file addresses the class only.
instance=vorda-blackbox

start_vorda() {
    "$VORDA_STAGE/bin/vorda" -name $instance >"$work/stdout" 2>"$work/stderr" &
    vorda_pid=$!
}

# Exit status of vorda, or 124 when it is still running after $1 seconds.
exit_status_within() {
    for _ in $(seq $(($1 * 10))); do
        if ! kill -0 "$vorda_pid" 2>/dev/null; then
            wait "$vorda_pid"
            local status=$?
            vorda_pid=""
            return $status
        fi
        sleep 0.1
    done
    return 124
}

# Starts the program, waits for its window and dismisses the dialout warning
# with Cancel (Escape), as an operator without a PTT line would.
start_and_continue() {
    start_vorda
    main_window=$(visible_window VORDA) || fail "the main window did not appear"
    local warning
    warning=$(visible_window "VORDA ERROR") || fail "no dialout warning"
    press_in "$warning" Escape
    for _ in $(seq 50); do
        [ -z "$(own_windows "VORDA ERROR")" ] && break
        sleep 0.1
    done
    [ -z "$(own_windows "VORDA ERROR")" ] || fail "Cancel did not close the warning"
}

# The whole text of the receive pane: click into it, select all (Ctrl-/),
# read the PRIMARY selection.
receive_pane_text() {
    eval "$(xdotool getwindowgeometry --shell "$main_window")"
    # The receive pane fills the upper part of the window, below the menu bar.
    click_at "$main_window" $((X + WIDTH / 2)) $((Y + HEIGHT / 6)) 1
    press_in "$main_window" ctrl+slash
    sleep 0.2
    xsel --output --primary 2>/dev/null
}

check_state_file() {
    local file=$HOME/.vordaDir/.vorda.dat
    [ -f "$file" ] || fail "no state file $file"
    [ "$(cat "$file")" = "$(printf '50\n50\n50\n50\n50\n50\n50\n50\n1')" ] ||
        fail "unexpected state file: $(tr '\n' ' ' <"$file")"
}

case $case_name in
starts)
    start_and_continue
    eval "$(xdotool getwindowgeometry --shell "$main_window")"
    [ "$WIDTH" -ge 400 ] && [ "$HEIGHT" -ge 400 ] || fail "window of ${WIDTH}x$HEIGHT"
    # The window may grow but not shrink below its first size.
    xprop -id "$main_window" WM_NORMAL_HINTS |
        grep -q "program specified minimum size: $WIDTH by $HEIGHT" ||
        fail "minimum size is not the first size: $(xprop -id "$main_window" WM_NORMAL_HINTS)"
    text=$(receive_pane_text)
    for line in "no $HOME/.vordaDir/.vorda.dat file yet. I'll fix that." \
                "   Call:  N0CALL" "      cq," "      closing" \
                "   PTT Device:  disabled"; do
        grep -qxF -- "$line" <<<"$text" || fail "start-up report lacks '$line': $text"
    done
    grep -qE '^Running  with Motif Version [0-9.]+$' <<<"$text" || fail "no Motif version: $text"
    [ -f "$HOME/.vordaDir/cq" ] || fail "QSO files not copied into ~/.vordaDir"
    press_in "$main_window" ctrl+q
    exit_status_within 10 || fail "Ctrl-Q ended with status $?"
    ;;
receives)
    start_and_continue
    message="cq cq de vorda test 73 k"
    "$VORDA_MODEM" encode --table "$VORDA_SOURCE_DATA_DIR" -o "$work/signal.wav" "$message" ||
        fail "vorda-modem encode failed"
    paplay "$work/signal.wav" || fail "paplay failed"
    text=""
    for _ in $(seq 30); do
        text=$(receive_pane_text)
        grep -qF -- "$message" <<<"$text" && break
        sleep 0.5
    done
    grep -qF -- "$message" <<<"$text" || fail "receive pane does not show '$message': $text"
    ;;
quit_key)
    start_and_continue
    press_in "$main_window" ctrl+q
    exit_status_within 10
    status=$?
    [ $status -eq 0 ] || fail "Ctrl-Q ended with status $status"
    grep -qx "Writing $HOME/.vordaDir/.vorda.dat" "$work/stderr" || fail "no 'Writing' message"
    check_state_file
    ;;
interrupt)
    start_and_continue
    kill -INT "$vorda_pid"
    exit_status_within 10
    status=$?
    [ $status -eq 0 ] || fail "SIGINT ended with status $status"
    grep -qx INTERRUPT "$work/stderr" || fail "no INTERRUPT message"
    check_state_file
    ;;
terminate)
    start_and_continue
    kill -TERM "$vorda_pid"
    exit_status_within 2
    [ $? -eq 124 ] || fail "SIGTERM ended the program"
    [ -f "$HOME/.vordaDir/.vorda.dat" ] && fail "SIGTERM wrote the state file"
    visible_window VORDA >/dev/null || fail "the window went away after SIGTERM"
    kill -QUIT "$vorda_pid"
    exit_status_within 10
    status=$?
    [ $status -eq 0 ] || fail "SIGQUIT ended with status $status"
    grep -qx QUIT "$work/stderr" || fail "no QUIT message"
    check_state_file
    ;;
video_and_clear)
    start_and_continue
    # Controls > Video (Ctrl-V) shows the video dialog; its Close button hides it.
    press_in "$main_window" ctrl+v
    video=$(visible_window "VORDA VIDEO") || fail "Ctrl-V did not show the video dialog"
    eval "$(xdotool getwindowgeometry --shell "$video")"
    click_at "$video" $((X + WIDTH / 2)) $((Y + HEIGHT - 12)) 1
    sleep 0.5
    [ -z "$(own_windows "VORDA VIDEO")" ] || fail "Close did not hide the video dialog"

    # Right button on the receive pane, then "Clear" (the item below the title).
    text=$(receive_pane_text)
    grep -qF "Vorda Application Resources" <<<"$text" || fail "no report to clear: $text"
    eval "$(xdotool getwindowgeometry --shell "$main_window")"
    px=$((X + WIDTH / 2))
    py=$((Y + HEIGHT / 6))
    click_at "$main_window" $px $py 3
    sleep 0.5
    xdotool mousemove $((px + 20)) $((py + 37)) sleep 0.1 click 1
    sleep 0.3
    text=$(receive_pane_text)
    [ -z "$text" ] || fail "the receive pane still holds: $text"
    ;;
home_unusable)
    # HOME is a plain file: nothing can be created below it. Each failure shows
    # its dialog, the program runs all the same, and quits with status 0.
    touch "$work/file"
    export HOME=$work/file
    start_vorda
    visible_window VORDA >/dev/null || fail "the main window did not appear"
    visible_window "VORDA ERROR" >/dev/null || fail "no error dialog"
    sleep 0.5
    dialogs=$(own_windows "VORDA ERROR" | wc -l)
    [ "$dialogs" -eq 3 ] || fail "$dialogs dialogs instead of three (directory, state file, dialout)"
    kill -INT "$vorda_pid"
    exit_status_within 10
    status=$?
    [ $status -eq 0 ] || fail "SIGINT ended with status $status"
    for line in "vorda: can't create $HOME/.vordaDir: Not a directory" "iniProc failed. Run vorda from a terminal" \
                "Open $HOME/.vordaDir/.vorda.dat for write failed" "iniProc failed"; do
        grep -qxF -- "$line" "$work/stderr" || fail "no message '$line'"
    done
    ;;
dialout_ok)
    start_vorda
    visible_window VORDA >/dev/null || fail "the main window did not appear"
    warning=$(visible_window "VORDA ERROR") || fail "no dialout warning"
    press_in "$warning" Return  # OK is the default button
    exit_status_within 10
    status=$?
    [ $status -eq 1 ] || fail "OK on the dialout warning ended with status $status"
    ;;
typing_goes_to_transmit_pane)
    # No click first: the keyboard is in the transmit pane as soon as the window
    # has the focus.
    start_and_continue
    press_in "$main_window" q r z || fail "could not type"
    press_in "$main_window" ctrl+slash  # select all in the pane with the focus
    sleep 0.2
    typed=$(xsel --output --primary 2>/dev/null)
    [ "$typed" = "qrz" ] || fail "the transmit pane did not get the keys: '$typed'"
    ;;
no_resource_file)
    export XFILESEARCHPATH="$work/none/%N"
    start_vorda
    dialog=$(visible_window "VORDA ERROR") || fail "no error dialog"
    grep -qx "vorda: Vorda resource file missing" "$work/stderr" || fail "no message"
    [ -z "$(own_windows VORDA)" ] || fail "the main window appeared"
    press_in "$dialog" Return
    exit_status_within 10
    status=$?
    [ $status -eq 1 ] || fail "OK ended with status $status"
    ;;
state_file_fifo)
    # A FIFO as the state file once blocked start-up forever, and quitting too.
    mkdir -p "$HOME/.vordaDir"
    mkfifo "$HOME/.vordaDir/.vorda.dat"
    start_vorda
    visible_window VORDA >/dev/null || fail "the main window did not appear"
    visible_window "VORDA ERROR" >/dev/null || fail "no error dialog"
    grep -qxF "vorda: $HOME/.vordaDir/.vorda.dat is not a regular file" "$work/stderr" ||
        fail "no message naming the FIFO"
    kill -INT "$vorda_pid"
    exit_status_within 10
    status=$?
    [ $status -eq 0 ] || fail "SIGINT ended with status $status"
    [ -p "$HOME/.vordaDir/.vorda.dat" ] || fail "the FIFO was replaced"
    ;;
*)
    echo "unknown case $case_name"
    exit 2
    ;;
esac
echo "PASS ($case_name)"
