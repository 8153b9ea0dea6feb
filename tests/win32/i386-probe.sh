#!/usr/bin/env bash
# Whether this machine executes 32-bit x86 Linux programs, as Wine's 32-bit
# loader is one. A kernel booted with ia32_emulation=0 refuses them while every
# setting still says yes (/proc/config.gz, /proc/sys/abi/vsyscall32, setarch
# i686), so the only answer to trust is running one: a static i386 program that
# calls exit(42), written into DIR (not /tmp, which may be mounted noexec).
#
#   i386-probe.sh DIR              exits 0 if it runs; else prints why, exits 1
#   i386-probe.sh DIR COMMAND...   runs COMMAND if it runs; else prints why and
#                                  exits 77, the test's skip status in CTest
#
# QUENTHAR_FORCE_NO_I386=1 makes the answer no without running anything: it is
# there to test the skip path on a machine that does run 32-bit programs.
set -euo pipefail

if [ $# -lt 1 ]; then
    echo "usage: $0 DIR [COMMAND...]" >&2
    exit 2
fi
dir=$1
shift

# The whole program, 96 bytes: the ELF header, one loadable segment (the file
# itself, read and execute, at 0x08048000) and the code at its entry point,
# 0x08048054.
elf_header='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00' # 32-bit, little-endian
elf_header+='\x02\x00\x03\x00\x01\x00\x00\x00'                         # executable, i386, version 1
elf_header+='\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00'         # entry, program headers at 52, no sections
elf_header+='\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00'                 # flags, header size, one 32-byte program header
elf_header+='\x00\x00\x00\x00\x00\x00'                                 # no section headers
segment='\x01\x00\x00\x00\x00\x00\x00\x00'                              # loadable, from file offset 0
segment+='\x00\x80\x04\x08\x00\x80\x04\x08'                             # at 0x08048000
segment+='\x60\x00\x00\x00\x60\x00\x00\x00'                             # 96 bytes in the file and in memory
segment+='\x05\x00\x00\x00\x00\x10\x00\x00'                             # read and execute, page-aligned
code='\xb8\x01\x00\x00\x00' # mov $1, %eax (exit)
code+='\xbb\x2a\x00\x00\x00' # mov $42, %ebx
code+='\xcd\x80'             # int $0x80

verdict() {
    if [ "${QUENTHAR_FORCE_NO_I386:-}" = 1 ]; then
        echo "this kernel does not execute 32-bit programs (QUENTHAR_FORCE_NO_I386=1 says so)"
        return 1
    fi
    mkdir -p "$dir"
    # A name of its own for each run, so that runs at the same time do not
    # write a program another one is executing.
    local program="$dir/i386-probe.$$"
    printf '%b' "$elf_header$segment$code" >"$program"
    chmod +x "$program"
    local status=0 output
    output=$("$program" 2>&1) || status=$?
    rm -f "$program"
    if [ "$status" -ne 42 ]; then
        echo "this kernel does not execute 32-bit programs (a static i386 program in $dir" \
            "exited $status, not 42${output:+: $output})"
        return 1
    fi
}

if [ $# -eq 0 ]; then
    verdict
elif reason=$(verdict); then
    exec "$@"
else
    echo "skipped: $reason"
    exit 77
fi
