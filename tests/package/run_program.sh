#!/usr/bin/env bash
# Runs an installed copy of the programs as an operator would, on the X server and
# sound server of tests/with-services.sh: vorda-modem encodes and decodes with the
# code table it finds itself, vorda starts with a fresh home directory, copies the
# example QSO files, and quits with Ctrl-Q and status 0.
#
# Usage: run_program.sh BINDIR DATADIR
#   BINDIR   where vorda and vorda-modem are
#   DATADIR  the data directory they should find (its vordaDir is compared)
# The caller sets or unsets XFILESEARCHPATH as the case needs.
set -uo pipefail

bindir=${1:?usage: run_program.sh BINDIR DATADIR}
datadir=${2:?usage: run_program.sh BINDIR DATADIR}
[ -n "${PULSE_SERVER:-}" ] || { echo "no PULSE_SERVER: run under tests/with-services.sh"; exit 1; }
# The programs under test are those of BINDIR, with the caller's resource file.
unset VORDA_STAGE
. "$(dirname "$0")/../blackbox/lib.sh"
need_tools xdotool xprop
case_name="run from $bindir"
instance=vorda-installed-test
vorda_bin=$bindir/vorda
fresh_home run
cd "$work" || fail "cannot enter $work"

"$bindir/vorda-modem" encode -o signal.wav "cq de install test" 2>>stderr ||
    fail "vorda-modem encode failed"
decoded=$("$bindir/vorda-modem" decode signal.wav 2>>stderr) || fail "vorda-modem decode failed"
[ "$decoded" = "cq de install test" ] || fail "vorda-modem decoded '$decoded'"

start_and_continue
grep -q "resource file missing" stderr && fail "the resource file was not found"
grep -qx "run_master_thread: master thread started" stderr || fail "the modem did not start"
for f in cq station closing; do
    cmp -s "$HOME/.vordaDir/$f" "$datadir/vordaDir/$f" ||
        fail "~/.vordaDir/$f is not a copy of $datadir/vordaDir/$f"
done
quit_with ctrl+q
[ -f "$HOME/.vordaDir/.vorda.dat" ] || fail "no state file after QRT"
echo "PASS (run from $bindir)"
