# Shared by the whole-process comparisons (convert.sh, checksum.sh).

# prepare NAME TOOL [release build folder] [work folder]: checks that the peer
# TOOL is installed; sets source_dir, build, work (a fresh temporary folder by
# default; removed at the end) and cli; configures and builds the Release tree
# when it has no belcor-cli yet.
prepare() {
    source_dir=$(cd "$(dirname "$0")/.." && pwd)
    build=${3:-$source_dir/build/cli-rel}
    work=${4:-$(mktemp -d "${TMPDIR:-/tmp}/belcor-$1-XXXXXX")}
    cli=$build/bin/belcor-cli
    command -v "$2" >/dev/null || { echo "$2 is not installed" >&2; exit 1; }
    if [ ! -x "$cli" ]; then
        cmake -S "$source_dir" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBELCOR_TESTS=OFF -DBELCOR_BENCH=OFF >/dev/null
        cmake --build "$build" -j2 --target belcor-cli belcor_chipdb >/dev/null
    fi
    mkdir -p "$work"
    trap 'rm -rf "$work"' EXIT
}

print_machine() {
    echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
    echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
}

# Mean seconds of a command, its user and system seconds and its best seconds:
# with hyperfine a warm-up run, then at least ten runs; otherwise the best of
# five runs measured with `date` (no user and system times then).
seconds_of() {
    if command -v hyperfine >/dev/null; then
        hyperfine -N --warmup 1 --min-runs 10 --style none --export-json "$work/run.json" "$1" >/dev/null 2>&1
        python3 -c 'import json,sys; r=json.load(open(sys.argv[1]))["results"][0]; print("%.4f %.4f %.4f %.4f" % (r["mean"], r["user"], r["system"], r["min"]))' "$work/run.json"
    else
        local best=999999 start end
        for _ in 1 2 3 4 5; do
            start=$(date +%s.%N); $1 >/dev/null; end=$(date +%s.%N)
            best=$(echo "$start $end $best" | awk '{t = $2 - $1; print (t < $3 ? t : $3)}')
        done
        echo "$best - - $best"
    fi
}

# Processor seconds (user plus system) of the second side over the first's,
# or "-" without them.
cpu_ratio() {
    echo "$1 $2 $3 $4" | awk '$1 == "-" { print "-"; next } { printf "%.2f", ($3 + $4) / ($1 + $2) }'
}
