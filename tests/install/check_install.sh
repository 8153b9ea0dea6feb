#!/usr/bin/env bash
# Usage: check_install.sh CMAKE BUILD_DIR STAGE_DIR SOURCE_DIR VERSION
# Installs the build into STAGE_DIR and checks what a desktop and a Debian
# system need of it.
set -euo pipefail

cmake=$1
build=$2
stage=$3
source=$4
version=$5

source "$(dirname "$(readlink -f "$0")")/../checks.sh"

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

# The command line of the installed program, with no display to be had:
# help, the version and a bad option never open the window system.
no_display=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM)
run_status() { # run_status OUT ERR COMMAND...: runs COMMAND, prints its status
    local out=$1 err=$2 status=0
    shift 2
    "$@" >"$out" 2>"$err" || status=$?
    echo "$status"
}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
status=$(run_status "$scratch/out" "$scratch/err" "${no_display[@]}" "$program" --version)
check "--version prints 'Quenthar $version' and exits 0" \
    test "$status" -eq 0 -a "$(cat "$scratch/out")" = "Quenthar $version" -a ! -s "$scratch/err"
status=$(run_status "$scratch/help" "$scratch/err" "${no_display[@]}" "$program" --help)
check "--help prints the options and exits 0" \
    test "$status" -eq 0 -a ! -s "$scratch/err" -a -n "$(grep -e '--threads' "$scratch/help")"
status=$(run_status "$scratch/out" "$scratch/err" "${no_display[@]}" "$program" --no-such-option)
check "an unknown option is refused in one line on stderr, with status 2" \
    test "$status" -eq 2 -a ! -s "$scratch/out" \
    -a "$(cat "$scratch/err")" = "Quenthar: unknown option '--no-such-option' (try 'Quenthar --help')"

# A render needs no display either, nor the engine.
status=$(run_status "$scratch/out" "$scratch/err" "${no_display[@]}" "$program" \
    --render "$scratch/render.png" --size 320x200 --view -1,-1,2,2 --stretch)
check "--render writes a PNG of the given size with no display, quietly, with status 0" \
    test "$status" -eq 0 -a ! -s "$scratch/out" -a ! -s "$scratch/err" \
    -a "$(png_size "$scratch/render.png" 2>/dev/null)" = 320x200
check "and the view in its text entries" grep -qa 'View.-1,-1,2,2' "$scratch/render.png"

# A gzip file made with -9 -n: no file name or other optional field (flags 0),
# no time stamp, and the mark of the highest compression level (2).
gzip_reproducible() {
    gzip -t "$1" && test "$(od -An -tu1 -j3 -N6 "$1" | tr -s ' ')" = " 0 0 0 0 0 2"
}

# The manual page: installed compressed, rendered by man without a warning,
# and in step with the program it describes.
man_page=$stage/share/man/man1/Quenthar.1.gz
check "the manual page is installed as share/man/man1/Quenthar.1.gz" test -f "$man_page"
check "compressed with gzip -9 -n" gzip_reproducible "$man_page"
render() { LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$man_page"; }
render >"$scratch/man" 2>"$scratch/man-warnings" || true
cat "$scratch/man-warnings"
check "man renders it without a warning" test -s "$scratch/man" -a ! -s "$scratch/man-warnings"
page=$(cat "$scratch/man")
in_page() { grep -qF -- "$1" <<<"$page"; }
check "its NAME line names the program" grep -q '^ *Quenthar - ' <<<"$page"
check "its footer carries version $version" grep -q "^Quenthar $version " <<<"$page"
# An item of OPTIONS starts with its option, and perhaps a short one before it.
options=$(sed -n '/^OPTIONS$/,/^[A-Z]/p' <<<"$page")
has_item() { grep -qE -- "^ +(-[a-z], )?$1( |$)" <<<"$options"; }
for option in $(grep -o -e '--[a-z-]*' "$scratch/help" | sort -u); do
    check "OPTIONS describes $option, which --help lists" has_item "$option"
done
check "OPTIONS describes Qt's -platform option" has_item -platform
check "it shows the program's RUNPATH as installed" in_page "$runpath"
for section in OPTIONS FILES "EXIT STATUS" ENVIRONMENT; do
    check "it has the section $section" grep -qx "$section" <<<"$page"
done
for variable in QT_QPA_PLATFORM DISPLAY WAYLAND_DISPLAY QT_SCALE_FACTOR; do
    check "it explains $variable" in_page "$variable"
done

# The package's documents: the licence in the machine-readable copyright
# format and the changelog, whose newest entry is this version.
doc=$stage/share/doc/quenthar
copyright=$doc/copyright
check "share/doc/quenthar/copyright is installed" test -f "$copyright"
check "in the machine-readable format" test "$(head -n1 "$copyright")" = \
    "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/"
files_paragraph=$(sed -n '/^Files: \*$/,/^$/p' "$copyright")
check "every file is Brellow's, under the Expat (MIT) licence" test "$(grep -cx \
    -e 'Copyright: 2026 Brellow' -e 'License: Expat' <<<"$files_paragraph")" -eq 2
check "no line of it is blank but not empty (an empty line in a field is \" .\")" \
    test -z "$(grep -E '^[[:space:]]+$' "$copyright")"
# The licence's text, read back from its field (one space in front, "." for
# an empty line), is the permission text of LICENSE word for word.
licence_field=$(sed -n '/^License: Expat$/,/^$/ { /^ /p; }' "$copyright" | sed 's/^ //; s/^\.$//')
check "its licence text is that of LICENSE" \
    test "$licence_field" = "$(sed -n '/^Permission is hereby granted/,$p' "$source/LICENSE")"
changelog=$doc/changelog.gz
check "share/doc/quenthar/changelog.gz is installed" test -f "$changelog"
check "compressed with gzip -9 -n" gzip_reproducible "$changelog"
newest=$(zcat "$changelog" | head -n1)
check "its newest entry is quenthar ($version)" test "${newest%% *}" = quenthar \
    -a "$(cut -d' ' -f2 <<<"$newest")" = "($version)"
trailer=$(zcat "$changelog" | grep -m1 '^ -- ')
check "that entry is signed with a name, an address and a date" \
    date -d "$(sed -n 's/^ -- [^<]* <[^@>]*@[^>]*>  //p' <<<"$trailer")" +%s

# Each lintian override says on the line above why it is deliberate.
overrides=$stage/share/lintian/overrides/quenthar
check "share/lintian/overrides/quenthar is installed" test -s "$overrides"
reasoned() {
    awk '/^#/ { reason = 1; next } /^[^[:space:]]/ { if (!reason) exit 1 } { reason = 0 }' "$1"
}
check "every override has its reason above it" reasoned "$overrides"

# The menu entry and its icons.
desktops=("$stage"/share/applications/*.desktop)
check "one desktop entry is installed" test "${#desktops[@]}" -eq 1 -a -f "${desktops[0]}"
desktop=${desktops[0]}
check "desktop-file-validate accepts it without a word" \
    test -z "$(desktop-file-validate "$desktop" 2>&1 || echo "status $?")"
check "Name=Quenthar" test "$(desktop_value "$desktop" Name)" = Quenthar
check "Categories=Graphics;Viewer;" test "$(desktop_value "$desktop" Categories)" = "Graphics;Viewer;"
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
check "it names the licence, MIT" grep -q '<project_license>MIT</project_license>' "$metainfo"
check "its newest release is $version" test "$(grep -m1 -o '<release version="[^"]*"' "$metainfo")" = \
    "<release version=\"$version\""

finish
