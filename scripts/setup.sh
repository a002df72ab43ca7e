# Shared set-up of ./test and ./run: the Debian packages the build and the simulated phone need.
HUSHLINE_PACKAGES=(cmake ninja-build g++ pkg-config ccache libgtest-dev libgmock-dev libbenchmark-dev
    libplist-dev libical-dev libsystemd-dev dbus-daemon)

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
