#!/usr/bin/env bash
# Measures how long the main window takes to show a dial change made with rigctl,
# and how long a hung rigctld (SIGSTOP) takes to show as ---. Not a test: prints the
# figures, and last how long the first Xmit after a rigctld restart takes to key the
# radio. Each reading includes the time to read the field through the selection
# (about 0.1 to 0.3 s); readings are 0.3 s apart, longer than a multi-click, so that
# one reading's triple click never runs into the next.
#
# Usage: tests/with-services.sh bench/measure/dial.sh [ROUNDS]
# Needs VORDA_STAGE, VORDA_MODEM and VORDA_SOURCE_DATA_DIR as the black-box tests do.
set -uo pipefail
rounds=${1:-10}
case_name=measure
. "$(dirname "$0")/../../tests/blackbox/lib.sh"
need_tools xdotool xsel xwininfo rigctld rigctl python3
instance=vorda-cat
fresh_home measure
rigctld_pid=""
cleanup_pids="$cleanup_pids rigctld_pid"
rig_port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
rigctld -m 1 -P RIG -T localhost -t "$rig_port" >/dev/null 2>&1 &
rigctld_pid=$!
retry_for 5 0.1 rigctl -m 2 -r "localhost:$rig_port" f >/dev/null || fail "rigctld did not start"
start_and_continue -xrm "$instance.ptt: 1" -xrm "$instance.pttMethod: cat" \
    -xrm "$instance.rigPort: localhost:$rig_port"
rigctl -m 2 -r "localhost:$rig_port" M PKTUSB 3000

radio_text() {
    local id x y
    read -r id x y <<<"$(child_windows "$main_window" ' 86x[0-9]+\+1\+1 ' | head -n 1)"
    read_selection xdotool windowraise "$main_window" mousemove $((x + 205)) $((y + 20)) \
        click --repeat 3 --delay 60 1
}
radio_reads() { seen=$(radio_text); [ "$seen" = "$1" ]; }

times=()
for round in $(seq 1 "$rounds"); do
    dial=$((14070000 + round * 1000))
    shown=$(awk -v d="$dial" 'BEGIN { printf "%.3f", (d + 1000) / 1000 }')
    begun=$(now_ms)
    rigctl -m 2 -r "localhost:$rig_port" F "$dial"
    retry_for 10 0.3 radio_reads "$shown" || fail "round $round: '$seen', not $shown"
    times+=($(($(now_ms) - begun)))
done
sorted=$(printf '%s\n' "${times[@]}" | sort -n)
echo "dial change to display, ms over $rounds rounds: min $(head -n1 <<<"$sorted")" \
    "median $(sed -n "$(((rounds + 1) / 2))p" <<<"$sorted") max $(tail -n1 <<<"$sorted")"

begun=$(now_ms)
kill -STOP "$rigctld_pid"
retry_for 20 0.3 radio_reads --- || fail "no --- after SIGSTOP: '$seen'"
echo "SIGSTOP to ---: $(($(now_ms) - begun)) ms"
kill -CONT "$rigctld_pid"
begun=$(now_ms)
retry_for 30 0.3 radio_reads "$shown" || fail "not found again after SIGCONT: '$seen'"
echo "SIGCONT to the dial shown again: $(($(now_ms) - begun)) ms"

# Another rigctld in place of this one, then Xmit at once: how long until it keys.
stop_pid "$rigctld_pid" KILL
rigctld -m 1 -P RIG -T localhost -t "$rig_port" >/dev/null 2>&1 &
rigctld_pid=$!
retry_for 5 0.05 rigctl -m 2 -r "localhost:$rig_port" t >/dev/null 2>&1 || fail "rigctld did not restart"
keyed() { [ "$(rigctl -m 2 -r "localhost:$rig_port" t 2>/dev/null)" = 1 ]; }
focus_on "$main_window" || fail "cannot reach the main window"
begun=$(now_ms)
xdotool key ctrl+x
retry_for 10 0.02 keyed || fail "the first Xmit after the restart did not key"
echo "Xmit after a rigctld restart to keyed: $(($(now_ms) - begun)) ms"
grep -c "not working" <<<"$(receive_pane_text)" | sed 's/^/unkeyed notices: /'
quit_with ctrl+q
