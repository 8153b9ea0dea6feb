#!/usr/bin/env bash
# Usage: check_run.sh SOURCE_DIR
# "./quenthar.sh run" in a fresh copy of the project builds only what running
# needs, the program and its engine, and the manual page, and hands its
# arguments to the program; started again, it prints nothing of its own.
# Prints how long the build took.
set -uo pipefail
source "$(dirname "$0")/../checks.sh"

source_dir=$1
if ! files=$(git -C "$source_dir" ls-files 2>/dev/null) || [ -z "$files" ]; then
    echo "skipped: $source_dir is no git checkout to copy the project from"
    exit 77
fi
copy=$(mktemp -d)
trap 'rm -rf "$copy"' EXIT
(cd "$source_dir" && git ls-files -z | xargs -0 cp --parents -t "$copy") || exit 1

start=$SECONDS
output=$(cd "$copy" && env -u DISPLAY -u WAYLAND_DISPLAY ./quenthar.sh run --version 2>&1)
status=$?
echo "quenthar.sh run --version took $((SECONDS - start)) s"
check "it ends with the program's status 0" test "$status" -eq 0
check "the program prints its version" grep -qx 'Quenthar [0-9.]*' <<<"$(tail -n 1 <<<"$output")"
check "the program and the engine are built" \
    test -x "$copy/build/bin/Quenthar" -a -f "$copy/build/bin/libengine.so"
check "the manual page is built" grep -q '^\.TH "Quenthar" "1"' "$copy/build/packaging/Quenthar.1"
check "no test suite or benchmark is built" \
    test -z "$(find "$copy/build" \( -name 'tst_*' -o -name 'quenthar_bench' \) -type f)"
again=$(cd "$copy" && env -u DISPLAY -u WAYLAND_DISPLAY ./quenthar.sh run --version 2>&1)
only_version() { [[ $1 =~ ^Quenthar\ [0-9.]+$ ]]; }
check "started again, it prints the version and nothing else" only_version "$again"

# Each command of the README's command-line sections runs as written from the
# copy, after that first run, but for smaller sizes and lengths and a fake
# sbatch; the window's run offscreen until they are ended.
scratch=$(mktemp -d)
trap 'rm -rf "$copy" "$scratch"' EXIT
printf '#!/bin/sh\necho 7\n' >"$scratch/sbatch"
chmod +x "$scratch/sbatch"
readme_commands() {
    awk '/^## (From the command line|Zoom movies)/ { on = 1; next }
         /^## / { on = 0 }
         on && /^```/ { block = !block; next }
         on && block' "$copy/README.md" |
        sed -e ':a' -e '/\\$/{N;s/\\\n//;ba}' |
        sed -e 's/ *# .*//' -e 's/--size [0-9]*x[0-9]*/--size 64x36/' \
            -e 's/--seconds [0-9.]*/--seconds 0.2/' -e 's/--tasks [0-9]*/--tasks 2/' \
            -e "s|/shared/|$scratch/|g"
}
runs_as_written() {
    local status=0
    (cd "$copy" && PATH=$scratch:$PATH QT_QPA_PLATFORM=offscreen timeout 20 \
        bash -c "$1" >/dev/null 2>"$scratch/err") || status=$?
    # Ended by the timeout: a window that opened.
    [ "$status" -eq 0 ] || { [ "$status" -eq 124 ] && [[ $1 != *--render* && $1 != *--movie* ]]; } ||
        { cat "$scratch/err"; return 1; }
}
count=0
while IFS= read -r command; do
    [ -n "$command" ] || continue
    count=$((count + 1))
    check "the README's '$command' runs" runs_as_written "$command"
done < <(readme_commands)
check "the README has commands to run" test "$count" -ge 8
finish
