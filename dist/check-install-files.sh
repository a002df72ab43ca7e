#!/bin/sh
# Reads the install files as the session's own tools do:
#   check-install-files.sh unit DIST_DIR PHONECTL   systemd-analyze verify --user on hushline.service,
#                                                   its ExecStart pointed at PHONECTL (which must exist)
#   check-install-files.sh desktop DIST_DIR         desktop-file-validate on both desktop files, then
#                                                   each one launched by GLib (gio launch) with stand-ins
#                                                   for phonectl and xdg-open that say what they got
# Exits 77 (skipped) when the tool is not installed.
set -eu

mode=$1
dist=$(cd "$2" && pwd)
work=$(mktemp -d /tmp/hl-dist-XXXXXX)
trap 'rm -rf "$work"' EXIT

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

check_unit() {
    phonectl=$1
    command -v systemd-analyze >/dev/null || { echo "systemd-analyze is not installed: skipped"; exit 77; }
    [ -x "$phonectl" ] || fail "$phonectl is not an executable"
    sed "s#^ExecStart=/usr/bin/phonectl #ExecStart=$phonectl #" "$dist/hushline.service" > "$work/hushline.service"
    grep -q "^ExecStart=$phonectl run --session\$" "$work/hushline.service" || fail "hushline.service runs something else than /usr/bin/phonectl run --session"
    # systemd 252's user manager lacks CAP_WAKE_ALARM: asking for it would fail every start.
    ! grep -q "^AmbientCapabilities=" "$work/hushline.service" || fail "hushline.service asks for ambient capabilities, which fail the unit on systemd 252"
    # The user manager's verify needs a runtime folder even when no user manager runs.
    mkdir -m 700 "$work/runtime"
    quiet_or_fail env XDG_RUNTIME_DIR="$work/runtime" systemd-analyze verify --user "$work/hushline.service"
    echo "hushline.service: verified"
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
    ran=no
    if command -v desktop-file-validate >/dev/null; then
        for file in hushline.desktop hushline-autostart.desktop; do
            quiet_or_fail desktop-file-validate --no-hints "$dist/$file"
        done
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

        said=$(launch "$dist/hushline.desktop")
        [ "$said" = "xdg-open http://127.0.0.1:8080/?root=$work/data home/hushline/phone" ] \
            || fail "hushline.desktop opened \"$said\", not the settings page of the user's phone"
        said=$(launch "$dist/hushline-autostart.desktop")
        [ "$said" = "phonectl run --session" ] || fail "hushline-autostart.desktop started \"$said\""
        echo "desktop files: launched as expected"
        ran=yes
    else
        echo "gio is not installed (Debian package libglib2.0-bin): launching skipped"
    fi
    [ "$ran" = yes ] || exit 77
}

case "$mode" in
    unit) check_unit "$3" ;;
    desktop) check_desktop ;;
    *) fail "unknown mode $mode" ;;
esac
