#!/usr/bin/env bash
# Sets up what is missing on a Debian machine, builds, and either starts the
# viewer (run) or runs the whole test suite (test).
set -euo pipefail

cd "$(dirname "$(readlink -f "$0")")"

# Packages needed to build and run the viewer (scdoc makes the manual page;
# qt6-wayland is Qt's platform plugin for Wayland sessions).
BUILD_PACKAGES=(g++ cmake ninja-build pkg-config qt6-base-dev libgl-dev libegl-dev fonts-dejavu-core
    scdoc qt6-wayland)
# Further packages that the test suite needs: the end-to-end suite runs the
# program in a virtual X server and drives it with xdotool, and once more on
# Wayland in weston, nested in that X server; the captions are checked with
# the common desktop fonts (Noto Sans, Cantarell); the test build
# includes the benchmarks, which need Google Benchmark; the validators of the
# desktop entry and the AppStream file, and man to render the manual page;
# MinGW-w64 to cross-build engine.dll for 32-bit Windows, and Wine (32-bit, an
# i386 package) to run its test; clang and its runtime libraries to build the
# engine's fuzz target (the sanitizer runtimes of the asan build come with g++);
# a D-Bus session with the accessibility bus and Python's client of it to check
# the window as a screen reader sees it.
TEST_PACKAGES=(python3 xvfb xdotool weston fonts-noto-core fonts-cantarell libbenchmark-dev
    desktop-file-utils appstream man-db
    g++-mingw-w64-i686-win32 wine wine32 clang libclang-rt-14-dev
    dbus at-spi2-core python3-pyatspi)

usage() {
    echo "usage: $0 run|test" >&2
    exit 2
}

as_root() {
    if [ "$(id -u)" -eq 0 ]; then
        "$@"
    elif command -v sudo >/dev/null; then
        sudo "$@"
    else
        echo "Installing packages needs root: run this as root or install sudo." >&2
        exit 1
    fi
}

install_missing() {
    local missing=()
    local package
    for package in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q '^install ok installed'; then
            missing+=("$package")
        fi
    done
    if [ "${#missing[@]}" -gt 0 ]; then
        echo "Installing: ${missing[*]}"
        as_root apt-get update -qq
        as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
    fi
}

# wine32 comes from Debian's i386 architecture.
enable_i386() {
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        echo "Adding the i386 architecture for wine32"
        as_root dpkg --add-architecture i386
    fi
}

build() {
    cmake --preset "$1"
    cmake --build --preset "$1"
}

case "${1:-}" in
run)
    install_missing "${BUILD_PACKAGES[@]}"
    build default
    # The window needs an X or Wayland display, unless QT_QPA_PLATFORM names a
    # platform that shows it without one (offscreen, vnc, linuxfb, eglfs, ...).
    # Qt tries the platforms of a list such as "wayland;xcb" in turn.
    display=no
    if [ -z "${QT_QPA_PLATFORM:-}" ]; then
        [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && display=yes
    else
        IFS=';' read -ra platforms <<<"$QT_QPA_PLATFORM"
        for platform in "${platforms[@]}"; do
            case ${platform%%:*} in
            "") ;;
            xcb) [ -n "${DISPLAY:-}" ] && display=yes ;;
            wayland*) [ -n "${WAYLAND_DISPLAY:-}" ] && display=yes ;;
            *) display=yes ;;
            esac
        done
    fi
    if [ "$display" = no ]; then
        if [ -n "${QT_QPA_PLATFORM:-}" ]; then
            echo "There is no display for QT_QPA_PLATFORM=$QT_QPA_PLATFORM to open the window on." >&2
        else
            echo "There is no display to open the window on (neither DISPLAY nor WAYLAND_DISPLAY is set)." >&2
        fi
        echo "On a machine without one, start it in a virtual X server (xvfb-run needs xauth too):" >&2
        echo "  apt-get install --no-install-recommends xvfb xauth" >&2
        echo "  xvfb-run -a -s '-screen 0 1024x768x24' $0 run" >&2
        echo "or choose a platform that needs none, e.g. QT_QPA_PLATFORM=vnc $0 run (a VNC server on port 5900)." >&2
        exit 1
    fi
    exec build/bin/Quenthar
    ;;
test)
    enable_i386
    install_missing "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}"
    build default
    ctest --preset default
    # engine.dll cross-built for 32-bit Windows, tested under Wine.
    build win32
    ctest --preset win32
    # The same suite under AddressSanitizer and UndefinedBehaviorSanitizer,
    # then a minute of fuzzing the engine.
    build asan
    ctest --preset asan
    build fuzz
    ctest --preset fuzz
    grep -h '^Done [0-9]* runs' build-fuzz/Testing/Temporary/LastTest.log || true
    ;;
*)
    usage
    ;;
esac
