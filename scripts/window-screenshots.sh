#!/usr/bin/env bash
# Takes the documentation's pictures of the window and of the bench work in
# the three languages (docs/screenshots and docs/screenshots/bench), offscreen
# and against the programmer simulator. They come from a program of their own,
# belcor_screenshots, which is built only here and is no part of the tests.
#   scripts/window-screenshots.sh [BUILD_DIR] [GTEST_FILTER]   (default build/test, all pictures)
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
build=${1:-build/test}
filter=${2:-*}
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBELCOR_BENCH=OFF >/dev/null
fi
cmake --build "$build" -j "$(nproc)" --target belcor_screenshots
cd "$build/bin"
BELCOR_SCREENSHOT_DIR="$OLDPWD/docs/screenshots" QT_QPA_PLATFORM=offscreen \
  ./belcor_screenshots --gtest_filter="$filter"
