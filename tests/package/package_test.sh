#!/usr/bin/env bash
# The Debian package: its contents, dependencies and maintainer scripts are
# checked, then the programs are run as an operator would (tests/package/
# run_program.sh) on the X server and sound server of tests/with-services.sh.
#
# Usage: tests/with-services.sh tests/package/package_test.sh MODE PACKAGE.deb
#   unpacked   the package is unpacked into a temporary root and run from there;
#              the system is left as it was (make test)
#   installed  the package is installed with apt-get, run from /usr/bin, removed
#              (only its configuration file may stay) and purged (nothing may
#              stay); needs root or sudo and a throwaway machine (.ci/run). The
#              package is purged on every way out, so the test can run again.
set -uo pipefail

mode=${1:?usage: package_test.sh unpacked|installed PACKAGE.deb}
deb=${2:?usage: package_test.sh unpacked|installed PACKAGE.deb}
case $mode in unpacked | installed) ;; *) echo "unknown mode $mode"; exit 2 ;; esac
[ -f "$deb" ] || { echo "no package $deb (make package)"; exit 1; }
deb=$(realpath "$deb")
[ -n "${DISPLAY:-}" ] && [ -n "${PULSE_SERVER:-}" ] ||
    { echo "no DISPLAY or PULSE_SERVER: run under tests/with-services.sh"; exit 1; }
for tool in apt-get dpkg-deb xdotool xprop groff desktop-file-validate cmp; do
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
installed=""

cleanup() {
    [ -n "$installed" ] && apt purge vorda
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*"
    for log in apt.log; do
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
for lib in libxm4 libxt6 libpulse0 libsndfile1 libhamlib4; do
    grep -q "\b$lib\b" <<<"$depends" || fail "Depends lacks $lib: $depends"
done
# Keying by CAT is the console's; the modem tool has no rig to key.
objdump -p "$work/root/usr/bin/vorda-modem" | grep -q 'NEEDED *libhamlib' &&
    fail "vorda-modem links Hamlib"
for page in vorda vorda-modem; do
    warnings=$(zcat "$work/root/usr/share/man/man1/$page.1.gz" | groff -man -Tutf8 -ww -z 2>&1)
    [ -z "$warnings" ] || fail "groff warns about $page.1: $warnings"
done
desktop-file-validate "$work/root/usr/share/applications/vorda.desktop" ||
    fail "the desktop entry does not validate"

# Dependencies resolvable on this machine's archive, without installing them.
apt-get -s -q install "$deb" >"$work/apt.log" 2>&1 ||
    fail "apt-get cannot satisfy the package's dependencies"
# Maintainer scripts, where there are any, must at least be sound shell.
dpkg-deb -e "$deb" "$work/control" || fail "dpkg-deb cannot read the control area"
for script in preinst postinst prerm postrm; do
    [ -f "$work/control/$script" ] || continue
    sh -n "$work/control/$script" || fail "maintainer script $script is not valid shell"
done

if [ "$mode" = unpacked ]; then
    # The program finds its data beside itself; the resource file is given by
    # path, as the toolkit would find it in /etc/X11/app-defaults.
    XFILESEARCHPATH="$work/root/etc/X11/app-defaults/%N" \
        "$(dirname "$0")/run_program.sh" "$work/root/usr/bin" "$work/root/usr/share/vorda" ||
        fail "the unpacked programs do not run"
    echo "PASS (package contents, dependencies, scripts, unpacked run)"
    exit 0
fi

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
unset XFILESEARCHPATH
"$(dirname "$0")/run_program.sh" /usr/bin /usr/share/vorda || fail "the installed programs do not run"

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
