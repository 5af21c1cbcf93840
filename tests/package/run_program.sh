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
[ -n "${DISPLAY:-}" ] && [ -n "${PULSE_SERVER:-}" ] ||
    { echo "no DISPLAY or PULSE_SERVER: run under tests/with-services.sh"; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/vorda-run.XXXXXX")
instance=vorda-installed-test
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
    echo "FAIL ($bindir): $*"
    [ -s "$work/stderr" ] && { echo "--- standard error:"; tail -n 30 "$work/stderr"; }
    exit 1
}

export HOME=$work/home
mkdir -p "$HOME"
# Not in the group dialout: the warning must come, and Cancel goes on.
export LOGNAME=$instance
unset XUSERFILESEARCHPATH XAPPLRESDIR XENVIRONMENT
cd "$work" || fail "cannot enter $work"

"$bindir/vorda-modem" encode -o signal.wav "cq de install test" 2>>stderr ||
    fail "vorda-modem encode failed"
decoded=$("$bindir/vorda-modem" decode signal.wav 2>>stderr) || fail "vorda-modem decode failed"
[ "$decoded" = "cq de install test" ] || fail "vorda-modem decoded '$decoded'"

"$bindir/vorda" -name $instance >stdout 2>stderr &
vorda_pid=$!
main_window=$(visible_window VORDA) || fail "the main window did not appear"
grep -q "resource file missing" stderr && fail "the resource file was not found"
warning=$(visible_window "VORDA ERROR") || fail "no dialout warning"
press_in "$warning" Escape
grep -qx "run_master_thread: master thread started" stderr || fail "the modem did not start"
for f in cq station closing; do
    cmp -s "$HOME/.vordaDir/$f" "$datadir/vordaDir/$f" ||
        fail "~/.vordaDir/$f is not a copy of $datadir/vordaDir/$f"
done
window_gone "VORDA ERROR" || fail "Cancel did not close the dialout warning"
press_in "$main_window" ctrl+q
for _ in $(seq 100); do
    kill -0 "$vorda_pid" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$vorda_pid" 2>/dev/null && fail "Ctrl-Q did not end vorda"
wait "$vorda_pid"
status=$?
vorda_pid=""
[ $status -eq 0 ] || fail "vorda ended with status $status"
[ -f "$HOME/.vordaDir/.vorda.dat" ] || fail "no state file after QRT"
echo "PASS (run from $bindir)"
