#!/usr/bin/env bash
# The peer figure of bench/calendar_bench: times khal's `khal list today today` on a calendar
# folder laid out <account>/<calendar>/*.ics. Installs khal (Debian package) when missing.
#   bench/khal_peer.sh CALENDARS_FOLDER [WARM_RUNS]
# Prints "khal_cold_ms <ms>" (first run: khal builds its cache), "khal_warm_ms <median ms>" and
# "khal_events <count>" (the events listed).
set -euo pipefail
folder=${1:?usage: khal_peer.sh CALENDARS_FOLDER [WARM_RUNS]}
runs=${2:-5}

if ! command -v khal >/dev/null 2>&1; then
    sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    echo "Installing khal" >&2
    if ! "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq khal >/dev/null; then
        "${sudo[@]}" apt-get update -qq
        "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq khal >/dev/null
    fi
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TZ=${TZ:-Europe/Berlin}
{
    echo "[calendars]"
    for calendar in "$folder"/*/*/; do
        [ -d "$calendar" ] || continue
        name=$(basename "$(dirname "$calendar")")_$(basename "$calendar")
        printf '[[%s]]\npath = %s\ntype = calendar\n' "$name" "${calendar%/}"
    done
    printf '[locale]\nlocal_timezone = %s\ndefault_timezone = %s\n' "$TZ" "$TZ"
    printf '[sqlite]\npath = %s/khal.db\n' "$work"
} >"$work/config"

milliseconds() {
    local start end
    start=$(date +%s%N)
    khal -c "$work/config" list --format "{start-time} {title}" --day-format "" today today >"$work/out"
    end=$(date +%s%N)
    echo $(((end - start) / 1000000))
}

cold=$(milliseconds)
times=()
for _ in $(seq "$runs"); do
    times+=("$(milliseconds)")
done
median=$(printf '%s\n' "${times[@]}" | sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }')
echo "khal_cold_ms $cold"
echo "khal_warm_ms $median"
echo "khal_events $(grep -c . "$work/out" || true)"
