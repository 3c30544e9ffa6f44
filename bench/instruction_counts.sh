#!/usr/bin/env bash
# The 32-bit code beside the 64-bit code, where timings cannot compare them: this machine
# runs 32-bit programs only through an emulator.  Compiles the digest suite with the release
# flags for x86-64 (g++) and for 32-bit Windows (i686-w64-mingw32-g++-posix), and prints, for
# the function in which each engine spends its time, its instructions and, of those, the ones
# that touch the stack frame (spills and reloads: the i686 has 7 free registers, x86-64 15).
#
# For the straight-line compressions (MD4, MD5, RIPEMD, SHA-0, SHA-1, HAVAL, Tiger and the
# SHA-2 family) the count is also the work per block, so the ratio of the two counts is the
# ratio of the work; for the engines built round loops it is the size of the code only.
#
#   bench/instruction_counts.sh [OUTDIR]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:-$root/build-instruction-counts}"
mkdir -p "$out/x86-64" "$out/i686"

flags=(-O3 -std=c++17 -I"$root/digests")
for src in "$root"/digests/*.cpp; do
  name="$(basename "$src" .cpp)"
  g++ "${flags[@]}" -c "$src" -o "$out/x86-64/$name.o"
  i686-w64-mingw32-g++-posix "${flags[@]}" -c "$src" -o "$out/i686/$name.o"
done

# Disassembles one function (its demangled name must contain pattern) of an object file and
# prints "instructions stack-references".
count() {
  local dump="$1" object="$2" pattern="$3"
  "$dump" -d --no-show-raw-insn -C "$object" | awk -v pattern="$pattern" '
    /^[0-9a-f]+ <.*>:$/ { inside = index($0, pattern) > 0; next }
    inside && /^ +[0-9a-f]+:\t/ {
      n++
      if ($0 ~ /\((%rsp|%esp|%rbp|%ebp)\)/) stack++
    }
    END { printf "%d %d\n", n, stack }'
}

printf '%-22s %-26s %8s %8s %6s %8s %8s\n' line function x86-64 i686 ratio "stack64" "stack32"
while IFS='|' read -r line object pattern; do
  [ -f "$out/x86-64/$object.o" ] || continue
  read -r n64 s64 < <(count objdump "$out/x86-64/$object.o" "$pattern")
  read -r n32 s32 < <(count i686-w64-mingw32-objdump "$out/i686/$object.o" "$pattern")
  [ "$n64" -gt 0 ] && [ "$n32" -gt 0 ] || { printf '%-22s %-26s (not found)\n' "$line" "$pattern"; continue; }
  printf '%-22s %-26s %8d %8d %6.2f %8d %8d\n' "$line" "$pattern" "$n64" "$n32" \
    "$(echo "$n32 / $n64" | bc -l)" "$s64" "$s32"
done <<'EOF'
ADLER32|checksums|Adler32Update(
CRC16|checksums|Crc16Update(
CRC16CCITT|checksums|Crc16CcittUpdate(
CRC32|checksums|Crc32Update(
CRC32b|checksums|Crc32bUpdate(
GOST|gost|GostTransform(
HAVAL, 3 passes|haval_transform|CompressBlocks<3>
HAVAL, 4 passes|haval_transform|CompressBlocks<4>
HAVAL, 5 passes|haval_transform|CompressBlocks<5>
MD2|md2|Md2Transform(
MD4|md4_md5|Md4CompressBlocks(
MD5|md4_md5|Md5CompressBlocks(
PANAMA|panama|PanamaUpdate(
RIPEMD-128|ripemd128_256|Ripemd128Transform(
RIPEMD-160|ripemd160_320|Ripemd160Transform(
RIPEMD-256|ripemd128_256|Ripemd256Transform(
RIPEMD-320|ripemd160_320|Ripemd320Transform(
SHA-0|sha0_sha1|Sha0DigestEx(
SHA-1|sha0_sha1|Sha1CompressBlocks(
SHA-256|sha256|Sha256DigestEx(
SHA-384, SHA-512|sha384_sha512|::Compress(Sha512ContextData
SNEFRU|snefru|SnefruTransform(
TIGER|tiger|TigerTransform(
WHIRLPOOL|whirlpool|WhirlpoolTransform(
EOF
