#!/usr/bin/env bash
# Builds the application (release) if needed and starts it, passing the
# arguments on. `./run.sh --demo` starts it against the programmer simulator
# with a chip seated.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
build=build/release
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBELCOR_TESTS=OFF -DBELCOR_BENCH=OFF >/dev/null
cmake --build "$build" -j "$(nproc)"
args=()
for arg in "$@"; do
  if [ "$arg" = "--demo" ]; then
    args+=("--simulator=$PWD/sim/scenarios/demo.scenario")
  else
    args+=("$arg")
  fi
done
exec "$build/bin/belcor" "${args[@]}"
