#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer and runs
# every test through ctest, then the threaded code's tests (operations,
# production runs and gangs, the simulator, the station service's API) under
# ThreadSanitizer (a build of their own in build/tsan), then every fuzz target
# for a few seconds (a clang build of its own in build/fuzz). Installs missing
# Debian packages first.
set -euo pipefail
cd "$(dirname "$0")"
# A warning fails the run: every build below, the fuzz build too, is warning-free.
export BELCOR_WERROR=ON
./scripts/install-deps.sh
build=build/test
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBELCOR_SANITIZE=ON -DBELCOR_BENCH=OFF -DBELCOR_WERROR=ON
cmake --build "$build" -j "$(nproc)"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" "$@"
# Only what the threaded tests need, at -O1 with line tables only: a third
# quicker to build than -O2 -g, and the reports still name file and line.
tsan=build/tsan
cmake -S . -B "$tsan" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBELCOR_TSAN=ON -DBELCOR_BENCH=OFF -DBELCOR_WERROR=ON \
      -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG"
cmake --build "$tsan" -j "$(nproc)" --target test_ops test_production test_sim belcor-station belcor-cli
ctest --test-dir "$tsan" --output-on-failure -j "$(nproc)" -L '^(ops|production|sim)$'
# The station service's API tests end each service and fail on any exit but
# 0, so a race ThreadSanitizer reports (exit 66) fails them too.
ctest --test-dir "$tsan" --output-on-failure -j "$(nproc)" -R '^station\.Api\.'
bench/fuzz.sh "${BELCOR_FUZZ_SECONDS:-3}"
