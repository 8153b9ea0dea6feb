#!/usr/bin/env bash
# Usage: check_install.sh CMAKE BUILD_DIR STAGE_DIR
# Installs the build into STAGE_DIR and checks what a desktop needs of it.
set -euo pipefail

cmake=$1
build=$2
stage=$3
failures=0

check() { # check DESCRIPTION COMMAND...
    local what=$1
    shift
    if "$@"; then
        echo "ok - $what"
    else
        echo "FAIL - $what"
        failures=$((failures + 1))
    fi
}

rm -rf "$stage"
"$cmake" --install "$build" --prefix "$stage" >/dev/null
"$cmake" --install "$build" --prefix "$stage" --component install_check >/dev/null

# The width and height of a PNG, from its IHDR chunk.
png_size() {
    local w h
    read -r w h < <(od -An -tu1 -j16 -N8 "$1" |
        awk '{ print $1*16777216 + $2*65536 + $3*256 + $4, $5*16777216 + $6*65536 + $7*256 + $8 }')
    echo "${w}x${h}"
}

# The value of KEY in the [Desktop Entry] group of a desktop file.
desktop_value() {
    sed -n "/^\[Desktop Entry\]/,/^\[/ s/^$2=//p" "$1"
}

program=$stage/bin/Quenthar
check "the program is installed in bin/" test -x "$program"

# RUNPATH: present, the only search path (no DT_RPATH), and every entry
# relative to the program's folder, so no build or source path leaks in.
dynamic=$(readelf -d "$program")
runpath=$(sed -n 's/.*(RUNPATH).*Library runpath: \[\(.*\)\]/\1/p' <<<"$dynamic")
echo "RUNPATH of bin/Quenthar: $runpath"
check "the program has a RUNPATH" test -n "$runpath"
check "and no DT_RPATH" test -z "$(grep '(RPATH)' <<<"$dynamic" || true)"
relative_only() {
    local entry
    IFS=: read -ra entries <<<"$runpath"
    for entry in "${entries[@]}"; do
        [[ $entry == '$ORIGIN' || $entry == '$ORIGIN/'* ]] || return 1
    done
}
check "every RUNPATH entry starts with \$ORIGIN" relative_only

# The engine lies where the RUNPATH leads, and the program's own binding,
# given the plain file name, loads it from there.
engine=
IFS=: read -ra entries <<<"$runpath"
for entry in "${entries[@]}"; do
    candidate=${entry/\$ORIGIN/$stage/bin}/libengine.so
    if [ -z "$engine" ] && [ -f "$candidate" ]; then
        engine=$(readlink -f "$candidate")
    fi
done
echo "libengine.so through the RUNPATH: ${engine:-none}"
check "libengine.so is in a RUNPATH folder" test -n "$engine"
check "inside the installed tree" test "${engine#"$(readlink -f "$stage")"/}" != "$engine"
check "and not beside the program" test ! -e "$stage/bin/libengine.so"
loaded=$(env -u LD_LIBRARY_PATH "$stage/bin/quenthar-install-check") || loaded="(failed)"
echo "the installed binding loaded: $loaded"
check "the installed binding loads that file and computes with it" \
    test -n "$engine" -a "$loaded" = "$engine"

# The menu entry and its icons.
desktops=("$stage"/share/applications/*.desktop)
check "one desktop entry is installed" test "${#desktops[@]}" -eq 1 -a -f "${desktops[0]}"
desktop=${desktops[0]}
check "desktop-file-validate accepts it" desktop-file-validate "$desktop"
check "Name=Quenthar" test "$(desktop_value "$desktop" Name)" = Quenthar
check "Categories=Graphics;Education;" test "$(desktop_value "$desktop" Categories)" = "Graphics;Education;"
check "it has a comment" test -n "$(desktop_value "$desktop" Comment)"
check "Exec names the installed program" \
    test -x "$stage/bin/$(desktop_value "$desktop" Exec | cut -d' ' -f1)"
icon=$(desktop_value "$desktop" Icon)
for size in 32x32 48x48; do
    png=$stage/share/icons/hicolor/$size/apps/$icon.png
    check "the $size icon '$icon' is installed at its size" \
        test -f "$png" -a "$(png_size "$png" 2>/dev/null)" = "$size"
done

# The AppStream metadata, tied to the desktop entry.
metainfos=("$stage"/share/metainfo/*.metainfo.xml)
check "one AppStream metainfo file is installed" test "${#metainfos[@]}" -eq 1 -a -f "${metainfos[0]}"
metainfo=${metainfos[0]}
check "appstreamcli validate --no-net accepts it" appstreamcli validate --no-net "$metainfo"
check "its launchable is the desktop entry" \
    grep -q "<launchable type=\"desktop-id\">$(basename "$desktop")</launchable>" "$metainfo"

echo "$failures failure(s)"
[ "$failures" -eq 0 ]
