#!/usr/bin/env bash
# Times whole `belcor-cli convert` processes against srec_cat doing the same
# conversion of a 16 MiB random image, binary to Intel HEX and back, side by
# side in one run, and prints the ratios. Uses hyperfine when it is installed
# (warm-up run, then at least ten runs; mean and user/system times), otherwise
# the best of five runs measured with `date`.
#
#   bench/convert.sh [release build folder] [work folder]
#
# The Release tree is configured and built when it has no belcor-cli yet. The
# outputs are replaced on every run, as a user converting again would replace
# them, so each of our runs includes the atomic save's sync of a replaced file.
set -euo pipefail

source_dir=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$source_dir/build/cli-rel}
work=${2:-$(mktemp -d "${TMPDIR:-/tmp}/belcor-convert-XXXXXX")}
cli=$build/bin/belcor-cli
command -v srec_cat >/dev/null || { echo "srec_cat is not installed" >&2; exit 1; }

if [ ! -x "$cli" ]; then
    cmake -S "$source_dir" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBELCOR_TESTS=OFF -DBELCOR_BENCH=OFF >/dev/null
    cmake --build "$build" -j2 --target belcor-cli belcor_chipdb >/dev/null
fi
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT

head -c $((16 << 20)) /dev/urandom >"$work/random16.bin"
# The HEX input of the reverse direction, written once by each side.
"$cli" convert "$work/random16.bin" "$work/ours.hex" >/dev/null
srec_cat "$work/random16.bin" -binary -o "$work/theirs.hex" -intel -obs=16 >/dev/null

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "file system of $work: $(df -T "$work" | awk 'NR == 2 { print $2 }')"

declare -a names=("bin to hex" "hex to bin")
declare -a ours=("$cli convert $work/random16.bin $work/out.hex"
                 "$cli convert $work/ours.hex $work/out.bin")
declare -a theirs=("srec_cat $work/random16.bin -binary -o $work/out-srec.hex -intel -obs=16"
                   "srec_cat $work/theirs.hex -intel -o $work/out-srec.bin -binary")

seconds_of() {  # mean seconds of a command
    if command -v hyperfine >/dev/null; then
        hyperfine -N --warmup 1 --min-runs 10 --style none --export-json "$work/run.json" "$1" >/dev/null 2>&1
        python3 -c 'import json,sys; r=json.load(open(sys.argv[1]))["results"][0]; print("%.4f %.4f %.4f" % (r["mean"], r["user"], r["system"]))' "$work/run.json"
    else
        local best=999999 start end
        for _ in 1 2 3 4 5; do
            start=$(date +%s.%N); $1 >/dev/null; end=$(date +%s.%N)
            best=$(echo "$start $end $best" | awk '{t = $2 - $1; print (t < $3 ? t : $3)}')
        done
        echo "$best - -"
    fi
}

# Ratio: srec_cat's time over ours, for the wall time and (with hyperfine) the
# processor time, user plus system.
printf '%-11s %9s %8s %8s   %10s %8s %8s   %6s %6s\n' direction "ours s" user sys "srec_cat s" user sys wall cpu
for i in 0 1; do
    read -r a au as <<<"$(seconds_of "${ours[$i]}")"
    read -r b bu bs <<<"$(seconds_of "${theirs[$i]}")"
    printf '%-11s %9s %8s %8s   %10s %8s %8s   %5.1fx %5sx\n' "${names[$i]}" "$a" "$au" "$as" "$b" "$bu" "$bs" \
        "$(echo "$a $b" | awk '{print $2 / $1}')" \
        "$(echo "$au $as $bu $bs" | awk '$1 == "-" { print "-"; next } { printf "%.1f", ($3 + $4) / ($1 + $2) }')"
done
cmp "$work/random16.bin" "$work/out.bin" && echo "round trip: identical"
