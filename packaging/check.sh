#!/usr/bin/env bash
# Checks the two things CI does not build:
#   1. the Windows resource file of the program, with MinGW-w64's windres
#      alone (this machine has no Qt for Windows to build the program with);
#   2. the .deb: built with CPack, checked by lintian (no error, no warning),
#      installed with apt-get into a clean Debian 12 chroot made by
#      debootstrap, and started from there.
# Run as root on Debian 12, with network access to the Debian mirror.
# Usage: packaging/check.sh [--keep-chroot]
set -euo pipefail

cd "$(dirname "$(readlink -f "$0")")/.."
source_dir=$PWD

keep_chroot=no
[ "${1:-}" = --keep-chroot ] && keep_chroot=yes

if [ "$(id -u)" -ne 0 ]; then
    echo "$0 needs root (debootstrap, chroot, apt-get)." >&2
    exit 1
fi

source tests/checks.sh

source packaging/packages.sh
install_missing "${BUILD_PACKAGES[@]}" "${PACKAGE_CHECK_PACKAGES[@]}"

multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
# Configuring fills the version into the program's header and its Windows
# resources.
cmake --preset package >/dev/null
version=$(sed -n 's/^#define QUENTHAR_VERSION "\(.*\)"$/\1/p' build-package/core/quenthar_version.h)
echo "version: $version"
rc_file=build-package/app/quenthar.rc

### 1. The Windows resource file

echo "== Windows resource ($rc_file, made from app/quenthar.rc.in)"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 window/icons/make_ico.py "$work/quenthar.ico" \
    window/icons/quenthar-32.png window/icons/quenthar-48.png
check "window/icons/quenthar.ico is what make_ico.py makes of the two PNGs" \
    cmp -s "$work/quenthar.ico" window/icons/quenthar.ico
file window/icons/quenthar.ico

check "windres compiles it into an object the linker takes" \
    i686-w64-mingw32-windres "$rc_file" -O coff -o "$work/quenthar.o"
i686-w64-mingw32-windres "$rc_file" -O res -o "$work/quenthar.res"
i686-w64-mingw32-windres -i "$work/quenthar.res" -O rc -o "$work/decompiled.rc"
rc=$(cat "$work/decompiled.rc")
has() { grep -qF -- "$1" <<<"$rc"; }
check "CompanyName is Brellow" has 'VALUE "CompanyName", "Brellow"'
check "ProductName is Quenthar" has 'VALUE "ProductName", "Quenthar"'
check "FileVersion is $version" has "VALUE \"FileVersion\", \"$version\""
check "ProductVersion is $version" has "VALUE \"ProductVersion\", \"$version\""
numeric=$(IFS=.; read -ra v <<<"$version"; echo "$((10#${v[0]})), $((10#${v[1]})), $((10#${v[2]})), 0")
check "the numeric file version is $numeric" has "FILEVERSION $numeric"
check "the icon group holds two images" has 'Has 2 elements.'
check "one 32 x 32 at 32 bits" has '"\040\040\000\000", 1, 32,'
check "one 48 x 48 at 32 bits" has '"\060\060\000\000", 1, 32,'
sed -n '/VERSIONINFO/,$p' "$work/decompiled.rc"

### 2. The Debian package

echo "== Debian package"
cmake --preset package
cmake --build --preset package -j2
rm -f build-package/packages/quenthar_*.deb
cpack --preset deb
debs=(build-package/packages/quenthar_*.deb)
deb=${debs[0]}
check "CPack made one .deb" test "${#debs[@]}" -eq 1 -a -f "$deb"
echo "$deb"
dpkg-deb --info "$deb"
dpkg-deb --contents "$deb"
field() { dpkg-deb --field "$deb" "$1"; }
check "Package: quenthar" test "$(field Package)" = quenthar
check "Version: $version" test "$(field Version)" = "$version"
check "Maintainer: Brellow <packages@brellow.example>" \
    test "$(field Maintainer)" = "Brellow <packages@brellow.example>"
check "Depends names the Qt 6 libraries, found by dpkg-shlibdeps" \
    grep -q 'libqt6widgets6.*' <<<"$(field Depends)"
check "the engine is packaged where the program's RUNPATH leads" \
    grep -q "/usr/lib/$multiarch/quenthar/libengine.so$" <<<"$(dpkg-deb --contents "$deb")"
for file in /usr/share/man/man1/Quenthar.1.gz /usr/share/doc/quenthar/copyright \
    /usr/share/doc/quenthar/changelog.gz /usr/share/lintian/overrides/quenthar; do
    check "it holds $file" grep -q " \.$file$" <<<"$(dpkg-deb --contents "$deb")"
done

