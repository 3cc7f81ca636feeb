#!/usr/bin/env bash
# Builds the Debian package from a configured and built tree, checks its file
# list, control fields and maintainer scripts, extracts it into a scratch root
# and runs belcor-cli there through its launcher: once as the owner and once
# where the program folder cannot be written.
# usage: check-deb.sh BUILD_DIR VERSION
set -euo pipefail
build=$1
version=$2
for tool in cpack dpkg-deb dpkg; do
  command -v "$tool" >/dev/null || { echo "$tool is missing"; exit 77; }
done

work=$(mktemp -d /tmp/belcor-deb.XXXXXX)
trap 'chmod -R u+w "$work" 2>/dev/null; rm -rf "$work"' EXIT
chmod 755 "$work"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

if ! cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log"
  exit 1
fi
arch=$(dpkg --print-architecture)
deb=$work/out/belcor_${version}_${arch}.deb
[ -f "$deb" ] || { ls -l "$work/out"; echo "no $deb"; exit 1; }

# File list: every path with its mode, and link targets.
dpkg-deb -c "$deb" | awk '{ path = $6; sub(/^\.\//, "/", path); sub(/\/$/, "", path);
  print $1, $2, path, ($7 == "->" ? $8 : "") }' >"$work/contents"
entry() { awk -v p="$1" '$3 == p' "$work/contents"; }
expect_file() {  # path mode
  local line
  line=$(entry "$1")
  if [ -z "$line" ]; then fail "missing $1"; return; fi
  [ "$(cut -d' ' -f1 <<<"$line")" = "$2" ] || fail "$1 has mode $(cut -d' ' -f1 <<<"$line"), not $2"
}
expect_link() {  # path target
  local line
  line=$(entry "$1")
  if [ -z "$line" ]; then fail "missing $1"; return; fi
  [ "$(cut -d' ' -f4 <<<"$line")" = "$2" ] || fail "$1 points to '$(cut -d' ' -f4 <<<"$line")', not $2"
}
expect_file /opt/belcor/belcor -rwxr-xr-x
expect_file /opt/belcor/belcor-cli -rwxr-xr-x
expect_file /opt/belcor/libbelcor_sim.so -rw-r--r--
expect_file /opt/belcor/belcor.Dat -rw-r--r--
expect_file /opt/belcor/belcor-cli.Dat -rw-r--r--
expect_file /opt/belcor/sim/scenarios/demo.scenario -rw-r--r--
expect_link /usr/bin/belcor ../../opt/belcor/belcor
expect_link /usr/bin/belcor-cli ../../opt/belcor/belcor-cli
expect_file /opt/belcor/belcor-station -rwxr-xr-x
expect_file /opt/belcor/belcor-station.Dat -rw-r--r--
expect_link /usr/bin/belcor-station ../../opt/belcor/belcor-station
expect_file /usr/lib/systemd/system/belcor-station.service -rw-r--r--
expect_file /etc/belcor/station.conf -rw-r--r--
expect_file /usr/share/applications/belcor.desktop -rw-r--r--
expect_file /usr/share/metainfo/example.belcor.Belcor.metainfo.xml -rw-r--r--
expect_file /usr/share/icons/hicolor/scalable/apps/belcor.svg -rw-r--r--
for size in 16 22 24 32 48 64 128 256; do
  expect_file /usr/share/icons/hicolor/${size}x${size}/apps/belcor.png -rw-r--r--
done
expect_file /usr/lib/udev/rules.d/70-belcor.rules -rw-r--r--
expect_file /usr/lib/sysusers.d/belcor.conf -rw-r--r--
expect_file /usr/share/bash-completion/completions/belcor-cli -rw-r--r--
expect_file /usr/share/doc/belcor/copyright -rw-r--r--
expect_file /usr/share/doc/belcor/changelog.gz -rw-r--r--
expect_file /usr/share/lintian/overrides/belcor -rw-r--r--
if command -v help2man >/dev/null; then
  expect_file /usr/share/man/man1/belcor.1.gz -rw-r--r--
  expect_file /usr/share/man/man1/belcor-cli.1.gz -rw-r--r--
  expect_file /usr/share/man/man8/belcor-station.8.gz -rw-r--r--
