#!/usr/bin/env bash
# Figures of the settings page: first screen, a switch's round trip, a volume slider's round trip to the
# phone's ringer, the Settings host's memory.
# usage: bench/settings_page.sh [BUILD_DIR]   (default build/release, as bench/run builds it)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
source scripts/setup.sh
hushline_install_page_packages
# The hosts are built into the build's library folder, where the installed ones go.
settings=$(find "$PWD/$build" -path '*/hushline/Settings' -type f | head -n 1)
cd apps/settings/web
HUSHLINE_PHONECTL="$OLDPWD/$build/apps/phonectl" HUSHLINE_SETTINGS="$settings" node bench/figures.mjs 2> >(grep -v 'unexpected operator' >&2)
