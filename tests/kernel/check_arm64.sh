#!/usr/bin/env bash
# The engine and the lane kernel built for arm64 (the preset arm64, in
# build-arm64/) and run under qemu-aarch64 on the kernel's cases, and on its
# counts to other caps with the points after the escapes: Engine's digests
# there, and the kernel's on every instruction set qemu's processor runs
# (NEON, SVE, SVE2), must all be this machine's Engine's.
# Usage: check_arm64.sh SOURCE_DIR NATIVE_KERNEL_DIGESTS
# Skips itself (77) where the cross compiler, qemu or Highway for arm64 is
# missing; ./quenthar.sh test installs them.
set -uo pipefail

source_dir=$1
native_program=$2
missing=()
command -v aarch64-linux-gnu-g++ >/dev/null || missing+=(g++-aarch64-linux-gnu)
command -v qemu-aarch64 >/dev/null || missing+=(qemu-user)
[ -f /usr/lib/aarch64-linux-gnu/cmake/hwy/hwy-config.cmake ] || missing+=(libhwy-dev:arm64)
if [ "${#missing[@]}" -gt 0 ]; then
    echo "arm64 check skipped: it needs ${missing[*]}"
    exit 77
fi

cd "$source_dir" || exit 1
cmake --preset arm64 >/dev/null && cmake --build --preset arm64 || exit 1
program=build-arm64/bin/kernel_digests
targets=$(qemu-aarch64 "$program" --targets) || exit 1
targets=$(echo $targets)
echo "arm64 instruction sets under qemu:" $targets
native=$("$native_program") || exit 1
# Emulated, each set is slow: they run side by side.
arm64=$(printf '%s\n' Engine $targets | xargs -P "$(nproc)" -I NAME qemu-aarch64 "$program" NAME) ||
    exit 1

# Every line of both against this machine's Engine, and each case seen on
# arm64 once for Engine and once for each set.
awk -F '\t' -v sets="Engine $targets" '
    function check(side) {
        if ($1 != expected[$2]) {
            printf "%s, %s, %s: digest %s, not Engine'"'"'s %s\n", side, $3, $2, $1, expected[$2]
            bad++
        }
    }
    FNR == NR && $3 == "Engine" { expected[$2] = $1; cases++ }
    FNR == NR { check("x86-64"); next }
    { seen[$3]++; check("arm64") }
    END {
        n = split(sets, names, " ")
        for (i = 1; i <= n; i++)
            if (seen[names[i]] != cases) {
                printf "arm64, %s: %d cases of %d\n", names[i], seen[names[i]], cases
                bad++
            }
        if (bad || cases == 0)
            exit 1
        printf "%d cases: the same counts on arm64 (%s) as Engine'"'"'s here\n", cases, sets
    }' <(echo "$native") <(echo "$arm64")
