#!/usr/bin/env bash
# The Debian package on this machine itself: its contents are checked, it is
# installed with apt-get, the installed program is started the way an operator
# starts it (default resource search path, a fresh home directory) on the X
# server and sound server of tests/with-services.sh, and vorda-modem decodes
# its own audio with the installed code table. Then the package is removed
# (only its configuration file may stay) and purged (nothing may stay).
#
# Usage: tests/with-services.sh tests/package/install_test.sh PACKAGE.deb
# Needs root or sudo. The package is purged on every way out, so the test can
# be run again at once.
set -uo pipefail

deb=${1:?usage: install_test.sh PACKAGE.deb}
[ -f "$deb" ] || { echo "no package $deb (make package)"; exit 1; }
deb=$(realpath "$deb")
[ -n "${DISPLAY:-}" ] && [ -n "${PULSE_SERVER:-}" ] ||
    { echo "no DISPLAY or PULSE_SERVER: run under tests/with-services.sh"; exit 1; }
for tool in apt-get dpkg-deb xdotool xprop groff desktop-file-validate; do
    command -v $tool >/dev/null || { echo "$tool is not installed (make deps)"; exit 1; }
done

sudo=""
[ "$(id -u)" = 0 ] || sudo=sudo
# Waits for the dpkg lock rather than failing when another apt-get runs.
apt() {
    $sudo env DEBIAN_FRONTEND=noninteractive \
        apt-get -y -q -o DPkg::Lock::Timeout=300 "$@" >>"$work/apt.log" 2>&1
}

work=$(mktemp -d "${TMPDIR:-/tmp}/vorda-package.XXXXXX")
instance=vorda-package-test
vorda_pid=""
installed=""

cleanup() {
    if [ -n "$vorda_pid" ] && kill -0 "$vorda_pid" 2>/dev/null; then
        kill -KILL "$vorda_pid" 2>/dev/null
        wait "$vorda_pid" 2>/dev/null
    fi
    [ -n "$installed" ] && apt purge vorda
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*"
    for log in apt.log stderr; do
        [ -s "$work/$log" ] && { echo "--- $log:"; tail -n 30 "$work/$log"; }
    done
    exit 1
}

status_of() {
    dpkg-query -W -f='${Status}' vorda 2>/dev/null
}

# ---------------------------------------------------------------- contents
dpkg-deb -x "$deb" "$work/root" || fail "dpkg-deb cannot unpack $deb"
packaged=$(cd "$work/root" && find . -type f | sed 's|^\.||' | sort)
conffile=/etc/X11/app-defaults/Vorda
for f in /usr/bin/vorda /usr/bin/vorda-modem /usr/share/vorda/psk31.cod \
         /usr/share/vorda/vordaDir/cq $conffile \
         /usr/share/man/man1/vorda.1.gz /usr/share/man/man1/vorda-modem.1.gz \
         /usr/share/applications/vorda.desktop /usr/share/icons/hicolor/48x48/apps/vorda.png; do
    grep -qxF "$f" <<<"$packaged" || fail "the package lacks $f"
done
[ "$(dpkg-deb -I "$deb" conffiles)" = "$conffile" ] || fail "$conffile is not the one conffile"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libxm4 libxt6 libpulse0 libsndfile1; do
    grep -q "\b$lib\b" <<<"$depends" || fail "Depends lacks $lib: $depends"
done
for page in vorda vorda-modem; do
    warnings=$(zcat "$work/root/usr/share/man/man1/$page.1.gz" | groff -man -Tutf8 -ww -z 2>&1)
    [ -z "$warnings" ] || fail "groff warns about $page.1: $warnings"
done
desktop-file-validate "$work/root/usr/share/applications/vorda.desktop" ||
    fail "the desktop entry does not validate"

# ---------------------------------------------------------------- install
if [ -n "$(status_of)" ] && [ "$(status_of)" != "unknown ok not-installed" ]; then
    echo "note: a vorda package is on this machine ($(status_of)); it is replaced and purged"
