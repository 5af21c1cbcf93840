#!/usr/bin/env bash
# Black-box test of the secondary decoder windows with the staged program, on the
# X server of $DISPLAY and the PulseAudio daemon of $PULSE_SERVER (both from
# tests/with-services.sh). Two PSK31 signals with different texts, at 800 Hz and
# 1300 Hz, are played into the sound server together. The main window copies the
# one at 800 Hz; a window opened with a right click on the display copies the one
# at 1300 Hz. Both texts must appear in full, each in its own pane, read as an
# operator would (select all, PRIMARY selection). "<-> Main" then exchanges the
# texts, and the receivers too: a second pair of texts lands the other way round.
#
# Usage: blackbox_secondary.sh swap
# Needs VORDA_STAGE (the staged install), VORDA_MODEM (vorda-modem) and
# VORDA_SOURCE_DATA_DIR (the code table for the encoder).
set -uo pipefail

case_name=${1:?usage: blackbox_secondary.sh swap}
: "${VORDA_STAGE:?}" "${VORDA_MODEM:?}" "${VORDA_SOURCE_DATA_DIR:?}"
[ -n "${DISPLAY:-}" ] || { echo "no DISPLAY: run under tests/with-services.sh"; exit 1; }
for tool in xdotool xprop xsel xwininfo paplay; do
    command -v $tool >/dev/null || { echo "$tool is not installed (make deps)"; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/vorda-secondary.XXXXXX")
export HOME=$work/home
mkdir -p "$HOME"
export LOGNAME=vorda-test-operator  # not in dialout: the warning appears, Cancel goes on
export XFILESEARCHPATH="$VORDA_STAGE/app-defaults/%N"
export XUSERFILESEARCHPATH="$work/none/%N"
unset XENVIRONMENT XAPPLRESDIR
instance=vorda-secondary  # tells our windows from those of other tests on the screen
vorda_pid=""
player_pids=""

cleanup() {
    for pid in $player_pids $vorda_pid; do
        kill -KILL "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    done
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

# Absolute "X Y WIDTH HEIGHT" of every window below $1, one per line, each
# followed by the number of its direct children and its parent's line number.
subwindows() {
    xwininfo -tree -id "$1" | awk '
        /^ *0x[0-9a-f]+ / {
            indent = match($0, /0x/)
            if (!match($0, /[0-9]+x[0-9]+\+-?[0-9]+\+-?[0-9]+ +\+-?[0-9]+\+-?[0-9]+/)) next
            split(substr($0, RSTART, RLENGTH), part, /[ x+]+/)
            n++
            w[n] = part[1]; h[n] = part[2]; x[n] = part[5]; y[n] = part[6]; ind[n] = indent
            parent[n] = 0
            for (p = n - 1; p > 0; p--) if (ind[p] < indent) { parent[n] = p; break }
            if (parent[n]) kids[parent[n]]++
        }
        END { for (i = 1; i <= n; i++) print i, x[i], y[i], w[i], h[i], kids[i] + 0, parent[i] }'
}

# The text of the receive pane whose window contains the point X Y: click into
# it, select all (Ctrl-/), read the PRIMARY selection.
pane_text() {  # WINDOW X Y
    click_at "$1" "$2" "$3" 1
    press_in "$1" ctrl+slash
    sleep 0.2
    xsel --output --primary 2>/dev/null
}

main_text() {
    eval "$(xdotool getwindowgeometry --shell "$main_window")"
    pane_text "$main_window" $((X + WIDTH / 2)) $((Y + HEIGHT / 6))
}

# The secondary window's pane fills its upper part, above the controls.
second_text() {
    eval "$(xdotool getwindowgeometry --shell "$second_window")"
    pane_text "$second_window" $((X + WIDTH / 2)) $((Y + 12))
}

# Waits until the pane read by $1 holds $2; prints what it holds last.
await_text() {  # READER TEXT
    local text=""
    for _ in $(seq 40); do
        text=$($1)
        grep -qF -- "$2" <<<"$text" && break
        sleep 0.5
    done
    echo "$text"
}

play_both() {  # WAV WAV
    # About 0.45 of full scale each (PulseAudio's volume is cubic): the two
    # channels of both signals, summed by the server, stay below full scale.
    player_pids=""
    for wav in "$@"; do
        paplay --volume=50200 "$wav" &
        player_pids="$player_pids $!"
    done
    for pid in $player_pids; do wait "$pid" || fail "paplay $pid failed"; done
    player_pids=""
}

encode() {  # FREQ FILE TEXT
    "$VORDA_MODEM" encode --table "$VORDA_SOURCE_DATA_DIR" --freq "$1" -o "$2" "$3" ||
        fail "vorda-modem encode failed"
}

[ "$case_name" = swap ] || { echo "unknown case $case_name"; exit 2; }

low_text="the quick brown fox at 800"
high_text="pack my box with 1300 jugs"
low_again="low again 73"
high_again="high again 55"
encode 800 "$work/low.wav" "$low_text"
encode 1300 "$work/high.wav" "$high_text"
encode 800 "$work/low2.wav" "$low_again"
encode 1300 "$work/high2.wav" "$high_again"

"$VORDA_STAGE/bin/vorda" -name $instance >"$work/stdout" 2>"$work/stderr" &
vorda_pid=$!
main_window=$(visible_window VORDA) || fail "the main window did not appear"
warning=$(visible_window "VORDA ERROR") || fail "no dialout warning"
press_in "$warning" Escape
sleep 0.5

# The display spans 3000 Hz over 384 columns around the receive frequency
# (1000 Hz): 1300 Hz is column 192 + 300 / 7.8125 = 230, 800 Hz column 166.
read -r _ wf_x wf_y _ < <(subwindows "$main_window" | awk '$4 == 384 && $5 == 75')
[ -n "${wf_x:-}" ] || fail "no 384x75 display in the main window"
click_at "$main_window" $((wf_x + 230)) $((wf_y + 37)) 3
second_window=$(visible_window "VORDA Secondary RX 1") || fail "button 3 opened no window"
click_at "$main_window" $((wf_x + 166)) $((wf_y + 37)) 1
sleep 0.5

play_both "$work/low.wav" "$work/high.wav"
main=$(await_text main_text "$low_text")
second=$(await_text second_text "$high_text")
grep -qF -- "$low_text" <<<"$main" || fail "the main pane lacks '$low_text': $main"
grep -qF -- "$high_text" <<<"$second" || fail "the secondary pane lacks '$high_text': $second"
grep -qF -- "$high_text" <<<"$main" && fail "the main pane copied the other signal: $main"
grep -qF -- "$low_text" <<<"$second" && fail "the secondary pane copied the main signal: $second"

# "<-> Main": of the secondary window's windows, the two buttons side by side
# in one form of their own; it is the left one.
read -r _ sx sy sw sh < <(subwindows "$second_window" | awk '
    { x[$1] = $2; y[$1] = $3; w[$1] = $4; h[$1] = $5; kids[$1] = $6; parent[$1] = $7 }
    END {
        for (i in parent) for (j in parent)
            if (i < j && parent[i] == parent[j] && kids[parent[i]] == 2 && y[i] == y[j] &&
                h[i] == h[j] && (w[i] - w[j])^2 <= 4 && h[i] < 60) {
                left = x[i] < x[j] ? i : j
                print left, x[left], y[left], w[left], h[left]
                exit
            }
    }')
[ -n "${sx:-}" ] || fail "no pair of buttons in the secondary window"
click_at "$second_window" $((sx + sw / 2)) $((sy + sh / 2)) 1
sleep 0.5
main=$(main_text)
second=$(second_text)
grep -qF -- "$high_text" <<<"$main" || fail "after the swap the main pane lacks '$high_text': $main"
grep -qF -- "$low_text" <<<"$second" ||
    fail "after the swap the secondary pane lacks '$low_text': $second"
grep -qF -- "$low_text" <<<"$main" && fail "after the swap the main pane still holds: $main"

# The receivers went with the texts: the main window now copies 1300 Hz.
play_both "$work/low2.wav" "$work/high2.wav"
main=$(await_text main_text "$high_again")
second=$(await_text second_text "$low_again")
grep -qF -- "$high_again" <<<"$main" || fail "the main pane lacks '$high_again': $main"
grep -qF -- "$low_again" <<<"$second" || fail "the secondary pane lacks '$low_again': $second"

kill -INT "$vorda_pid"
wait "$vorda_pid"
status=$?
vorda_pid=""
[ $status -eq 0 ] || fail "SIGINT ended with status $status"
echo "PASS ($case_name)"
