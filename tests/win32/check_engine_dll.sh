#!/usr/bin/env bash
# Reads engine.dll with MinGW-w64's objdump, without running it, and checks
# what a 32-bit Windows caller relies on: a PE32 DLL that imports nothing,
# exports Engine alone at ordinal 1, carries base relocations, and whose entry
# point sets the x87 precision control to a 53-bit significand and returns
# removing its 12 bytes of arguments (stdcall).
#
#   check_engine_dll.sh OBJDUMP engine.dll
set -euo pipefail

if [ $# -ne 2 ]; then
    echo "usage: $0 OBJDUMP engine.dll" >&2
    exit 2
fi
objdump=$1
dll=$2
source "$(dirname "$(readlink -f "$0")")/../checks.sh"

headers=$("$objdump" -p "$dll")
sections=$("$objdump" -h "$dll")
has() { grep -Eq "$1" <<<"$headers"; }
# The hexadecimal value that follows a header's name, as a number (0 if absent).
field() {
    local value
    value=$(awk -v name="$1" '$1 == name { print $2; exit }' <<<"$headers")
    value=${value#0x}
    echo $((16#${value:-0}))
}

check "a PE32 image" has $'^Magic\t+010b\t+\\(PE32\\)$'
check "a DLL" test $(($(field Characteristics) & 0x2000)) -ne 0

check "an empty import directory" has '^Entry 1 0+ 0+ Import Directory'

# The export address table lists each function by its index; the name table
# gives each name's index into it. Ordinal = ordinal base + index.
functions=$(sed -En '/^Export Address Table -- /,/^$/{/^\t\[/{s/\[ +/[/g;p}}' <<<"$headers")
names=$(sed -En '/^\[Ordinal\/Name Pointer\] Table/,/^$/{/^\t\[/{s/\[ +/[/g;p}}' <<<"$headers")
printf 'exports:\n%s\n%s\n' "$functions" "$names"
check "ordinal base 1" has $'^Ordinal Base[ \t]+1$'
check "one function, at ordinal 1" test "$(awk '{ print $1, $2 }' <<<"$functions")" = "[0] +base[1]"
check "one name, Engine, for that function" test "$(awk '{ print $1, $2 }' <<<"$names")" = "[0] Engine"

reloc_size=$(awk '$2 == ".reloc" { print $3 }' <<<"$sections")
echo ".reloc size: ${reloc_size:-none}"
check "a non-empty relocation section" test $((16#${reloc_size:-0})) -gt 0

# The entry point's instructions up to its first return.
entry=$(($(field ImageBase) + $(field AddressOfEntryPoint)))
code=$("$objdump" -d --no-show-raw-insn --start-address="$entry" "$dll" |
    awk -F'\t' '!done && /^ *[0-9a-f]+:\t/ { print $2; done = $2 ~ /^ret/ }')
printf 'entry point at 0x%x:\n%s\n' "$entry" "$code"

# An and or an or with an immediate, as the bits of the 16-bit control word
# it changes: on a high-byte register (%ah and so on) the immediate is the
# word's upper byte.
word_bits() {
    local op=$1 kept=$2
    awk -v op="$op" '$1 ~ "^" op "[bwl]?$" && $2 ~ /^\$0x/ { print $2 }' <<<"$code" |
        while IFS=, read -r immediate operand; do
            local value=$((${immediate#$}))
            case $operand in
            %[abcd]h) value=$(((value << 8) | kept)) ;;
            esac
            printf '0x%x\n' $((value & 0xffff))
        done
}
# An instruction matching $1 and, after it, one matching $2.
in_order() { awk -v a="$1" -v b="$2" 'seen && $0 ~ b { found = 1 } $0 ~ a { seen = 1 } END { exit !found }' <<<"$code"; }
check "it reads the x87 control word and loads it back" in_order '^fn?stcw ' '^fldcw '
check "it clears the precision control (and 0xfcff)" grep -qx 0xfcff <<<"$(word_bits and 0xff)"
check "it sets a 53-bit significand (or 0x200)" grep -qx 0x200 <<<"$(word_bits or 0)"
ends_with() { [[ $(tail -n 1 <<<"$code") =~ $1 ]]; }
check "it returns removing 12 bytes of arguments" ends_with '^ret +[$]0xc$'

finish
