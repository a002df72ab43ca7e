#!/bin/sh
# Checks an installed Hushline as a user's system and session tools see it:
#   check-install-files.sh install BUILD ROOT      cmake --install BUILD into ROOT (prefix /usr), afresh
#   check-install-files.sh layout ROOT [PATH]...   every file where the conventions put it, and no
#                                                  installed file names one of PATHs (the source
#                                                  and build trees)
#   check-install-files.sh unit ROOT               systemd-analyze verify --user on the installed unit,
#                                                  with ROOT's /usr/bin/phonectl where the unit names it
#   check-install-files.sh desktop ROOT            desktop-file-validate on both desktop entries, then
#                                                  each launched by GLib (gio launch) with stand-ins for
#                                                  phonectl and xdg-open that say what they got
#   check-install-files.sh metainfo ROOT           appstreamcli validate on the AppStream metadata
#   check-install-files.sh boot ROOT               a phone booted from ROOT's phonectl goes quiet at a
#                                                  remembered network and comes back, and its Settings
#                                                  page is served
# Exits 77 (skipped) when a tool is not installed.
set -eu

mode=$1
work=$(mktemp -d /tmp/hl-dist-XXXXXX)
trap 'rm -rf "$work"' EXIT
app=com.velloq.Hushline

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# A tool's complaints are failures even when it exits 0 (systemd-analyze only warns about an
# unknown key or a bad value and ignores it).
quiet_or_fail() {
    if ! output=$("$@" 2>&1) || [ -n "$output" ]; then
        printf '%s\n' "$output" >&2
        fail "$*"
    fi
}

install_tree() {
    build=$1 root=$2
    rm -rf "$root"
    if ! grep -qx 'CMAKE_INSTALL_PREFIX:PATH=/usr' "$build/CMakeCache.txt"; then
        echo "$build is configured for another prefix than /usr (./test configures /usr): skipped"
        exit 77
    fi
    DESTDIR="$root" cmake --install "$build" --prefix /usr --strip >/dev/null
    echo "installed into $root"
}

check_layout() {
    root=$1
    shift
    for file in usr/bin/phonectl usr/lib/systemd/user/hushline.service "etc/xdg/autostart/$app-autostart.desktop" \
        "usr/share/applications/$app.desktop" "usr/share/icons/hicolor/scalable/apps/$app.svg" \
        "usr/share/icons/hicolor/symbolic/apps/$app-symbolic.svg" "usr/share/metainfo/$app.metainfo.xml" \
        usr/share/hushline/page/index.html \
        usr/share/hushline/device/Library/MobileSubstrate/DynamicLibraries/Hushline.plist; do
        [ -f "$root/$file" ] || fail "$file is not installed"
    done
    # The man page as installed, or as a package compresses it.
    [ -f "$root/usr/share/man/man1/phonectl.1" ] || [ -f "$root/usr/share/man/man1/phonectl.1.gz" ] || fail "the man page of phonectl is not installed"
    for program in SpringBoard Settings libhlplatform.so libhushline.dylib Hushline.dylib libstatusbar.dylib HushlinePreferences; do
        [ -n "$(find "$root/usr/lib" -path "*/hushline/$program" -type f)" ] || fail "$program is not installed in a hushline library folder"
    done
    [ -z "$(find "$root" -name node_modules)" ] || fail "the page's npm packages are installed"
    [ -z "$(find "$root" -name '*_test*' -o -name '*.h' -o -name '*.cpp')" ] || fail "tests or sources are installed"
    for path in "$@"; do
        if found=$(grep -rlF -- "$path" "$root"); then
            printf '%s\n' "$found" >&2
            fail "installed files name $path"
        fi
    done
    echo "layout: $(find "$root" -type f | wc -l) files where they belong, naming no build path"
}

