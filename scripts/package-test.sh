#!/usr/bin/env bash
# Builds the Debian package from a clean copy of the sources (dpkg-buildpackage -us -uc -b), checks
# it with lintian, unpacks it with dpkg-deb -x and checks what it installs: the files where the
# conventions put them, naming no source or build path; the user unit, the desktop entries and the
# AppStream metadata as the session's tools read them; a phone booted from the unpacked phonectl;
# and a meeting in a private session from the unpacked phonectl (the session tests of the build
# in BUILD_DIR, build/asan by default, drive it). .ci/run runs it after ./test.
#
# usage: scripts/package-test.sh [BUILD_DIR]
# Leaves the package, lintian's output and the list of installed files in build/package/.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/setup.sh
hushline_install_packages

tests_build=${1:-build/asan}
work=$PWD/build/package
rm -rf "$work"
mkdir -p "$work/src"

echo "Copying the sources (tracked and new files, without what git ignores)"
git ls-files -z --cached --others --exclude-standard | tar --null -T - --ignore-failed-read -cf - 2>/dev/null | tar -xf - -C "$work/src"

echo "Building the package (dpkg-buildpackage -us -uc -b; output in $work/build.log)"
# debhelper gives the build a HOME of its own: the compiler cache stays the user's.
export CCACHE_DIR=${CCACHE_DIR:-$HOME/.cache/ccache}
start=$(date +%s)
if ! (cd "$work/src" && dpkg-buildpackage -us -uc -b) >"$work/build.log" 2>&1; then
    tail -n 40 "$work/build.log" >&2
    echo "FAIL: dpkg-buildpackage" >&2
    exit 1
fi
echo "built in $(( $(date +%s) - start )) s"
deb=$(ls "$work"/hushline_*.deb)
changes=$(ls "$work"/hushline_*.changes)

echo "lintian $(basename "$changes")"
lintian --info "$changes" >"$work/lintian.txt" 2>&1 || true
cat "$work/lintian.txt"
if grep -q '^E:' "$work/lintian.txt"; then
    echo "FAIL: lintian reports errors" >&2
    exit 1
fi

# Removing the package stops the phones that run from it, which gives their sessions back.
dpkg-deb -I "$deb" prerm | grep -q '/usr/bin/phonectl' || { echo "FAIL: the package does not stop its running phones at removal" >&2; exit 1; }

unpacked=$work/unpacked
dpkg-deb -x "$deb" "$unpacked"
dpkg-deb -c "$deb" >"$work/files.txt"
echo "$(basename "$deb"): $(stat -c %s "$deb") bytes, $(grep -vc '/$' "$work/files.txt") files, $(du -sk "$unpacked" | cut -f1) KB installed"

# The package's own build tree goes: only the unpacked files are left to run.
rm -rf "$work/src"
check=dist/check-install-files.sh
sh "$check" layout "$unpacked" "$PWD" "$work/src"
sh "$check" unit "$unpacked"
sh "$check" desktop "$unpacked"
sh "$check" metainfo "$unpacked"
sh "$check" boot "$unpacked"

echo "A meeting in a private session, from the unpacked phonectl"
if ! HUSHLINE_TEST_PHONECTL="$unpacked/usr/bin/phonectl" ASAN_OPTIONS=detect_leaks=0 \
        "$tests_build/apps/session_phone_tests" --gtest_filter='PackagedPhoneTest.*' >"$work/meeting.log" 2>&1 \
    || ! grep -q '^\[  PASSED  \] 1 test' "$work/meeting.log" || grep -q '^\[  SKIPPED \]' "$work/meeting.log"; then
    cat "$work/meeting.log" >&2
    echo "FAIL: the meeting from the unpacked phonectl" >&2
    exit 1
fi
grep '^\[ ' "$work/meeting.log" | tail -n 3
echo "package: passed"
