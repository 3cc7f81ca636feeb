#!/usr/bin/env bash
# Builds the release package as the README's Install section does and checks
# it as Debian would: lintian reports no error and no warning (the deliberate
# departures from Debian's layout are overridden, with their reasons, in
# packaging/debian/lintian-overrides), and systemd takes the station's unit and
# rates its exposure at 3.0 or less. Prints the package's path at the end.
# usage: scripts/check-package.sh [BUILD_DIR]     (default: build/release)
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
build=${1:-build/release}

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBELCOR_TESTS=OFF -DBELCOR_BENCH=OFF
cmake --build "$build"
out=$build/package
rm -rf "$out"
cpack --config "$build/CPackConfig.cmake" -B "$out" >"$build/cpack.log" 2>&1 || { cat "$build/cpack.log"; exit 1; }
deb=$(ls "$out"/belcor_*.deb)

failures=0
echo "== lintian $deb (information tags shown, none fails the check)"
lintian --fail-on error,warning --display-info "$deb" || failures=$((failures + 1))

work=$(mktemp -d /tmp/belcor-package.XXXXXX)
trap 'rm -rf "$work"' EXIT
dpkg-deb -x "$deb" "$work/root"
unit=$work/root/usr/lib/systemd/system/belcor-station.service
echo "== systemd-analyze verify belcor-station.service"
# The executable and the manual page lie in the extracted tree, not where the
# unit names them.
problems=$(systemd-analyze verify --man=no "$unit" 2>&1 | grep -v 'is not executable' || true)
[ -z "$problems" ] || { echo "$problems"; failures=$((failures + 1)); }
echo "== systemd-analyze security belcor-station.service"
(cd "$work" && systemd-analyze security --offline=true --no-pager "$unit" | tail -n 1)
(cd "$work" && systemd-analyze security --offline=true --no-pager --threshold=30 "$unit" >/dev/null 2>&1) \
  || { echo "exposed above 3.0"; failures=$((failures + 1)); }

if [ "$failures" -ne 0 ]; then
  echo "$failures checks failed"
  exit 1
fi
echo "package checked: $deb"
