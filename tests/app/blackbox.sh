#!/usr/bin/env bash
# Black-box tests of the staged program: it runs on the X server of $DISPLAY
# with the PulseAudio daemon of $PULSE_SERVER (both from tests/with-services.sh)
# and is looked at as an operator would: windows on the screen, keys, text
# selected in the receive pane, exit status, the state file.
#
# Usage: blackbox.sh CASE   (starts, receives, quit_key, interrupt, terminate, quit_signal,
#                            video_and_clear, home_unusable, dialout_ok,
#                            typing_goes_to_transmit_pane, no_resource_file,
#                            state_file_fifo, latin1_c, latin1_utf8)
# Needs VORDA_STAGE (the staged install), VORDA_MODEM (vorda-modem) and
# VORDA_SOURCE_DATA_DIR (for the code table the encoder uses).
set -uo pipefail

case_name=${1:?usage: blackbox.sh CASE}
: "${VORDA_STAGE:?}" "${VORDA_MODEM:?}" "${VORDA_SOURCE_DATA_DIR:?}"
. "$(dirname "$0")/../blackbox/lib.sh"
need_tools xdotool xprop xsel xwininfo setxkbmap paplay import od awk
instance=vorda-blackbox
fresh_home blackbox
cleanup_more() { [ -n "${keyboard:-}" ] && setxkbmap "$keyboard"; }

check_state_file() {
    local file=$HOME/.vordaDir/.vorda.dat
    [ -f "$file" ] || fail "no state file $file"
    [ "$(cat "$file")" = "$(printf '50\n50\n50\n50\n50\n50\n50\n50\n1')" ] ||
        fail "unexpected state file: $(tr '\n' ' ' <"$file")"
}

# The receive pane and the transmit pane of a main window, as window ids: the
# text widgets sit at +0+0 in their scrolled windows.
text_windows() {  # MAIN_WINDOW
    xwininfo -tree -id "$1" | awk '/\)  [0-9]+x[0-9]+\+0\+0 / {
        split($(NF - 1), size, /[x+]/); split($NF, at, "+")
        if (size[1] >= 400 && size[2] < 400) print at[3], $1 }' | sort -n | cut -d' ' -f2
}

# The last line drawn in a text window, cut into LENGTH character cells from the
# left margin: one line per cell, "INK PIXELS" (pixels that stand out from the
# paper), then the cell's pixel values, then "beyond INK" for the rest of the line.
# The cell width comes from the resource file's 72 columns between margins of 11, in a
# font of whole-pixel cells, so a pane stretched by a wider window (by less than 72
# pixels) still gives the cell width.
last_line_cells() {  # WINDOW LENGTH
    local width
    width=$(xwininfo -id "$1" | awk '/Width:/ { print $2 }')
    import -window "$1" -depth 8 rgb:- 2>/dev/null | od -An -v -tu1 -w$((3 * width)) |
        awk -v n="$2" -v w="$width" '
        { for (i = 1; i <= NF; ++i) px[NR, i] = $i; rows = NR }
        function ink(r, c,   k, d) {
            for (k = 1; k <= 3; ++k) {
                d = px[r, 3 * c + k] - px[9, 3 * 8 + k]
                if (d > 64 || d < -64) return 1
            }
            return 0
        }
        function row_has_ink(r,   c) {
            for (c = 11; c < w - 11; ++c) if (ink(r, c)) return 1
            return 0
        }
        END {
            cw = int((w - 22) / 72)  # the window may be wider than its panes ask
            for (bottom = rows - 10; bottom > 9 && !row_has_ink(bottom); --bottom) {}
            for (top = bottom; top > 9 && row_has_ink(top - 1); --top) {}
            # The inner columns of each cell, a neighbour may reach one pixel over;
            # after the last cell, room for the insertion cursor. The values are
            # those of the rows from the first ink in the cell to the last.
            for (k = 0; k <= n; ++k) {
                first = 11 + k * cw + (k < n ? 1 : 3)
                last = k < n ? 11 + (k + 1) * cw - 1 : w - 11
                count = 0; high = 0; low = 0; values = ""
                for (r = top; r <= bottom; ++r)
                    for (c = first; c < last; ++c)
                        if (ink(r, c)) { ++count; if (!high) high = r; low = r }
                for (r = high; high && r <= low; ++r)
                    for (c = first; c < last; ++c) values = values " " px[r, 3 * c + 1]
                print (k < n ? count values : "beyond " count)
            }
        }'
}

