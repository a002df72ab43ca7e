#!/usr/bin/env bash
# Fuzzes the profiles file's reading and writing with libFuzzer (clang, address and
# undefined-behaviour sanitizers), outside the main build: builds
# build/fuzz-profiles/ProfilesFile_fuzz, seeds a corpus and runs for a while.
#   scripts/fuzz-profiles.sh [SECONDS]   (default 60)
# Crashes and slow inputs are written to build/fuzz-profiles/artifacts/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
out=build/fuzz-profiles
mkdir -p "$out/corpus" "$out/artifacts"

# The libraries are built with clang too (coverage for the fuzzer, address and undefined
# sanitizers), in a tree of their own; the target links them as the host programs do.
cmake -S . -B "$out/tree" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug \
    -DHUSHLINE_SANITIZE=ON -DHUSHLINE_BENCH=OFF -DCMAKE_CXX_FLAGS="-O1 -fsanitize=fuzzer-no-link" >/dev/null
cmake --build "$out/tree" --target hushline >/dev/null
clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -I. \
    core/profile/ProfilesFile_fuzz.cpp "$out/tree/core/libhushline.dylib" "$out/tree/platform/libhlplatform.so" \
    -Wl,-rpath,"$PWD/$out/tree/core:$PWD/$out/tree/platform" -o "$out/ProfilesFile_fuzz"

# A phone without calendars for the records' unset calendar lists.
export HUSHLINE_DEVICE_ROOT=$PWD/$out/device
mkdir -p "$HUSHLINE_DEVICE_ROOT/var/mobile/Calendars"

cat >"$out/corpus/profile.plist" <<'PLIST'
<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<array>
	<dict>
		<key>identifier</key><integer>1765180800</integer>
		<key>title</key><string>Work &amp; more</string>
		<key>enabled</key><true/>
		<key>allDay</key><false/>
		<key>ringerVolume</key><real>0.30000001192092896</real>
		<key>applyProfileEventStatus</key><integer>7</integer>
		<key>calendarIdentifiers</key><array><string>work/meetings</string></array>
		<key>startTime</key><string>9:00 AM</string>
		<key>endTime</key><string>5:00 PM</string>
		<key>wifiNetworks</key><array><string>Office</string></array>
		<key>updatedDate</key><date>2026-12-08T09:00:00Z</date>
	</dict>
	<string>stray</string>
</array>
</plist>
PLIST

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
"$out/ProfilesFile_fuzz" "$out/corpus" -max_total_time="$seconds" -max_len=4096 -timeout=10 -close_fd_mask=2 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$out/artifacts/"