fi
# Nothing from the build tree besides the product: no tests, no build tools.
unexpected=$(awk '$1 !~ /^d/ { print $3 }' "$work/contents" \
  | grep -v -E '^/opt/belcor/(belcor|belcor-cli|belcor-station|belcor\.Dat|belcor-cli\.Dat|belcor-station\.Dat|libbelcor_sim\.so|sim/scenarios/[^/]+)$' \
  | grep -v -E '^(/usr/bin/belcor-station|/usr/lib/systemd/system/belcor-station\.service|/etc/belcor/station\.conf)$' \
  | grep -v -E '^/usr/(lib/sysusers\.d/belcor\.conf|share/bash-completion/completions/belcor-cli|share/lintian/overrides/belcor)$' \
  | grep -v -E '^/usr/share/man/man[18]/belcor(-cli|-station)?\.[18]\.gz$' \
  | grep -v -E '^/usr/(bin/belcor|bin/belcor-cli|share/applications/belcor\.desktop|share/metainfo/[^/]+\.metainfo\.xml|share/icons/hicolor/[^/]+/apps/belcor\.(png|svg)|lib/udev/rules\.d/70-belcor\.rules|share/doc/belcor/.*)$' \
  || true)
[ -z "$unexpected" ] || fail "unexpected files in the package: $unexpected"
owners=$(awk '$2 != "root/root"' "$work/contents")
[ -z "$owners" ] || fail "files not owned by root: $owners"

# Control fields.
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = belcor ] || fail "Package is $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version is $(field Version), not $version"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture is $(field Architecture)"
[ "$(field Maintainer)" = "Belcor developers <dev@belcor.example>" ] || fail "Maintainer is $(field Maintainer)"
depends=$(field Depends)
for package in libqt6core6 libqt6gui6 libqt6widgets6 libqt6svg6 libusb-0.1-4 libhidapi-hidraw0 libudev1 libcpp-httplib0.11 adduser; do
  grep -q -E "(^|, )$package( |,|$)" <<<"$depends" || fail "Depends lacks $package: $depends"
done
# Every name in Depends must be a real Debian package: a typo installs nothing.
if command -v apt-cache >/dev/null && apt-cache show libc6 >/dev/null 2>&1; then
  for package in $(tr ',|' '\n\n' <<<"$depends" | sed 's/(.*//; s/ //g'); do
    apt-cache show "$package" >/dev/null 2>&1 || fail "Depends names $package, which no package source knows"
  done
fi

# Maintainer scripts: executable, and never failing without a udev daemon.
dpkg-deb -e "$deb" "$work/control"
for script in postinst postrm; do
  [ -x "$work/control/$script" ] || { fail "$script is missing or not executable"; continue; }
  sh -n "$work/control/$script" || fail "$script has a syntax error"
done
# An edited chip database must survive an upgrade: dpkg asks about conffiles.
for database in /opt/belcor/belcor.Dat /opt/belcor/belcor-cli.Dat /opt/belcor/belcor-station.Dat /etc/belcor/station.conf; do
  grep -qx "$database" "$work/control/conffiles" 2>/dev/null || fail "$database is not a conffile"
done
if grep -q '@[A-Z_]*@' "$work/control/"*; then
  fail "unconfigured placeholder in the control files"
fi
mkdir -p "$work/fakebin"
printf '#!/bin/sh\necho "udevadm $*" >>"%s/udevadm.log"\nexit 1\n' "$work" >"$work/fakebin/udevadm"
chmod 755 "$work/fakebin/udevadm"
# The station's system user and unit: recorded, not made on the test machine.
for tool in adduser systemctl; do
  printf '#!/bin/sh\necho "%s $*" >>"%s/%s.log"\n' "$tool" "$work" "$tool" >"$work/fakebin/$tool"
  chmod 755 "$work/fakebin/$tool"
done
# Without udevadm: a PATH holding only the plain tools the scripts may use.
# (purge is not run: it would remove files of a real install.)
mkdir -p "$work/noudev"
for tool in sh rm rmdir cat sed grep true false; do
  ln -s "$(command -v "$tool")" "$work/noudev/$tool"
done
for args in "postinst configure" "postrm remove"; do
  read -r script action <<<"$args"
  [ -x "$work/control/$script" ] || continue
  PATH="$work/fakebin:/usr/bin:/bin" "$work/control/$script" "$action" \
    || fail "$script $action fails when udevadm fails"
  PATH="$work/noudev" "$work/control/$script" "$action" || fail "$script $action fails without udevadm"
done
grep -q 'control --reload-rules' "$work/udevadm.log" 2>/dev/null || fail "postinst does not reload the udev rules"
if ! getent passwd belcor >/dev/null; then
  grep -q -- '--system --group --home /var/lib/belcor' "$work/adduser.log" 2>/dev/null \
    || fail "postinst does not make the station's system user"
