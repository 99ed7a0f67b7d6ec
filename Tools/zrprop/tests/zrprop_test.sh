#!/usr/bin/env bash
# End-to-end test of zrprop: dumps samples the library wrote, then damaged and
# foreign files. Usage: zrprop_test.sh ZRPROP SAMPLE_WRITER SCRATCH_DIR
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../../Common/tests/e2e.sh"
zrprop=$1 sample=$2 scratch=$3
rm -rf "$scratch" && mkdir -p "$scratch" && cd "$scratch"
"$sample"

lines() { [[ $(wc -l <"${2:-out}") == "$1" ]] || fail "not $1 lines in ${2:-out}: $(cat "${2:-out}")"; }

# A parameter list: indexes, kinds, values as formatted, formats.
expect 0 "$zrprop" dump params.bin
lines 6
has '^\[0\] +int +7$'
has '^\[1\] +bool +1$'
has '^\[2\] +float +2\.5 +format "%\.1f"$'
has '^\[3\] +string +two\\x09lines$'
has '^\[4\] +empty$'
has '^\[5\] +ulong +-1$'
[[ ! -s err ]] || fail "warnings on a sound file: $(cat err)"

# A property set: names in byte order; the set keeps no formats of its own,
# but the stream holds them and the dump shows what is stored.
expect 0 "$zrprop" dump set.bin
lines 3
[[ $(cut -c1-7 out | tr -d ' ') == $'"Speed"\n"count"\n"name"' ]] || fail "order: $(cat out)"
has '^"count" +int +ff +format "%x"$'
has '^"Speed" +float +3\.250 +format "%\.3f"$'
expect 0 "$zrprop" dump --file-layout set.lay
has '^"count" +int +255$'
has '^"name" +string +Ann$'

# Damage: every cut of a sound file is reported, never a crash.
size=$(stat -c %s set.bin)
for ((n = 1; n < size; n++)); do
    head -c "$n" set.bin >cut.bin
    expect 1 "$zrprop" dump cut.bin
    has '^zrprop: cut\.bin: damaged at offset [0-9]+, (the entry count|entry [0-9]+ of 3): ' err
done
size=$(stat -c %s set.lay)
for ((n = 0; n < size; n++)); do
    head -c "$n" set.lay >cut.lay
    expect 1 "$zrprop" dump --file-layout cut.lay
    has '^zrprop: cut\.lay: damaged' err
done
printf 'v\xff\xff\xff\x7f' >huge.bin
expect 1 "$zrprop" dump huge.bin
has '^zrprop: huge\.bin: damaged at offset 5, entry 1 of 2147483647: ' err
cp params.bin trailing.bin && printf 'xyz' >>trailing.bin
expect 0 "$zrprop" dump trailing.bin
has '^zrprop: trailing\.bin: warning: 3 bytes after the data$' err
printf 'hello' >foreign.bin
expect 1 "$zrprop" dump foreign.bin
has '^zrprop: foreign\.bin: neither a property set nor a parameter list \(first byte 0x68\)$' err
truncate -s 65M big.bin
expect 1 "$zrprop" dump big.bin
has '^zrprop: big\.bin: too large: 68157440 bytes \(at most 67108864\)$' err
expect 1 "$zrprop" dump missing.bin
has '^zrprop: missing\.bin: cannot open the file: File not found\. \(4002\)' err

# Usage.
expect 2 "$zrprop" dump
expect 2 "$zrprop" frob
expect 0 "$zrprop" --help
has 'dump'
expect 0 "$zrprop" dump --help
has 'file-layout'
echo PASS
