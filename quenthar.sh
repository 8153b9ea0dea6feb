#!/usr/bin/env bash
# Sets up what is missing on a Debian machine, builds, and either starts the
# viewer (run: the program, its engine and the manual page alone) or builds
# everything and runs the whole test suite (test).
set -euo pipefail

caller=$PWD
cd "$(dirname "$(readlink -f "$0")")"

# The Debian packages of each command, and installing the missing ones.
source packaging/packages.sh

usage() {
    echo "usage: $0 run [PROGRAM ARGUMENTS...] | test" >&2
    exit 2
}

build() {
    cmake --preset "$1" && cmake --build --preset "$1"
}

# The stages of the test command. Each one runs even when an earlier one
# failed, so a stage's steps are chained with && (errexit does not apply in a
# function whose status is tested). A stage that returns 77 was skipped.
stage_results=()
any_failed=no

# stage NAME FUNCTION [ARGS...]: runs one stage and notes its result and time.
stage() {
    local name=$1 start=$SECONDS status=0 result
    shift
    echo "==> $name"
    "$@" || status=$?
    case $status in
    0) result=passed ;;
    77) result=skipped ;;
    *)
        result=failed
        any_failed=yes
        ;;
    esac
    local took=$((SECONDS - start))
    stage_results+=("$(printf '%-8s %-32s %3dm%02ds' "$result" "$name" $((took / 60)) $((took % 60)))")
    echo "==> $name: $result"
}

# Configures, builds and tests one preset.
suite() {
    build "$1" && ctest --preset "$1"
}

# engine.dll cross-built for 32-bit Windows and read without running it.
windows_engine() {
    build win32 && ctest --preset win32 --label-exclude wine
}

# engine.dll loaded by a Windows program under Wine. Where the kernel does not
# execute 32-bit programs the test skips itself, and so does the stage.
wine_engine() {
    local log=build-win32/wine-stage.log
    [ "$i386" = yes ] || echo "engine.dll not run: $i386_reason"
    [ "$i386" != no-wine ] || return 77
    ctest --preset win32 --label-regex wine | tee "$log" || return
    if grep -q '\*\*\*Skipped' "$log"; then
        return 77
    fi
}

# Three minutes of fuzzing: the engine, the lane kernel against it, the view
# as text and the reading of a saved picture's view; prints for each how many
# inputs it ran and the coverage it reached.
fuzz_engine() {
    local status=0
    suite fuzz || status=$?
    awk '/^[0-9]+\/[0-9]+ Test: / { target = $3 }
         /DONE +cov:|^Done [0-9]+ runs/ { print target ": " $0 }' \
        build-fuzz/Testing/Temporary/LastTest.log || true
    return $status
}

case "${1:-}" in
run)
    # Only what running needs, the program and its engine, and the manual
    # page. Arguments after "run" go to the program; without a display it
    # says so itself. The build is configured once (a changed CMake file
    # reconfigures it by itself), and its output shows only when it has
    # something to do: a dry run tells first.
    shift
    install_missing "${BUILD_PACKAGES[@]}"
    [ -f build/build.ninja ] || cmake --preset default
    targets=(--target Quenthar quenthar_manpage)
    if ! plan=$(cmake --build --preset default "${targets[@]}" -- -n 2>&1) ||
        [ "$plan" != "ninja: no work to do." ]; then
        cmake --build --preset default "${targets[@]}"
    fi
    program=$PWD/build/bin/Quenthar
    cd "$caller"
    exec "$program" "$@"
    ;;
test)
    # Highway for arm64, for the lane kernel's check under qemu.
    enable_architecture arm64 libhwy-dev:arm64
    # Whether Wine can run here at all: the probe program is written into the
    # Windows build's folder, which the tests of that build use too.
    if i386_reason=$(tests/win32/i386-probe.sh build-win32); then
        enable_architecture i386 wine32
        install_missing "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}"
        # Wine serves one stage: where it cannot be installed now, that stage
        # is skipped, not the others.
        if install_missing "${WINE_PACKAGES[@]}"; then
            i386=yes
        else
            i386=no-wine
            i386_reason="Wine could not be installed (apt-get's message above)"
        fi
    else
        i386=no
        echo "Not adding the i386 architecture nor installing Wine: $i386_reason"
        install_missing "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}"
    fi
    stage "normal build" suite default
    stage "Windows engine" windows_engine
    stage "Windows engine under Wine" wine_engine
    # The same suite under AddressSanitizer and UndefinedBehaviorSanitizer.
    stage "sanitizers" suite asan
    # The threads under ThreadSanitizer: the pass's (tst_threads, the monkey),
    # the window's export (tst_export) and the render's writer, the movie's
    # and the video's (tst_movie). QProcess starts a child in the parent's
    # memory (clone with CLONE_VM and CLONE_VFORK), which the sanitizer takes
    # for a fork of a threaded process: die_after_fork=0 (CMakePresets.json)
    # lets a suite start threads after it has run the program.
    stage "thread sanitizer" suite tsan
    stage "fuzzing" fuzz_engine
    echo "Stages:"
    printf '  %s\n' "${stage_results[@]}"
    if [ "$any_failed" = yes ]; then
        exit 1
    fi
    ;;
*)
    usage
    ;;
esac
