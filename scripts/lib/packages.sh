# Debian packages the project needs, and a function that installs the missing ones.
# Sourced by scripts/test, scripts/run and scripts/package.

BUILD_PACKAGES=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev libpugixml-dev libx11-dev libxtst-dev libx11-xcb-dev libxdamage-dev
    libgtest-dev libgmock-dev
    fonts-dejavu-core
    dpkg-dev file
    libwayland-dev libxkbcommon-dev libglib2.0-dev
)

TEST_PACKAGES=(
    xvfb xauth openbox xterm xdotool x11-utils x11-apps imagemagick trayer
    x11-xserver-utils x11-xkb-utils
    clang libclang-rt-14-dev
    lintian
    sway qt6-wayland wtype wl-clipboard dbus xdg-desktop-portal python3-dbus
    mousepad firefox-esr chromium xclip dbus-x11
    gnome-shell xdg-desktop-portal-gnome gnome-settings-daemon ibus python3-gi gir1.2-gtk-3.0 gir1.2-gtk-4.0
    kwin-wayland xdg-desktop-portal-kde qtwayland5 plasma-wayland-protocols
    fonts-wqy-zenhei # CJK glyphs: without a font for them every program searches all fonts for each character
)

RUN_PACKAGES=(
    qt6-qpa-plugins qt6-wayland
)

# ensure_packages PKG...: installs those that are not installed yet (apt-get update first, only then).
ensure_packages() {
    local missing=()
    local pkg
    for pkg in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$pkg")
        fi
    done
    if [ "${#missing[@]}" -eq 0 ]; then
        return 0
    fi
    echo "Installing missing packages: ${missing[*]}"
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        sudo=(sudo)
    fi
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# configure_and_build BUILD_DIR [CMAKE_ARGS...]: configures every time, so that options given later (for example
# -DVELMORA_FUZZ_SECONDS=60) take effect; with nothing changed that takes a moment only.
configure_and_build() {
    local dir="$1"
    shift
    cmake -S . -B "$dir" -G Ninja "$@"
    cmake --build "$dir" --parallel "$(nproc)"
}
