#!/usr/bin/env bash
# Whole-process CPU of the staged program while it receives with the tuning
# display at its most demanding: a spectrum every 256 samples (display speed
# 100) of the largest FFT length (4096, the narrow span), drawn as a waterfall
# or, with "spectrum" as the mode, as a spectrum trace. A PSK31 signal plays
# into the sound server on the receive frequency throughout. Prints the CPU time
# (utime + stime of /proc/PID/stat) as a share of one core.
#
# Usage: tests/with-services.sh bench/measure/display_cpu.sh BUILD_DIR [SECONDS [waterfall|spectrum]]
set -uo pipefail

build=${1:?usage: display_cpu.sh BUILD_DIR [SECONDS [waterfall|spectrum]]}
seconds=${2:-30}
mode=${3:-waterfall}
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
stage=$build/stage
modem=$build/tools/vorda-modem
[ -x "$stage/bin/vorda" ] && [ -x "$modem" ] || { echo "build $build first"; exit 1; }
[ -n "${DISPLAY:-}" ] || { echo "no DISPLAY: run under tests/with-services.sh"; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/vorda-cpu.XXXXXX")
export HOME=$work/home LOGNAME=vorda-measure
mkdir -p "$HOME"
export XFILESEARCHPATH="$stage/app-defaults/%N" XUSERFILESEARCHPATH="$work/none/%N"
vorda=""
player=""
cleanup() {
    [ -n "$player" ] && kill "$player" 2>/dev/null && wait "$player" 2>/dev/null
    [ -n "$vorda" ] && kill -KILL "$vorda" 2>/dev/null && wait "$vorda" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

text="cq cq cq de vorda vorda vorda pse k the quick brown fox jumps over the lazy dog 0123456789"
"$modem" encode --table "$source_dir/data" --freq 1000 -o "$work/signal.wav" \
    "$text $text $text $text" || exit 1

waterfall=True
[ "$mode" = spectrum ] && waterfall=False
"$stage/bin/vorda" -name vorda-measure -xrm 'Vorda*fftSpeedScale.value: 100' \
    -xrm 'Vorda*B.set: False' -xrm 'Vorda*N.set: True' \
    -xrm "Vorda*wfTB.set: $waterfall" -xrm "Vorda*saTB.set: $([ $waterfall = True ] && echo False || echo True)" \
    >"$work/stdout" 2>"$work/stderr" &
vorda=$!
window() {
    for _ in $(seq 100); do
        id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1)
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.1
    done
    return 1
}
window VORDA >/dev/null || { echo "no main window"; exit 1; }
warning=$(window "VORDA ERROR") && xdotool windowfocus --sync "$warning" key Escape

paplay "$work/signal.wav" &
player=$!
sleep 5

ticks() { awk '{ print $14 + $15 }' <(sed 's/^.*) //; s/^/x x /' "/proc/$vorda/stat"); }
hz=$(getconf CLK_TCK)
before=$(ticks)
start=$(date +%s.%N)
sleep "$seconds"
after=$(ticks)
end=$(date +%s.%N)
awk -v t=$((after - before)) -v hz="$hz" -v s="$start" -v e="$end" -v m="$mode" \
    'BEGIN { printf "vorda receiving, %s of 4096 points every 256 samples: %.1f%% of one core over %.1f s\n", m, 100 * t / hz / (e - s), e - s }'
