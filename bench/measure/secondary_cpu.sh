#!/usr/bin/env bash
# Whole-process CPU of the staged program while it copies signals with the main
# window and all four secondary decoder windows open and the waterfall running.
# Two PSK31 signals (800 and 1300 Hz) play into the sound server throughout; the
# main window sits on 800 Hz, the secondary windows on 1300, 600, 1100 and 1500 Hz.
# Prints the CPU time (utime + stime of /proc/PID/stat) as a share of one core.
#
# Usage: tests/with-services.sh bench/measure/secondary_cpu.sh BUILD_DIR [SECONDS [OPTION...]]
# The options go to vorda, for example the fastest narrow waterfall:
#   -xrm 'Vorda*fftSpeedScale.value: 100' -xrm 'Vorda*B.set: False' -xrm 'Vorda*N.set: True'
set -uo pipefail

build=${1:?usage: secondary_cpu.sh BUILD_DIR [SECONDS [OPTION...]]}
seconds=${2:-30}
shift $(($# < 2 ? $# : 2))
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
stage=$build/stage
modem=$build/tools/vorda-modem
[ -x "$stage/bin/vorda" ] && [ -x "$modem" ] || { echo "build $build first"; exit 1; }
[ -n "${DISPLAY:-}" ] || { echo "no DISPLAY: run under tests/with-services.sh"; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/vorda-cpu.XXXXXX")
export HOME=$work/home LOGNAME=vorda-measure
mkdir -p "$HOME"
export XFILESEARCHPATH="$stage/app-defaults/%N" XUSERFILESEARCHPATH="$work/none/%N"
pids=""
cleanup() {
    for pid in $pids; do
        pkill -KILL -P "$pid" 2>/dev/null  # a player started by a loop below
        kill -KILL "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    done
    rm -rf "$work"
}
trap cleanup EXIT

text="cq cq cq de vorda vorda vorda pse k the quick brown fox jumps over the lazy dog 0123456789"
for freq in 800 1300; do
    "$modem" encode --table "$source_dir/data" --freq $freq -o "$work/$freq.wav" "$text $text" ||
        exit 1
done

"$stage/bin/vorda" -name vorda-measure "$@" >"$work/stdout" 2>"$work/stderr" &
vorda=$!
pids=$vorda
window() {
    for _ in $(seq 100); do
        id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1)
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.1
    done
    return 1
}
main=$(window VORDA) || { echo "no main window"; exit 1; }
warning=$(window "VORDA ERROR") && xdotool windowfocus --sync "$warning" key Escape
sleep 0.5

# Columns of the broad span around 1000 Hz: 7.8125 Hz each, 1000 Hz in column 192
# (other spans put the windows elsewhere, which costs the same).
read -r wf_x wf_y < <(xwininfo -tree -id "$main" |
    sed -n 's/.* 384x75+[-0-9]*+[-0-9]* *+\(-\{0,1\}[0-9]*\)+\(-\{0,1\}[0-9]*\)$/\1 \2/p')
for column in 230 141 204 256; do
    xdotool windowraise "$main" mousemove $((wf_x + column)) $((wf_y + 37)) click 3
    sleep 0.3
done
xdotool windowraise "$main" mousemove $((wf_x + 166)) $((wf_y + 37)) click 1
for n in 1 2 3 4; do window "VORDA Secondary RX $n" >/dev/null || { echo "window $n missing"; exit 1; }; done

# Play for longer than the measurement, starting before it.
for freq in 800 1300; do
    ( for _ in $(seq 20); do paplay --volume=50200 "$work/$freq.wav" || exit; done ) 2>/dev/null &
    pids="$pids $!"
done
sleep 5

ticks() { awk '{ print $14 + $15 }' <(sed 's/^.*) //; s/^/x x /' "/proc/$vorda/stat"); }
hz=$(getconf CLK_TCK)
before=$(ticks)
start=$(date +%s.%N)
sleep "$seconds"
after=$(ticks)
end=$(date +%s.%N)
awk -v t=$((after - before)) -v hz="$hz" -v s="$start" -v e="$end" \
    'BEGIN { printf "vorda, main receiver + waterfall + 4 secondary windows: %.1f%% of one core over %.1f s\n", 100 * t / hz / (e - s), e - s }'
[ -n "${VORDA_SCREENSHOT:-}" ] && xwd -root -silent | convert xwd:- "$VORDA_SCREENSHOT"