# Whether the cells of a line show TEXT: no ink in a blank, some in every other
# character, none after the last.
cells_match() {  # CELLS_FILE TEXT
    local expected drawn
    expected="$(printf '%s' "$2" | LC_ALL=C tr -c ' ' x) 0"
    drawn=$(awk '$1 == "beyond" { printf " %d", $2; next }
                 { printf "%s", ($1 > 0 ? "x" : " ") }' "$1")
    [ "$drawn" = "$expected" ]
}

# Pixel values of cell K (from 0) of a cells file.
cell() { sed -n "$(($2 + 1))p" "$1" | cut -d' ' -f2-; }

# Waits until the last line of the receive and transmit panes of each window show
# TEXT, raising the window before each look; the cells go to FILE.PANE.WINDOW.
wait_for_line() {  # PANE(1 receive, 2 transmit) TEXT FILE WINDOW...
    retry_for 30 0.5 lines_drawn "$@"
}
lines_drawn() {  # PANE TEXT FILE WINDOW...
    local pane=$1 text=$2 file=$3 w id length drawn=0
    length=$(printf '%s' "$text" | LC_ALL=C wc -c)
    shift 3
    for w in "$@"; do
        id=$(text_windows "$w" | sed -n "${pane}p")
        xdotool windowraise "$w"
        last_line_cells "$id" "$length" >"$file.$pane.$w"
        cells_match "$file.$pane.$w" "$text" || drawn=1
    done
    return $drawn
}

pane_is_empty() { [ -z "$(receive_pane_text)" ]; }
error_dialogs_at_least() { [ "$(own_windows "VORDA ERROR" | wc -l)" -ge "$1" ]; }
last_received_line_is() { [ "$(receive_pane_text | tail -n 1)" = "$1" ]; }

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
    quit_with ctrl+q
    ;;
receives)
    start_and_continue
    message="cq cq de vorda test 73 k"
    "$VORDA_MODEM" encode --table "$VORDA_SOURCE_DATA_DIR" -o "$work/signal.wav" "$message" ||
        fail "vorda-modem encode failed"
    paplay "$work/signal.wav" || fail "paplay failed"
    text=$(await_text "$message" 15 receive_pane_text) ||
        fail "receive pane does not show '$message': $text"
    ;;
quit_key)
    start_and_continue
    quit_with ctrl+q
    grep -qx "Writing $HOME/.vordaDir/.vorda.dat" "$work/stderr" || fail "no 'Writing' message"
    check_state_file
    ;;
interrupt)
    start_and_continue
    quit_with -INT
    grep -qx INTERRUPT "$work/stderr" || fail "no INTERRUPT message"
    check_state_file
    ;;
terminate | quit_signal)
    # SIGTERM comes with a logout or a shutdown, SIGQUIT from the terminal: both
    # save the state like SIGINT.
    start_and_continue
    if [ $case_name = terminate ]; then signal=TERM message=TERMINATE; else signal=QUIT message=QUIT; fi
    quit_with -$signal
    grep -qx $message "$work/stderr" || fail "no $message message"
    check_state_file
    ;;
video_and_clear)
    start_and_continue
    # Controls > Video (Ctrl-V) shows the video dialog; its Close button hides it.
    press_in "$main_window" ctrl+v
    video=$(visible_window "VORDA VIDEO") || fail "Ctrl-V did not show the video dialog"
    eval "$(xdotool getwindowgeometry --shell "$video")"
    click_at "$video" $((X + WIDTH / 2)) $((Y + HEIGHT - 12)) 1
    window_gone "$video" "VORDA VIDEO" || fail "Close did not hide the video dialog"

    # Right button on the receive pane, then "Clear" (the item below the title).
    text=$(receive_pane_text)
    grep -qF "Vorda Application Resources" <<<"$text" || fail "no report to clear: $text"
    eval "$(xdotool getwindowgeometry --shell "$main_window")"
    px=$((X + WIDTH / 2))
    py=$((Y + HEIGHT / 6))
    shown=$(top_windows)
    click_at "$main_window" $px $py 3
    new_top_window "$shown" >/dev/null || fail "button 3 on the receive pane posted no menu"
    xdotool mousemove $((px + 20)) $((py + 37)) click 1
    retry_for 5 0.2 pane_is_empty || fail "the receive pane still holds: $(receive_pane_text)"
    ;;
home_unusable)
    # HOME is a plain file: nothing can be created below it. Each failure shows
    # its dialog, the program runs all the same, and quits with status 0.
    touch "$work/file"
    export HOME=$work/file
    start_vorda
    visible_window VORDA >/dev/null || fail "the main window did not appear"
    visible_window "VORDA ERROR" >/dev/null || fail "no error dialog"
    retry_for 5 0.1 error_dialogs_at_least 3
    dialogs=$(own_windows "VORDA ERROR" | wc -l)
    [ "$dialogs" -eq 3 ] || fail "$dialogs dialogs instead of three (directory, state file, dialout)"
    quit_with -INT
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
    typed=$(transmit_pane_text)
    [ "$typed" = "qrz" ] || fail "the transmit pane did not get the keys: '$typed'"
    ;;
