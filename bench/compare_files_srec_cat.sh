#!/usr/bin/env bash
# Times our buffer file readers and writers against srec_cat doing the same
# conversions, side by side in one run, as whole processes (best of three), and
# prints the ratios. Our binary outputs are checked against the original image
# (srec_cat fills holes with 0x00 where ours keep the buffer's 0xFF).
#
#   bench/compare_files_srec_cat.sh [path/to/bench_files] [work folder]
set -euo pipefail

ours=${1:-build/buffers-rel/bin/bench_files}
work=${2:-$(mktemp -d "${TMPDIR:-/tmp}/belcor-compare-XXXXXX")}
runs=3
command -v srec_cat >/dev/null || { echo "srec_cat is not installed" >&2; exit 1; }
[ -x "$ours" ] || { echo "no $ours: build the Release tree first" >&2; exit 1; }
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT

# Random images of 16 and 64 MiB, and 16 MiB of which every other 4 KiB
# stretch is blank (0xFF).
head -c $((16 << 20)) /dev/urandom >"$work/random16.bin"
head -c $((64 << 20)) /dev/urandom >"$work/random64.bin"
python3 - "$work/random16.bin" "$work/halfblank16.bin" <<'PY'
import sys
data = bytearray(open(sys.argv[1], 'rb').read())
for at in range(0, len(data), 0x2000):
    data[at:at + 0x1000] = b'\xff' * 0x1000
open(sys.argv[2], 'wb').write(data)
PY

best_time() {  # best wall time in seconds of running "$@" $runs times
    local best=""
    for _ in $(seq $runs); do
        local start end
        start=$(date +%s.%N)
        "$@" >/dev/null
        end=$(date +%s.%N)
        best=$(echo "$start $end ${best:-999999}" | awk '{t = $2 - $1; print (t < $3 ? t : $3)}')
    done
    echo "$best"
}

printf '%-28s %10s %10s %8s  %s\n' conversion "ours s" "srec_cat s" ratio output
row() {  # name, our command…, --, srec_cat command…
    local name=$1; shift
    local left=() right=()
    while [ "$1" != "--" ]; do left+=("$1"); shift; done
    shift
    right=("$@")
    local a b
    a=$(best_time "${left[@]}")
    b=$(best_time "${right[@]}")
    printf '%-28s %10.3f %10.3f %7.1fx' "$name" "$a" "$b" "$(echo "$a $b" | awk '{print $2 / $1}')"
}

for image in random16 random64 halfblank16; do
    in="$work/$image.bin"
    row "$image bin -> hex" "$ours" convert "$in" "$work/ours.hex" -- \
        srec_cat "$in" -binary -o "$work/theirs.hex" -intel
    echo
    row "$image hex -> bin" "$ours" convert "$work/ours.hex" "$work/ours-back.bin" -- \
        srec_cat "$work/ours.hex" -intel -o "$work/theirs-back.bin" -binary
    cmp -s "$work/ours-back.bin" "$in" && echo "  round trip ok" || echo "  ROUND TRIP DIFFERS"
    row "$image bin -> srec" "$ours" convert "$in" "$work/ours.src" -- \
        srec_cat "$in" -binary -o "$work/theirs.src" -motorola
    echo
    row "$image srec -> bin" "$ours" convert "$work/ours.src" "$work/ours-back.bin" -- \
        srec_cat "$work/ours.src" -motorola -o "$work/theirs-back.bin" -binary
    cmp -s "$work/ours-back.bin" "$in" && echo "  round trip ok" || echo "  ROUND TRIP DIFFERS"
done
echo "($(nproc) cores, $(uname -m); ratio = srec_cat time / our time)"
