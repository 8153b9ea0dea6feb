# The Debian packages that quenthar.sh and packaging/check.sh need, and the
# functions that install the missing ones. Sourced by both.

# Packages needed to build and run the viewer (scdoc makes the manual page;
# qt6-wayland is Qt's platform plugin for Wayland sessions; libpng-dev reads
# saved pictures and frames; zlib1g-dev compresses the rows of --render's
# pictures; libhwy-dev is Highway, on which the lane kernel of --render and
# --movie runs; qt6-translations-l10n holds Qt's own Slovene).
BUILD_PACKAGES=(g++ cmake ninja-build pkg-config qt6-base-dev libgl-dev libegl-dev fonts-dejavu-core
    scdoc qt6-wayland libpng-dev zlib1g-dev libhwy-dev qt6-translations-l10n)
# Further packages that the test suite needs: the end-to-end suite runs the
# program in a virtual X server, drives it with xdotool and reads its
# clipboard with xclip, and runs it once more on Wayland in weston, nested in
# that X server; the captions are checked with the common desktop fonts (Noto
# Sans, Cantarell); the test build
# includes the benchmarks, which need Google Benchmark; the validators of the
# desktop entry and the AppStream file, and man to render the manual page;
# MinGW-w64 to cross-build engine.dll for 32-bit Windows and read it with its
# objdump; clang and its runtime libraries to build the engine's fuzz target
# (the sanitizer runtimes of the asan build come with g++); a D-Bus session
# with the accessibility bus and Python's client of it to check the window as
# a screen reader sees it; GNU time to measure the program's own peak memory;
# ffmpeg to make a movie's video and ffprobe to count its frames; Slurm and
# munge for the private one-node cluster that renders a movie as an array job;
# the cross compiler for arm64, Highway for arm64 (an arm64 package) and
# qemu to run the engine and the lane kernel built for arm64.
TEST_PACKAGES=(python3 xvfb xdotool xclip weston fonts-noto-core fonts-cantarell libbenchmark-dev
    desktop-file-utils appstream man-db
    g++-mingw-w64-i686-win32 clang libclang-rt-14-dev
    dbus at-spi2-core python3-pyatspi time
    ffmpeg slurm-wlm munge
    g++-aarch64-linux-gnu libhwy-dev:arm64 qemu-user)
# Wine (32-bit, an i386 package) runs engine.dll's test program, only where
# the kernel executes 32-bit programs.
WINE_PACKAGES=(wine wine32)

# What packaging/check.sh needs on top of the build packages: CPack's
# dpkg-shlibdeps, MinGW-w64's windres, debootstrap and lintian.
PACKAGE_CHECK_PACKAGES=(dpkg-dev file python3 binutils-mingw-w64-i686 debootstrap lintian)

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
        # A mirror in the middle of a sync fails an index or two for a
        # while: one more try, then the lists there are, which the install
        # itself judges.
        if ! as_root apt-get update -qq; then
            sleep 10
            as_root apt-get update -qq ||
                echo "apt-get update failed twice; installing from the package lists there are" >&2
        fi
        as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
    fi
}

# wine32 comes from Debian's i386 architecture, Highway for arm64 from its
# arm64 one.
enable_architecture() {
    if ! dpkg --print-foreign-architectures | grep -qx "$1"; then
        echo "Adding the $1 architecture for $2"
        as_root dpkg --add-architecture "$1"
    fi
}
