#!/usr/bin/env bash
# Times whole `belcor-cli convert` processes against srec_cat doing the same
# conversion of a 16 MiB random image, binary to Intel HEX and back, side by
# side in one run, and prints the ratios (timings as timing.sh takes them).
#
#   bench/convert.sh [release build folder] [work folder]
#
# The Release tree is configured and built when it has no belcor-cli yet. The
# outputs are replaced on every run, as a user converting again would replace
# them, so each of our runs includes the atomic save's sync of a replaced file.
set -euo pipefail

source "$(dirname "$0")/timing.sh"
prepare convert srec_cat "$@"

head -c $((16 << 20)) /dev/urandom >"$work/random16.bin"
# The HEX input of the reverse direction, written once by each side.
"$cli" convert "$work/random16.bin" "$work/ours.hex" >/dev/null
srec_cat "$work/random16.bin" -binary -o "$work/theirs.hex" -intel -obs=16 >/dev/null

print_machine
echo "file system of $work: $(df -T "$work" | awk 'NR == 2 { print $2 }')"

declare -a names=("bin to hex" "hex to bin")
declare -a ours=("$cli convert $work/random16.bin $work/out.hex"
                 "$cli convert $work/ours.hex $work/out.bin")
declare -a theirs=("srec_cat $work/random16.bin -binary -o $work/out-srec.hex -intel -obs=16"
                   "srec_cat $work/theirs.hex -intel -o $work/out-srec.bin -binary")

# Ratio: srec_cat's time over ours, for the mean and the best wall time and
# (with hyperfine) the processor time, user plus system.
printf '%-11s %9s %8s %8s %8s   %10s %8s %8s %8s   %6s %6s %6s\n' direction "ours s" best user sys \
    "srec_cat s" best user sys wall best cpu
for i in 0 1; do
    read -r a au as am <<<"$(seconds_of "${ours[$i]}")"
    read -r b bu bs bm <<<"$(seconds_of "${theirs[$i]}")"
    printf '%-11s %9s %8s %8s %8s   %10s %8s %8s %8s   %5.1fx %5.1fx %6sx\n' "${names[$i]}" "$a" "$am" "$au" "$as" \
        "$b" "$bm" "$bu" "$bs" "$(echo "$a $b" | awk '{print $2 / $1}')" "$(echo "$am $bm" | awk '{print $2 / $1}')" \
        "$(cpu_ratio "$au" "$as" "$bu" "$bs")"
done
cmp "$work/random16.bin" "$work/out.bin" && echo "round trip: identical"