fi
# Files left by make install belong to no package; dpkg would overwrite them
# silently and the purge would then delete them.
for f in $packaged; do
    if [ -e "$f" ] && ! dpkg -S "$f" >/dev/null 2>&1; then
        fail "$f exists and belongs to no package: make uninstall first"
    fi
done
installed=1
apt install "$deb" || fail "apt-get install $deb failed"
[ "$(status_of)" = "install ok installed" ] || fail "dpkg status after install: $(status_of)"
[ "$(command -v vorda)" = /usr/bin/vorda ] || fail "vorda is not /usr/bin/vorda on PATH"

# ---------------------------------------------------------------- run
export HOME=$work/home
mkdir -p "$HOME"
# Not in the group dialout: the warning must come, and Cancel goes on.
export LOGNAME=$instance
unset XFILESEARCHPATH XUSERFILESEARCHPATH XAPPLRESDIR XENVIRONMENT
cd "$work" || fail "cannot enter $work"

# The installed code table, found without --table.
vorda-modem encode -o signal.wav "cq de package test" 2>>stderr || fail "vorda-modem encode failed"
decoded=$(vorda-modem decode signal.wav 2>>stderr) || fail "vorda-modem decode failed"
[ "$decoded" = "cq de package test" ] || fail "vorda-modem decoded '$decoded'"

vorda -name $instance >stdout 2>stderr &
vorda_pid=$!

# Visible windows titled $1 that belong to this program (their client leader
# is one of the windows of our instance name).
own_windows() {
    local leaders="" w
    for w in $(xdotool search --classname "^$instance\$" 2>/dev/null); do
        leaders="$leaders $(xprop -id "$w" WM_CLIENT_LEADER 2>/dev/null | sed -n 's/.*# //p')"
    done
    for w in $(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null); do
        case " $leaders " in
        *" $(xprop -id "$w" WM_CLIENT_LEADER 2>/dev/null | sed -n 's/.*# //p') "*) echo "$w" ;;
        esac
    done
}

wait_window() {
    local id
    for _ in $(seq 100); do
        id=$(own_windows "$1" | head -n 1)
        [ -n "$id" ] && { echo "$id"; return 0; }
        kill -0 "$vorda_pid" 2>/dev/null || return 1
        sleep 0.1
    done
    return 1
}

main_window=$(wait_window VORDA) || fail "the main window of the installed vorda did not appear"
grep -q "resource file missing" stderr && fail "the installed resource file was not found"
warning=$(wait_window "VORDA ERROR") || fail "no dialout warning"
xdotool windowfocus --sync "$warning" key Escape
grep -qx "run_master_thread: master thread started" stderr || fail "the modem did not start"
for f in cq station closing; do
    cmp -s "$HOME/.vordaDir/$f" "/usr/share/vorda/vordaDir/$f" ||
        fail "~/.vordaDir/$f is not a copy of the installed example"
done

sleep 0.5
xdotool windowfocus --sync "$main_window" key ctrl+q
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

# ---------------------------------------------------------------- remove, purge
apt remove vorda || fail "apt-get remove vorda failed"
[ "$(status_of)" = "deinstall ok config-files" ] || fail "dpkg status after remove: $(status_of)"
for f in $packaged; do
    if [ "$f" = $conffile ]; then
        [ -f "$f" ] || fail "remove deleted the configuration file $f"
    elif [ -e "$f" ]; then
        fail "remove left $f"
    fi
done
apt purge vorda || fail "apt-get purge vorda failed"
installed=""
case "$(status_of)" in
"" | "unknown ok not-installed") ;;
*) fail "dpkg status after purge: $(status_of)" ;;
esac
for f in $packaged; do
    [ -e "$f" ] && fail "purge left $f"
done
echo "PASS (package install, start, remove, purge)"
