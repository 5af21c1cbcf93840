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
. "$(dirname "$0")/../blackbox/lib.sh"
need_tools xdotool xprop xsel xwininfo paplay
instance=vorda-secondary
fresh_home secondary
player_pids=""
cleanup_more() { local pid; for pid in $player_pids; do stop_pid "$pid" KILL; done; }

main_text() { receive_pane_text; }
second_text() { secondary_pane_text "$second_window"; }

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

[ "$case_name" = swap ] || { echo "unknown case $case_name"; exit 2; }

low_text="the quick brown fox at 800"
high_text="pack my box with 1300 jugs"
low_again="low again 73"
high_again="high again 55"
encode 800 "$work/low.wav" "$low_text"
encode 1300 "$work/high.wav" "$high_text"
encode 800 "$work/low2.wav" "$low_again"
encode 1300 "$work/high2.wav" "$high_again"

start_and_continue

# The display spans 3000 Hz over 384 columns around the receive frequency
# (1000 Hz): 1300 Hz is column 192 + 300 / 7.8125 = 230, 800 Hz column 166.
read -r _ wf_x wf_y <<<"$(display_window)"
[ -n "${wf_x:-}" ] || fail "no 384x75 display in the main window"
click_at "$main_window" $((wf_x + 230)) $((wf_y + 37)) 3
second_window=$(visible_window "VORDA Secondary RX 1") || fail "button 3 opened no window"
click_at "$main_window" $((wf_x + 166)) $((wf_y + 37)) 1
retry_for 10 0.2 field_within 780 820 || fail "the click tuned to '$seen', not about 800"

play_both "$work/low.wav" "$work/high.wav"
main=$(await_text "$low_text" 20 main_text)
second=$(await_text "$high_text" 20 second_text)
grep -qF -- "$low_text" <<<"$main" || fail "the main pane lacks '$low_text': $main"
grep -qF -- "$high_text" <<<"$second" || fail "the secondary pane lacks '$high_text': $second"
grep -qF -- "$high_text" <<<"$main" && fail "the main pane copied the other signal: $main"
grep -qF -- "$low_text" <<<"$second" && fail "the secondary pane copied the main signal: $second"

# "<-> Main": of the secondary window's windows, the two buttons side by side
# in one form of their own; it is the left one.
read -r sx sy sw sh <<<"$(button_of_pair "$second_window" left)"
[ -n "${sx:-}" ] || fail "no pair of buttons in the secondary window"
click_at "$second_window" $((sx + sw / 2)) $((sy + sh / 2)) 1
main=$(await_text "$high_text" 5 main_text)
second=$(second_text)
grep -qF -- "$high_text" <<<"$main" || fail "after the swap the main pane lacks '$high_text': $main"
grep -qF -- "$low_text" <<<"$second" ||
    fail "after the swap the secondary pane lacks '$low_text': $second"
grep -qF -- "$low_text" <<<"$main" && fail "after the swap the main pane still holds: $main"

# The receivers went with the texts: the main window now copies 1300 Hz.
play_both "$work/low2.wav" "$work/high2.wav"
main=$(await_text "$high_again" 20 main_text)
second=$(await_text "$low_again" 20 second_text)
grep -qF -- "$high_again" <<<"$main" || fail "the main pane lacks '$high_again': $main"
grep -qF -- "$low_again" <<<"$second" || fail "the secondary pane lacks '$low_again': $second"

quit_with -INT
echo "PASS ($case_name)"
