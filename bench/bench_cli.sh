#!/usr/bin/env bash
# Times whole belcor-cli processes reading a 16 MiB and a 64 MiB serial flash
# from the simulator with its transfers made instant, so the figure is the
# program's own cost per byte: the link, the block loop, the buffer and the
# saved file. Best of five runs; prints seconds and MB/s (10^6 bytes) of the
# whole process, and MB/s of the read alone: less the time of a "detect" run,
# which sets up the same simulator, database and buffers and reads nothing.
# The last column is the read's peak resident memory (GNU time), the blank
# simulated chip taking none.
#
#   bench/bench_cli.sh [release build folder] [work folder]
#
# The Release tree is configured and built when it has no belcor-cli yet.
set -euo pipefail

source_dir=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$source_dir/build/cli-rel}
work=${2:-$(mktemp -d "${TMPDIR:-/tmp}/belcor-bench-cli-XXXXXX")}
runs=5
cli=$build/bin/belcor-cli

if [ ! -x "$cli" ]; then
    cmake -S "$source_dir" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBELCOR_TESTS=OFF -DBELCOR_BENCH=OFF >/dev/null
    cmake --build "$build" -j2 --target belcor-cli belcor_sim belcor_chipdb >/dev/null
fi
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT

best_time() {  # best wall time in seconds of running "$@" $runs times
    local best=""
    for _ in $(seq $runs); do
        local start end
        start=$(date +%s.%N)
        "$@" >/dev/null 2>&1
        end=$(date +%s.%N)
        best=$(echo "$start $end ${best:-999999}" | awk '{t = $2 - $1; print (t < $3 ? t : $3)}')
    done
    echo "$best"
}

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-28s %10s %9s %9s %9s %12s %9s\n' read bytes "process s" "detect s" "MB/s" "MB/s of read" "peak KiB"
row() {  # file name, label, chip title, size, JEDEC id
    local name=$1 label=$2 chip=$3 size=$4 id=$5
    local scenario=$work/$name.scenario
    printf 'chip class=0 id=%s size=%s page=256\ncontents blank\ntransfer_rate 0\n' "$id" "$size" >"$scenario"
    # One checked run first: the figure must be of a read that worked.
    "$cli" --simulator="$scenario" --chip "$chip" read "$work/$name.bin" >/dev/null 2>&1
    [ "$(stat -c %s "$work/$name.bin")" = "$size" ] || { echo "$name: read failed" >&2; exit 1; }
    local seconds fixed peak
    seconds=$(best_time "$cli" --simulator="$scenario" --chip "$chip" read "$work/$name.bin")
    fixed=$(best_time "$cli" --simulator="$scenario" detect)
    peak=$(/usr/bin/time -f %M "$cli" --simulator="$scenario" --chip "$chip" read "$work/$name.bin" 2>&1 >/dev/null | tail -1)
    printf '%-28s %10s %9.3f %9.3f %9.1f %12.1f %9s\n' "$label" "$size" "$seconds" "$fixed" \
        "$(echo "$size $seconds" | awk '{print $1 / $2 / 1e6}')" \
        "$(echo "$size $seconds $fixed" | awk '{print $1 / ($2 - $3) / 1e6}')" "$peak"
}

row chip16 "16 MiB W25Q128JV to .bin" SPI_FLASH,Winbond,W25Q128JV $((16 << 20)) 0xEF4018
row chip64 "64 MiB GD25B512MF to .bin" SPI_FLASH,GigaDevice,GD25B512MF $((64 << 20)) 0xC8401A