# Runs a command with ROOT's installed files laid over /usr/bin and the user units' folder, in a
# mount namespace of its own, as they would be on a system with the package; the real folders
# are not touched.
with_installed() {
    root=$1
    shift
    unshare --mount --propagation private sh -c '
        root=$1; shift
        mount -t overlay overlay -o "lowerdir=$root/usr/bin:/usr/bin" /usr/bin &&
        mkdir -p /usr/lib/systemd/user 2>/dev/null; mount -t overlay overlay -o "lowerdir=$root/usr/lib/systemd/user:/usr/lib/systemd/user" /usr/lib/systemd/user &&
        exec "$@"' sh "$root" "$@"
}

check_unit() {
    root=$1
    command -v systemd-analyze >/dev/null || { echo "systemd-analyze is not installed: skipped"; exit 77; }
    unit="$root/usr/lib/systemd/user/hushline.service"
    grep -q "^ExecStart=/usr/bin/phonectl run --session\$" "$unit" || fail "hushline.service runs something else than /usr/bin/phonectl run --session"
    # systemd 252's user manager lacks CAP_WAKE_ALARM: asking for it would fail every start.
    ! grep -q "^AmbientCapabilities=" "$unit" || fail "hushline.service asks for ambient capabilities, which fail the unit on systemd 252"
    # The user manager's verify needs a runtime folder even when no user manager runs.
    mkdir -m 700 "$work/runtime"
    if [ "$(id -u)" -eq 0 ] && command -v unshare >/dev/null && with_installed "$root" true 2>/dev/null; then
        quiet_or_fail with_installed "$root" env XDG_RUNTIME_DIR="$work/runtime" systemd-analyze verify --user hushline.service
        echo "hushline.service: verified as installed"
    else
        # Without the right to mount: the unit beside the installed phonectl it names.
        sed "s#^ExecStart=/usr/bin/phonectl #ExecStart=$root/usr/bin/phonectl #" "$unit" > "$work/hushline.service"
        quiet_or_fail env XDG_RUNTIME_DIR="$work/runtime" systemd-analyze verify --user "$work/hushline.service"
        echo "hushline.service: verified with the installed phonectl's path"
    fi
}

# Launches the desktop file as the desktop does and waits for the stand-in of `expected_program`
# to report its arguments; prints them.
launch() {
    file=$1
    rm -f "$work/said"
    mkfifo "$work/said"
    OPENED="$work/said" PATH="$work/bin:$PATH" XDG_DATA_HOME="$work/data home" gio launch "$file" >/dev/null 2>&1 &
    if ! said=$(timeout 10 cat "$work/said"); then
        fail "$(basename "$file"): nothing was started within 10 s"
    fi
    wait || true
    printf '%s' "$said"
}

check_desktop() {
    root=$1
    entry="$root/usr/share/applications/$app.desktop"
    autostart="$root/etc/xdg/autostart/$app-autostart.desktop"
    ran=no
    if command -v desktop-file-validate >/dev/null; then
        quiet_or_fail desktop-file-validate --no-hints "$entry"
        quiet_or_fail desktop-file-validate --no-hints "$autostart"
        grep -q "^Icon=$app\$" "$entry" || fail "the desktop entry's icon is not named after its ID"
        echo "desktop files: valid"
        ran=yes
    else
        echo "desktop-file-validate is not installed (Debian package desktop-file-utils): skipped"
    fi
    if command -v gio >/dev/null && command -v timeout >/dev/null; then
        mkdir "$work/bin"
        # phonectl prints the page's address for `settings` and reports a `run` to the test.
        cat > "$work/bin/phonectl" <<'EOF'
#!/bin/sh
case "$*" in
    *" settings --notify") echo "http://127.0.0.1:8080/?root=$2" ;;
    *) printf 'phonectl %s\n' "$*" > "$OPENED" ;;
