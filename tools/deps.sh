# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the set-up scripts: makes sure Debian packages are installed.
# As root it installs what is missing; otherwise it prints the apt-get line to run.
# Leading options (--no-install-recommends) go to apt-get.
ensure_packages() {
    local options=()
    while [ $# -gt 0 ] && [[ $1 == --* ]]; do
        options+=("$1")
        shift
    done
    local missing=()
    local pkg
    for pkg in "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "Missing packages. Run as root:" >&2
        echo "  apt-get install -y ${options[*]} ${missing[*]}" >&2
        return 1
    fi
    echo "Installing: ${missing[*]}"
    if ! DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${options[@]}" "${missing[@]}"; then
        apt-get update -q && DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${options[@]}" "${missing[@]}"
    fi
}

# What building Tevra, its tests and benchmarks need (time: the scale benchmark's memory figure;
# ieee-data: the registry lists the program reads at run time, which the tests check the
# compiled-in copy against and the vendor benchmark loads; scdoc: the man pages; man-db and
# systemd: the tests that read the installed pages and unit; appstream, desktop-file-utils,
# libxml2-utils and polkitd's document type check the desktop files; fonts-dejavu-core: the
# window's tests measure its columns in the desktop's real font; xvfb, openbox and x11-utils
# give the tray test an X display with a window manager; libcap-dev lets a test take a right
# from one thread).
TEVRA_BUILD_PACKAGES=(build-essential cmake ninja-build pkg-config clang-format clang-tidy libgtest-dev libgmock-dev
    libbenchmark-dev libnl-route-3-dev qt6-base-dev qt6-qpa-plugins libqt6svg6 iproute2 iputils-ping
    time dbus-daemon ieee-data nlohmann-json3-dev libsystemd-dev scdoc man-db systemd appstream
    desktop-file-utils libxml2-utils polkitd fonts-dejavu-core xvfb openbox x11-utils libcap-dev)

# What the Windows build and its tests need, without recommended packages: the
# mingw-w64 cross compiler, GoogleTest's sources for it to build, 64-bit Wine
# to run the result (its programs live in /usr/lib/wine), an X display with a
# window manager for Tevra.exe's window, pictured with scrot, and NSIS for
# CPack to make the installer.
TEVRA_WINDOWS_PACKAGES=(g++-mingw-w64-x86-64 googletest wine64 xvfb openbox x11-utils scrot nsis)

# What the real-desktop screenshot scripts need: a virtual X display, a window
# manager, a tray host, a notification daemon on a session bus, screenshots,
# window lookup and a font.
TEVRA_DESKTOP_PACKAGES=(xvfb openbox trayer dunst dbus-x11 dbus-daemon imagemagick x11-utils xdotool
    fonts-dejavu-core iproute2)