fi
grep -q 'enable' "$work/systemctl.log" 2>/dev/null && fail "postinst enables the station service"

# Extracted install: the launcher finds the simulator and the database beside
# the real executable.
root=$work/root
dpkg -x "$deb" "$root"
unit=$root/usr/lib/systemd/system/belcor-station.service
grep -q '^ProtectSystem=strict$' "$unit" || fail "the unit lacks ProtectSystem=strict"
grep -q '^SupplementaryGroups=plugdev$' "$unit" || fail "the unit's user is not in the udev rule's group"
grep -q 'GROUP="plugdev"' "$root/usr/lib/udev/rules.d/70-belcor.rules" || fail "the udev rule grants another group"
# The sysusers.d entry makes the unit's user, in the udev rule's group.
if command -v systemd-sysusers >/dev/null; then
  mkdir -p "$work/sysroot/etc"
  systemd-sysusers --root="$work/sysroot" "$root/usr/lib/sysusers.d/belcor.conf" >/dev/null 2>&1 \
    || fail "systemd-sysusers does not take the package's entry"
  grep -q '^belcor:x:[0-9]*:[0-9]*:[^:]*:/var/lib/belcor:' "$work/sysroot/etc/passwd" 2>/dev/null \
    || fail "sysusers.d makes no user belcor at home in /var/lib/belcor"
  grep -q '^plugdev:x:[0-9]*:\(.*,\)\?belcor\(,.*\)\?$' "$work/sysroot/etc/group" 2>/dev/null \
    || fail "sysusers.d does not put belcor in plugdev"
fi
if command -v systemd-analyze >/dev/null; then
  # Only the executable may be missing, and the manual page it names: this
  # machine has not installed the package.
  problems=$(systemd-analyze verify --man=no "$unit" 2>&1 | grep -v 'is not executable' || true)
  [ -z "$problems" ] || fail "systemd does not take the unit: $problems"
  # The exposure systemd rates the unit at, 0 to 10: at most 3.0 (30 in tenths).
  score=$(cd "$work" && systemd-analyze security --offline=true --no-pager "$unit" 2>&1 | tail -n 1)
  (cd "$work" && systemd-analyze security --offline=true --no-pager --threshold=30 "$unit" >/dev/null 2>&1) \
    || fail "the unit is exposed above 3.0: $score"
fi
missing=$(ldd "$root/opt/belcor/belcor" "$root/opt/belcor/belcor-cli" "$root/opt/belcor/belcor-station" 2>&1 \
  | grep 'not found' || true)
[ -z "$missing" ] || fail "unresolved libraries: $missing"
run_cli() {  # [runner...] -- args
  local runner=()
  while [ "$1" != -- ]; do runner+=("$1"); shift; done
  shift
  (cd / && "${runner[@]}" "$root/usr/bin/belcor-cli" "$@" 2>&1)
}
output=$(run_cli -- --simulator status) || fail "belcor-cli --simulator status failed: $output"
grep -qx Connected <<<"$output" || fail "status printed '$output', not Connected"
output=$(run_cli -- --simulator="$root/opt/belcor/sim/scenarios/demo.scenario" list) \
  || fail "belcor-cli list from the package failed: $output"
[ "$(wc -l <<<"$output")" -gt 10 ] || fail "belcor-cli list printed too little: $output"

# A program folder the user cannot write, as in a system-wide install: root
# is not stopped by modes, so run as nobody then.
chmod -R a-w "$root/opt/belcor"
runner=()
if [ "$(id -u)" -eq 0 ]; then
  if ! command -v setpriv >/dev/null; then
    echo "setpriv is missing: read-only run skipped"
  else
    runner=(setpriv --reuid=65534 --regid=65534 --clear-groups)
  fi
fi
if [ "$(id -u)" -ne 0 ] || [ ${#runner[@]} -gt 0 ]; then
  find "$root" -printf '%p %s %T@\n' | sort >"$work/before"
  output=$(run_cli "${runner[@]}" -- --simulator status) || fail "read-only status failed: $output"
  grep -qx Connected <<<"$output" || fail "read-only status printed '$output', not Connected"
  find "$root" -printf '%p %s %T@\n' | sort >"$work/after"
  diff "$work/before" "$work/after" || fail "belcor-cli changed files in the install"
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures failures"
  exit 1
fi
echo "package $(basename "$deb") checked: $(grep -c . "$work/contents") entries"
