#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a given time.
#   bench/fuzz.sh [SECONDS] [TARGET...]      (default: 60 seconds, every target)
# Targets are the names of fuzz/<name>.cpp. Each run starts from the checked-in
# seeds (fuzz/corpus/<name>/) plus what earlier runs found (kept in
# build/fuzz/corpus/<name>/); the log is build/fuzz/logs/<name>.log, and a
# crashing input is saved as build/fuzz/crashes/<name>-crash-<hash>.
# Extra libFuzzer flags may be given in FUZZ_FLAGS (e.g. "-runs=10000000").
# Exits non-zero when any target finds a crash, a leak or a timeout.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
build=${FUZZ_BUILD:-build/fuzz}

if [ $# -gt 0 ]; then
  targets=("$@")
else
  targets=()
  for source in fuzz/*.cpp; do
    targets+=("$(basename "$source" .cpp)")
  done
fi

if [ ! -f "$build/build.ninja" ]; then
  CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DBELCOR_FUZZ=ON -DBELCOR_TESTS=OFF -DBELCOR_BENCH=OFF \
    -DBELCOR_WERROR="${BELCOR_WERROR:-OFF}" >/dev/null
fi
cmake --build "$build" --target "${targets[@]/#/fuzz_}" -- -j "$(nproc)"

mkdir -p "$build/logs" "$build/crashes"
failed=()
for target in "${targets[@]}"; do
  corpus="$build/corpus/$target"
  log="$build/logs/$target.log"
  mkdir -p "$corpus"
  # New inputs go to the build's corpus (the first folder), never into the seeds.
  # shellcheck disable=SC2086
  if "$build/bin/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2560 \
      -print_final_stats=1 -artifact_prefix="$build/crashes/$target-" ${FUZZ_FLAGS:-} \
      "$corpus" "fuzz/corpus/$target" >"$log" 2>&1; then
    status=ok
  else
    status=FAILED
    failed+=("$target")
  fi
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo '?')
  speed=$(grep -o 'stat::average_exec_per_sec: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo '?')
  coverage=$(grep -E '^#[0-9]+' "$log" | tail -1 | grep -o 'cov: [0-9]* ft: [0-9]*' || echo '?')
  printf '%-14s %-6s %12s runs %8s exec/s  %s\n' "$target" "$status" "$runs" "$speed" "$coverage"
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "Fuzzing found faults in: ${failed[*]} (see $build/logs and $build/crashes)" >&2
  exit 1
fi