# lintian: any error or warning fails. The first run lists every tag down to
# level I, and the overridden ones with their reasons; the verdict comes from
# a second run, since lintian counts overridden tags it shows as reported.
echo "== lintian $(basename "$deb")"
lintian --display-info --show-overrides --fail-on none "$deb"
check "lintian reports no error and no warning" lintian --fail-on error,warning "$deb"

# A clean Debian 12 from the mirror this machine uses.
mirror=http://deb.debian.org/debian
sources=/etc/apt/sources.list.d/debian.sources
if [ -f "$sources" ]; then
    mirror=$(awk '/^URIs:/ { print $2; exit }' "$sources")
fi
chroot_dir=$source_dir/build-package/chroot
unmount_chroot() {
    umount "$chroot_dir/dev" 2>/dev/null || true
    umount "$chroot_dir/proc" 2>/dev/null || true
}
# Deletes the chroot, but never while anything is still mounted in it (a
# bound /dev would take the host's device files with it).
remove_chroot() {
    if grep -q " $chroot_dir/" /proc/mounts; then
        echo "Something is still mounted in $chroot_dir; leaving it." >&2
    else
        rm -rf "$chroot_dir"
    fi
}
unmount_chroot
remove_chroot
trap 'unmount_chroot; [ "$keep_chroot" = yes ] || remove_chroot; rm -rf "$work"' EXIT
echo "== debootstrap bookworm from $mirror into $chroot_dir"
debootstrap --variant=minbase --include=git,ca-certificates bookworm "$chroot_dir" "$mirror" \
    >"$work/debootstrap.log" 2>&1 || {
    tail -20 "$work/debootstrap.log"
    exit 1
}
if [ -f "$sources" ]; then
    cp "$sources" "$chroot_dir/etc/apt/sources.list.d/debian.sources"
    rm -f "$chroot_dir/etc/apt/sources.list"
fi
cp /etc/resolv.conf "$chroot_dir/etc/resolv.conf"
# No daemon of any package starts inside the chroot.
printf '#!/bin/sh\nexit 101\n' >"$chroot_dir/usr/sbin/policy-rc.d"
chmod +x "$chroot_dir/usr/sbin/policy-rc.d"
mount -t proc proc "$chroot_dir/proc"
mount --bind /dev "$chroot_dir/dev"
in_chroot() { chroot "$chroot_dir" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root "$@"; }

cp "$deb" "$chroot_dir/root/"
in_chroot apt-get update -qq
echo "== apt-get install ./$(basename "$deb") in the chroot"
check "apt-get installs the package with its dependencies" \
    in_chroot sh -c "cd /root && DEBIAN_FRONTEND=noninteractive apt-get install -y -q ./$(basename "$deb") >/root/install.log 2>&1"
tail -3 "$chroot_dir/root/install.log"
in_chroot dpkg -L quenthar
check "/usr/bin/Quenthar is installed" test -x "$chroot_dir/usr/bin/Quenthar"
check "/usr/bin/Quenthar --version prints 'Quenthar $version' there, with no display" \
    test "$(in_chroot /usr/bin/Quenthar --version 2>&1)" = "Quenthar $version"
ldd_out=$(in_chroot ldd /usr/bin/Quenthar)
check "the loader finds every library the program links" test -z "$(grep 'not found' <<<"$ldd_out")"

# The program's binding resolves libengine.so by file name through the
# RUNPATH: the test helper, built with the same RUNPATH, runs from /usr/bin
# of the chroot for this check and is removed again.
cmake --install build-package --prefix "$chroot_dir/usr" --component install_check >/dev/null
loaded=$(in_chroot /usr/bin/quenthar-install-check) || loaded="(failed)"
rm -f "$chroot_dir/usr/bin/quenthar-install-check"
echo "the installed binding loaded: $loaded"
check "the program's binding loads the packaged engine and computes with it" \
    test "$loaded" = "/usr/lib/$multiarch/quenthar/libengine.so"

# Start the installed program in a virtual X server: still running after
# five seconds means it started (timeout then ends it with status 124).
in_chroot sh -c "DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends xvfb xauth >/dev/null 2>&1"
status=0
in_chroot xvfb-run -a -s '-screen 0 1024x768x24' timeout 5 /usr/bin/Quenthar \
    >"$work/run.log" 2>&1 || status=$?
cat "$work/run.log"
echo "exit status after 5 s: $status"
check "/usr/bin/Quenthar starts from the installed path and keeps running" test "$status" -eq 124

check "apt-get purges it again" \
    in_chroot sh -c "DEBIAN_FRONTEND=noninteractive apt-get purge -y -q quenthar >/dev/null 2>&1"
check "and leaves no file of it behind" \
    test ! -e "$chroot_dir/usr/bin/Quenthar" -a ! -e "$chroot_dir/usr/lib/$multiarch/quenthar"

finish