latin1_c | latin1_utf8)
    # Bytes above 127 and the slashed zero, received and typed, in a single-byte
    # and in a UTF-8 locale: judged by the glyphs drawn. Two instances hear the
    # same signal, one showing the digit zero slashed.
    unset LC_ALL LC_CTYPE
    if [ $case_name = latin1_c ]; then export LANG=C; else export LANG=C.UTF-8; fi
    # A keyboard with the accented letters on keys of their own: xdotool would
    # otherwise map each one to a spare key just for its press, and a client may
    # look the key up after the mapping is gone.
    keyboard=$(setxkbmap -query | awk '$1 == "layout:" { print $2 }')
    setxkbmap fr || fail "no French keyboard layout"
    start_and_continue -geometry +0+0
    plain=$main_window
    other_pid=$vorda_pid
    instance=vorda-blackbox-zero
    # At the screen's right edge, whole on the screen however wide the window is; each
    # is raised before it is looked at.
    start_and_continue -geometry -0+0 -xrm "$instance.zero: 1"
    slashed=$main_window
    message=$'caf\xe9 na\xefve \xb0C \xd8 end of two 0'
    "$VORDA_MODEM" encode --table "$VORDA_SOURCE_DATA_DIR" -o "$work/signal.wav" "$message" ||
        fail "vorda-modem encode failed"
    paplay "$work/signal.wav" || fail "paplay failed"
    wait_for_line 1 "$message" "$work/rx" "$plain" "$slashed" ||
        fail "the received line is not drawn whole: $(cut -d' ' -f1 "$work/rx.1.$plain" | tr '\n' ' ')"
    a=$work/rx.1.$plain
    b=$work/rx.1.$slashed
    # The byte 0xD8 and, in the second window, the digit zero show the same glyph;
    # the accented letter differs from the plain one. Nothing else differs.
    [ "$(cell "$b" 14)" = "$(cell "$b" 27)" ] || fail "the slashed zero is not drawn as 0xD8"
    [ "$(cell "$a" 14)" != "$(cell "$a" 27)" ] || fail "the digit zero is drawn slashed"
    [ "$(cell "$a" 3)" != "$(cell "$a" 16)" ] || fail "the e with acute is drawn as e"
    [ "$(head -n 27 "$a")" = "$(head -n 27 "$b")" ] || fail "the slashed zero changed other glyphs"
    # What the operator copies out: the Latin-1 characters, in UTF-8 here.
    main_window=$plain
    copied=$(receive_pane_text | tail -n 1)
    [ "$copied" = "café naïve °C Ø end of two 0" ] || fail "copied out: '$copied'"

    # Typed ahead while receiving, then cleared: none of it may go out. Then an
    # accented word typed and sent: the transmitter echoes its Latin-1 bytes.
    eval "$(xdotool getwindowgeometry --shell "$(text_windows "$plain" | sed -n 2p)")"
    click_at "$plain" $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) 1  # into the transmit pane
    press_in "$plain" g o n e
    press_in "$plain" ctrl+c  # the transmit pane's Clear
    # Tune first: the monitor is digital silence after the signal, where the
    # receiver decodes nothing, so Xmit alone would wait for ever for the channel
    # to clear. Nothing is received during the transmission, so the echo follows
    # the received line directly.
    press_in "$plain" ctrl+t
    press_in "$plain" ctrl+x
    LC_ALL=C.UTF-8 xdotool type --delay 40 "à été"
    wait_for_line 2 $'\xe0 \xe9t\xe9' "$work/tx" "$plain" || fail "the typed words are not drawn"
    [ "$(cell "$work/tx.2.$plain" 2)" = "$(cell "$a" 3)" ] ||
        fail "the typed e with acute differs from the received one"
    # Nothing but the typed words: no letter of the cleared text went out.
    retry_for 30 0.5 last_received_line_is "${copied}à été"
    echoed=$(receive_pane_text | tail -n 1)
    [ "$echoed" = "${copied}à été" ] || fail "the echo of what was sent reads '$echoed'"
    press_in "$plain" ctrl+r
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
    quit_with -INT
    [ -p "$HOME/.vordaDir/.vorda.dat" ] || fail "the FIFO was replaced"
    ;;
*)
    echo "unknown case $case_name"
    exit 2
    ;;
esac
echo "PASS ($case_name)"
