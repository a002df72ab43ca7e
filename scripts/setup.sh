# Shared set-up of ./test and ./run: the Debian packages the build and the simulated phone need.
HUSHLINE_PACKAGES=(cmake ninja-build g++ pkg-config ccache libgtest-dev libgmock-dev libbenchmark-dev
    libplist-dev libical-dev libsystemd-dev dbus-daemon libmicrohttpd-dev zlib1g-dev nlohmann-json3-dev chromium
    libpulse-dev libglib2.0-dev libcanberra-dev
    # The user's session for the tests of the phone linked to it: real daemons on private buses.
    feedbackd pulseaudio pulseaudio-utils libcanberra-pulse sound-theme-freedesktop dconf-service dconf-cli
    gsettings-desktop-schemas libglib2.0-bin python3-dbusmock dbus-bin desktop-file-utils systemd
    pipewire pipewire-pulse wireplumber
    # GNOME Calendar's calendars: Evolution Data Server on a private bus, and python3-gi playing
    # GNOME Calendar in the tests.
    evolution-data-server libecal2.0-dev libsoup-3.0-dev libsecret-1-dev libjson-glib-dev
    gir1.2-ecal-2.0 gir1.2-edataserver-1.2 python3-gi
    # The Debian package and the checks of what it installs.
    debhelper dpkg-dev lintian fakeroot appstream)

hushline_install_packages() {
    local missing=()
    for package in "${HUSHLINE_PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    echo "Installing ${missing[*]}" >&2
    if ! "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null; then
        "${sudo[@]}" apt-get update -qq
        "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
    fi
}

# The settings page's npm packages (Ionic; esbuild; playwright-core for its browser tests), exactly
# as the committed lockfile pins them. Runs `npm ci` when they are missing or the lockfile changed;
# its postinstall bundles the page with Ionic's widgets and styles into page/dist/
# (bundle/build.mjs), made again when a file of bundle/ or of the page is newer than the manifest.
hushline_install_page_packages() {
    local web=apps/settings/web
    if [ -f "$web/node_modules/.package-lock.json" ] && [ "$web/node_modules/.package-lock.json" -nt "$web/package-lock.json" ]; then
        if [ -f "$web/page/dist/manifest.json" ] && [ -z "$(find "$web/bundle" "$web/page" -path "$web/page/dist" -prune -o -type f -newer "$web/page/dist/manifest.json" -print)" ]; then
            return 0
        fi
        echo "Bundling the settings page with its Ionic widgets" >&2
        (cd "$web" && node bundle/build.mjs)
        return 0
    fi
    echo "Installing the settings page's npm packages (npm ci)" >&2
    (cd "$web" && npm ci --no-audit --no-fund --loglevel=error >/dev/null)
}
