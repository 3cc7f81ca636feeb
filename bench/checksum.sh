#!/usr/bin/env bash
# Times whole `belcor-cli checksum` processes against `rhash --crc32 --sha256`
# on the same 64 MiB random file (from the page cache), side by side in one
# run, and prints the ratios and each side's peak memory (timings as
# timing.sh takes them).
#
#   bench/checksum.sh [release build folder] [work folder]
#
# The Release tree is configured and built when it has no belcor-cli yet.
set -euo pipefail

source "$(dirname "$0")/timing.sh"
prepare checksum rhash "$@"

head -c $((64 << 20)) /dev/urandom >"$work/random64.bin"
ours="$cli checksum $work/random64.bin"
theirs="rhash --crc32 --sha256 $work/random64.bin"
# Both must agree before either is timed.
read -r _ crc sha <<<"$($theirs)"
printed=$($ours)
grep -qi "CRC-32: $crc" <<<"$printed" || { echo "CRC-32 differs from rhash's" >&2; exit 1; }
grep -q "SHA-256: $sha" <<<"$printed" || { echo "SHA-256 differs from rhash's" >&2; exit 1; }

print_machine

peak_kib() {  # peak resident memory of one run, in KiB (GNU time)
    /usr/bin/time -f %M $1 2>&1 >/dev/null | tail -1
}

# Ratio: rhash's time over ours, for the mean and the best wall time and (with
# hyperfine) the processor time, user plus system.
read -r a au as am <<<"$(seconds_of "$ours")"
read -r b bu bs bm <<<"$(seconds_of "$theirs")"
printf '%-9s %8s %8s %8s %8s %10s\n' "" "wall s" best user sys "peak KiB"
printf '%-9s %8s %8s %8s %8s %10s\n' ours "$a" "$am" "$au" "$as" "$(peak_kib "$ours")"
printf '%-9s %8s %8s %8s %8s %10s\n' rhash "$b" "$bm" "$bu" "$bs" "$(peak_kib "$theirs")"
printf 'rhash / ours: wall %.2fx, best %.2fx, cpu %sx\n' "$(echo "$a $b" | awk '{print $2 / $1}')" \
    "$(echo "$am $bm" | awk '{print $2 / $1}')" \
    "$(cpu_ratio "$au" "$as" "$bu" "$bs")"
