#!/usr/bin/env bash
# Lays a build out into a device root, as the package would lay Hushline out on a phone:
#   Library/MobileSubstrate/DynamicLibraries/  libhushline.dylib, Hushline.dylib + Hushline.plist,
#                                              libstatusbar.dylib (the optional status-bar library)
#   Library/PreferenceBundles/HushlinePreferences.bundle/   the settings bundle
#   System/Library/CoreServices/SystemVersion.plist         the OS version (13.3 unless already set)
# and the phone's folders that the system expects. Files that are up to date are left alone,
# so running it again is cheap.
#
# usage: scripts/install-root.sh BUILD_DIR ROOT
set -euo pipefail

if [ $# -ne 2 ]; then
    echo "usage: $0 BUILD_DIR ROOT" >&2
    exit 2
fi
build=$1
root=$2

if [ ! -f "$build/CMakeCache.txt" ]; then
    echo "install-root: $build is not a build folder" >&2
    exit 1
fi
mkdir -p "$root"
cmake --install "$build" --component device --prefix "$root"

mkdir -p "$root/tmp" "$root/var/run" "$root/var/log" \
    "$root/var/mobile/Library/Preferences" "$root/var/mobile/Calendars" \
    "$root/System/Library/CoreServices"

version_plist="$root/System/Library/CoreServices/SystemVersion.plist"
if [ ! -f "$version_plist" ]; then
    cat > "$version_plist" <<'PLIST'
<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
	<key>ProductName</key>
	<string>iPhone OS</string>
	<key>ProductVersion</key>
	<string>13.3</string>
</dict>
</plist>
PLIST
fi
