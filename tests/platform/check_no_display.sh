#!/usr/bin/env bash
# Usage: check_no_display.sh PROGRAM
# Without a window system the program says in one line what is missing and
# ends with status 1. (Help and the version without a display are checked on
# the installed program, by the install check.)
set -uo pipefail

program=$1
failures=0
runtime=$(mktemp -d)
trap 'rm -rf "$runtime"' EXIT

# expect_line DESCRIPTION PATTERN [VARIABLE=VALUE...] [-- ARGUMENT...]: runs
# the program with no display but the given variables, with the arguments;
# it must end with status 1 and print one line matching PATTERN on stderr and
# nothing on stdout.
expect_line() {
    local what=$1 pattern=$2
    shift 2
    local variables=()
    while [ $# -gt 0 ] && [ "$1" != -- ]; do
        variables+=("$1")
        shift
    done
    [ $# -gt 0 ] && shift
    local out err status
    out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u XDG_SESSION_TYPE \
        XDG_RUNTIME_DIR="$runtime" "${variables[@]}" "$program" "$@" 2>"$runtime/stderr")
    status=$?
    err=$(cat "$runtime/stderr")
    if [ "$status" -eq 1 ] && [ -z "$out" ] && [ "$(wc -l <"$runtime/stderr")" -eq 1 ] &&
        grep -Eq "$pattern" <<<"$err"; then
        echo "ok - $what: $err"
    else
        echo "FAIL - $what: status $status, stdout '$out', stderr:"
        echo "$err"
        failures=$((failures + 1))
    fi
}

expect_line "no display at all" "^Quenthar: .*no display.*DISPLAY.*WAYLAND_DISPLAY"
expect_line "Wayland without a compositor" \
    "^Quenthar: .*cannot connect to the Wayland display \"quenthar-none\"" \
    QT_QPA_PLATFORM=wayland WAYLAND_DISPLAY=quenthar-none
expect_line "X display that does not answer" "^Quenthar: .*cannot connect to the X display" \
    DISPLAY=:4242 QT_QPA_PLATFORM=xcb
expect_line "X display given by -display" \
    "^Quenthar: cannot open the window: cannot connect to the X display \":4242\"\\.$" -- -display :4242
expect_line "a Wayland session without the plugin for it" \
    "^Quenthar: .*Wayland.*not installed.*qt6-wayland.*DISPLAY is not set" \
    "QT_QPA_PLATFORM=wayland-quenthar-none;xcb" WAYLAND_DISPLAY=wayland-0
expect_line "a platform with no plugin" "^Quenthar: .*no Qt platform plugin \"quenthar-none\"" \
    QT_QPA_PLATFORM=quenthar-none

echo "$failures failure(s)"
[ "$failures" -eq 0 ]
