#!/usr/bin/env bash
# `cmake --install` under a private prefix, as a user without root does it: every
# file lands inside the prefix (the resource file in share/vorda/app-defaults, not
# in /etc/X11/app-defaults), and the programs run from there with no environment
# pointing at the files (tests/package/run_program.sh).
#
# Usage: tests/with-services.sh tests/package/prefix_install_test.sh BUILD_DIR
set -uo pipefail

build=${1:?usage: prefix_install_test.sh BUILD_DIR}
work=$(mktemp -d "${TMPDIR:-/tmp}/vorda-prefix.XXXXXX")
manifest=$build/install_manifest.txt
saved=""
cleanup() {
    # The build's own record of a real install stays as it was.
    if [ -n "$saved" ]; then mv "$saved" "$manifest"; else rm -f "$manifest"; fi
    rm -rf "$work"
}
[ -f "$manifest" ] && { saved=$work/manifest; cp "$manifest" "$saved"; }
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }

prefix=$work/prefix
# DESTDIR catches whatever would be written outside the prefix.
DESTDIR=$work/dest cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 ||
    fail "cmake --install failed: $(tail -n 5 "$work/install.log")"
outside=$(cd "$work/dest" && find . -type f | sed 's|^\.||' | grep -v "^$prefix/")
[ -z "$outside" ] || fail "installed outside the prefix: $outside"
root=$work/dest$prefix
for f in bin/vorda bin/vorda-modem share/vorda/psk31.cod share/vorda/app-defaults/Vorda \
         share/vorda/vordaDir/cq; do
    [ -f "$root/$f" ] || fail "no $f under the prefix"
done

# Moved to where it was meant to be, so the run sees the prefix as installed.
mkdir -p "$(dirname "$prefix")"
mv "$root" "$prefix"
unset XFILESEARCHPATH
"$(dirname "$0")/run_program.sh" "$prefix/bin" "$prefix/share/vorda" ||
    fail "the programs do not run from the prefix"
echo "PASS (install under $prefix)"