esac
EOF
        printf '#!/bin/sh\nprintf "xdg-open %%s\\n" "$*" > "$OPENED"\n' > "$work/bin/xdg-open"
        chmod +x "$work/bin/phonectl" "$work/bin/xdg-open"

        said=$(launch "$entry")
        [ "$said" = "xdg-open http://127.0.0.1:8080/?root=$work/data home/hushline/phone" ] \
            || fail "$app.desktop opened \"$said\", not the settings page of the user's phone"
        said=$(launch "$autostart")
        [ "$said" = "phonectl run --session" ] || fail "$app-autostart.desktop started \"$said\""
        echo "desktop files: launched as expected"
        ran=yes
    else
        echo "gio is not installed (Debian package libglib2.0-bin): launching skipped"
    fi
    [ "$ran" = yes ] || exit 77
}

check_metainfo() {
    root=$1
    command -v appstreamcli >/dev/null || { echo "appstreamcli is not installed (Debian package appstream): skipped"; exit 77; }
    appstreamcli validate --no-net "$root/usr/share/metainfo/$app.metainfo.xml" || fail "the AppStream metadata does not validate"
}

# The value of a top-level key of `phonectl state`.
state_of() {
    "$phonectl" --root "$work/phone" state | python3 -c "import json, sys; print(json.load(sys.stdin)['$1'])"
}

# Waits up to 10 s for a key of the state to have a value.
wait_for_state() {
    for _ in $(seq 100); do
        [ "$(state_of "$1")" = "$2" ] && return 0
        sleep 0.1
    done
    fail "$1 is $(state_of "$1"), not $2"
}

check_boot() {
    root=$1
    phonectl="$root/usr/bin/phonectl"
    export HOME="$work/home" XDG_CACHE_HOME="$work/cache"
    trap '"$phonectl" --root "$work/phone" stop >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
    "$phonectl" --root "$work/phone" boot --clock 2026-12-08T08:55:00 >/dev/null
    profile=$("$phonectl" --root "$work/phone" state | python3 -c "import json, sys; print(json.load(sys.stdin)['profiles'][0]['identifier'])")
    "$phonectl" --root "$work/phone" send com.velloq.HushlineProfileUpdateMessageKey --user-info \
        "{\"ProfileIdentifier\": $profile, \"ChangedData\": {\"wifiNetworks\": [\"Home\"], \"playAlert\": false}}"
    profiles="$work/phone/var/mobile/Library/Preferences/com.velloq.hushline.profiles.plist"
    for _ in $(seq 100); do
        grep -q '<string>Home</string>' "$profiles" && break
        sleep 0.1
    done
    grep -q '<string>Home</string>' "$profiles" || fail "the profile did not take the network Home"
    "$phonectl" --root "$work/phone" wifi join Home
    "$phonectl" --root "$work/phone" clock advance 65 >/dev/null
    wait_for_state ringerVolume 0.0625
    "$phonectl" --root "$work/phone" wifi leave
    "$phonectl" --root "$work/phone" clock advance 65 >/dev/null
    wait_for_state ringerVolume 0.5
    address=$("$phonectl" --root "$work/phone" settings)
    python3 -c "import sys, urllib.request; page = urllib.request.urlopen(sys.argv[1]).read().decode(); sys.exit(0 if '<ion-app>' in page else 1)" "$address" \
        || fail "the Settings page at $address is not served"
    "$phonectl" --root "$work/phone" stop >/dev/null
    for link in $(find "$work/phone/Library" "$work/phone/System/Library/PrivateFrameworks" -type l); do
        case "$(readlink "$link")" in
            "$root"/*) ;;
            *) fail "$link leads out of the installed tree" ;;
        esac
    done
    echo "boot: the installed phone went quiet at Home, came back and served its page"
}

case "$mode" in
    install) install_tree "$2" "$3" ;;
    layout) shift; check_layout "$@" ;;
    unit) check_unit "$2" ;;
    desktop) check_desktop "$2" ;;
    metainfo) check_metainfo "$2" ;;
    boot) check_boot "$2" ;;
    *) fail "unknown mode $mode" ;;
esac
