#!/usr/bin/env bash
# Whole-process CPU of the staged program on a busy band, with the band window
# closed and open: 20 PSK31 stations (400 to 2680 Hz, 120 Hz apart, 20 dB of level
# spread) in noise shaped by a 300-2700 Hz filter play into the sound server
# throughout. The window is closed and opened in turn, twice each, for SECONDS a
# phase; the survey runs only while the window is open (the band log is off).
# Prints the CPU time (utime + stime of /proc/PID/stat) as a share of one core for
# each phase and the difference of the means.
#
# Usage: tests/with-services.sh bench/measure/band_cpu.sh BUILD_DIR [SECONDS]
set -uo pipefail

build=${1:?usage: band_cpu.sh BUILD_DIR [SECONDS]}
seconds=${2:-30}
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
stage=$build/stage
modem=$build/tools/vorda-modem
[ -x "$stage/bin/vorda" ] && [ -x "$modem" ] || { echo "build $build first"; exit 1; }
[ -n "${DISPLAY:-}" ] || { echo "no DISPLAY: run under tests/with-services.sh"; exit 1; }
. "$source_dir/tests/blackbox/band_recording.sh"

work=$(mktemp -d "${TMPDIR:-/tmp}/vorda-band-cpu.XXXXXX")
export HOME=$work/home LOGNAME=vorda-measure
mkdir -p "$HOME"
export XFILESEARCHPATH="$stage/app-defaults/%N" XUSERFILESEARCHPATH="$work/none/%N"
vorda=""
player=""
cleanup() {
    [ -n "$player" ] && kill -TERM "$player" 2>/dev/null && wait "$player" 2>/dev/null
    [ -n "$vorda" ] && kill -KILL "$vorda" 2>/dev/null && wait "$vorda" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# Every station sends all the time: a long text from the start of the recording.
for i in $(seq 0 19); do
    printf '%d %s %d 0 0 cq cq de st%02d st%02d the quick brown fox jumps over the lazy dog, ' \
        $((400 + 120 * i)) B $((-(i * 7) % 20)) "$i" "$i"
    printf 'station %02d sends text for the whole minute so that every receiver has work to do k\n' "$i"
done >"$work/stations"
band_recording "$work/stations" "$work/band.wav" -25 60 "$modem" "$source_dir/data" ||
    { echo "the recording was not made"; exit 1; }

"$stage/bin/vorda" -name vorda-measure >"$work/stdout" 2>"$work/stderr" &
vorda=$!
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

# The recording over and over, for longer than the measurement.
( while paplay "$work/band.wav"; do :; done ) 2>/dev/null &
player=$!
sleep 5

ticks() { sed 's/^.*) //' "/proc/$vorda/stat" | awk '{ print $12 + $13 }'; }
hz=$(getconf CLK_TCK)
phase() {  # NAME
    local before after start end
    before=$(ticks)
    start=$(date +%s.%N)
    sleep "$seconds"
    after=$(ticks)
    end=$(date +%s.%N)
    awk -v t=$((after - before)) -v hz="$hz" -v a="$start" -v b="$end" -v n="$1" \
        'BEGIN { printf "%-7s %6.2f %% of one core\n", n, 100 * t / hz / (b - a) }'
}
toggle() {
    xdotool windowfocus --sync "$main" key ctrl+a
}
results=$work/results
: >"$results"
for round in 1 2; do
    phase closed | tee -a "$results"
    toggle
    window "VORDA BAND" >/dev/null || { echo "Ctrl-A opened no band window"; exit 1; }
    sleep 3  # the survey finds the stations first
    phase open | tee -a "$results"
    toggle
    sleep 1
done
awk '{ sum[$1] += $2; n[$1]++ } END {
    printf "band window open costs %.2f %% of one core more (open %.2f, closed %.2f)\n",
        sum["open"] / n["open"] - sum["closed"] / n["closed"],
        sum["open"] / n["open"], sum["closed"] / n["closed"] }' "$results"
