#!/usr/bin/env bash
# Kills a process that keeps saving the profiles file and the settings file, N times at random
# moments (SIGKILL), and checks after every kill that each file reads back whole as the last
# completed save or the one in flight, and that the temporary files of killed saves do not pile
# up. Outside the main test run; builds its own release tree in build/crash-test/.
#   scripts/crash-test.sh [N]   (default 1000)
set -euo pipefail
cd "$(dirname "$0")/.."
kills=${1:-1000}
out=build/crash-test

cmake -S . -B "$out/tree" -G Ninja -DCMAKE_BUILD_TYPE=Release -DHUSHLINE_BENCH=OFF >/dev/null
cmake --build "$out/tree" --target hushline -j2 >/dev/null
launcher=$(command -v ccache || true)
$launcher g++ -std=c++20 -O2 -Wall -Wextra -I. scripts/crash-writer.cpp \
    "$out/tree/core/libhushline.dylib" "$out/tree/platform/libhlplatform.so" \
    -Wl,-rpath,"$PWD/$out/tree/core:$PWD/$out/tree/platform" -o "$out/crash-writer"

# A phone of its own, without calendars (the profiles name theirs).
export HUSHLINE_DEVICE_ROOT=$PWD/$out/device
rm -rf "$HUSHLINE_DEVICE_ROOT"
mkdir -p "$HUSHLINE_DEVICE_ROOT/var/mobile/Calendars"
log=$out/saves.log
"$out/crash-writer" init >"$log" 2>/dev/null

killed=0 failures=0 checked=0 temporaries_max=0 in_flight=0 left_temporary=0
start=$(date +%s.%N)
# The first failure ends the run: every later check would only find the same broken files.
for ((i = 1; i <= kills && failures == 0; i++)); do
    killed=$i
    "$out/crash-writer" write >>"$log" 2>/dev/null &
    writer=$!
    sleep "$(printf '0.%03d' $((RANDOM % 31)))"
    kill -KILL "$writer" 2>/dev/null || true
    status=0
    # (the shell's "Killed" notice for the job is of no interest)
    wait "$writer" 2>/dev/null || status=$?
    if ((status != 137)); then
        echo "kill $i: the writer ended by itself (status $status)"
        failures=$((failures + 1))
    fi
    checked=$((checked + 2))
    if ! result=$("$out/crash-writer" verify "$log" 2>/dev/null); then
        echo "kill $i: $result"
        failures=$((failures + 1))
        break
    fi
    # "ok <profiles step> <settings step> <temporaries>": a step of 1 is a save that the kill
    # caught after its rename but before it was told.
    read -r _ profiles_step settings_step temporaries <<<"$result"
    in_flight=$((in_flight + profiles_step + settings_step))
    if ((temporaries > 0)); then left_temporary=$((left_temporary + 1)); fi
    if ((temporaries > temporaries_max)); then temporaries_max=$temporaries; fi
done
elapsed=$(awk -v start="$start" -v end="$(date +%s.%N)" 'BEGIN { printf "%.1f", end - start }')

echo "kills:                           $killed of $kills"
echo "files checked:                   $checked"
echo "failures:                        $failures"
echo "saves completed:                 $(awk '/^P /{p=$2} /^S /{s=$2} END{print p + s}' "$log")"
echo "kills after a rename, untold:    $in_flight   (the new content stood, the save was not yet told)"
echo "kills that left a temporary:     $left_temporary"
echo "temporary files seen, max:       $temporaries_max"
echo "elapsed:                         $elapsed s"
((failures == 0))
