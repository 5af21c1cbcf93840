#!/usr/bin/env bash
# Takes docs/band-window.png: the band window on a busy band (twelve BPSK31
# stations in filter-shaped noise, one calling the operator), 25 s into it.
#
# Usage: tests/with-services.sh env VORDA_STAGE=build/stage VORDA_MODEM=build/tools/vorda-modem \
#            VORDA_SOURCE_DATA_DIR=data tools/band-screenshot.sh docs/band-window.png
set -uo pipefail
out=$(realpath -m "${1:?usage: band-screenshot.sh OUT.png}")
here=$(cd "$(dirname "$0")/.." && pwd)
. "$here/tests/blackbox/lib.sh"
. "$here/tests/blackbox/band_recording.sh"
case_name=screenshot
instance=vorda-shot
fresh_home shot
cat >"$work/stations" <<'LIST'
 420 B  -3 0.0 0 cq cq cq de dl1abc dl1abc dl1abc pse k
 610 B -12 2.0 0 w1xyz de g4kfc ur rst 579 579 name is john qth nr london
 680 B  -6 0.5 0 k7pql de ja1nut good morning, rig is ft-991 at 50 watts
 930 B -20 1.0 0 cq dx cq dx de vk2bbq vk2bbq
1140 B  -8 3.0 0 n0call de ea5hq thanks for the call, ur 599 in valencia
1320 B -15 0.0 0 f6dzz de oh2bh op is pekka, wx cold and snowing here
1510 B  -2 4.0 0 qrz? de ve3rrt
1720 B -10 1.5 0 tnx fer qso 73 es gl de iz0lfo sk
1985 B  -5 0.5 0 cq cq de pa3fwm pa3fwm jo22 pse k
2200 B -18 2.5 0 sm5cbn de ua3acw ant is 3 el yagi at 18 m
2390 B  -7 1.0 0 test de hb9dxb hb9dxb
2590 B -13 3.5 0 ok1rr de lz2pq hw cpy? btu
LIST
band_recording "$work/stations" "$work/band.wav" -25 40 || fail "no recording"
start_and_continue -xrm "$instance.bandBrowser: 1"
band=$(visible_window "VORDA BAND") || fail "no band window"
paplay "$work/band.wav" &
player_pid=$!
sleep 25  # a picture of the band at that moment: nothing to wait for
import -window "$band" "$out" || fail "import failed"
echo "wrote $out"
