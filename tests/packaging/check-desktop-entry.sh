#!/usr/bin/env bash
# Validates the desktop entry and the AppStream data, and checks that the
# entry starts the installed launcher and names the installed icon.
# usage: check-desktop-entry.sh DESKTOP_FILE METAINFO_FILE
set -euo pipefail
desktop=$1
metainfo=$2
if ! command -v desktop-file-validate >/dev/null; then
  echo "desktop-file-validate is missing (Debian package desktop-file-utils)"
  exit 77
fi
# desktop-file-validate prints hints as well as errors; any output is a finding.
report=$(desktop-file-validate "$desktop" 2>&1) || { echo "$report"; exit 1; }
if [ -n "$report" ]; then
  echo "$report"
  exit 1
fi
value() { sed -n "s/^$1=//p" "$desktop"; }
status=0
[ "$(value Exec)" = belcor ] || { echo "Exec is '$(value Exec)', not the launcher belcor"; status=1; }
[ "$(value Icon)" = belcor ] || { echo "Icon is '$(value Icon)', not belcor"; status=1; }
[ "$(value Categories)" = "Development;Electronics;" ] || { echo "Categories is '$(value Categories)'"; status=1; }
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net --pedantic "$metainfo" || status=1
  grep -q '<launchable type="desktop-id">'"$(basename "$desktop")"'</launchable>' "$metainfo" \
    || { echo "the AppStream data does not launch $(basename "$desktop")"; status=1; }
  if grep -q '@[A-Z_]*@' "$metainfo"; then
    echo "unconfigured placeholder in $metainfo"
    status=1
  fi
else
  echo "appstreamcli is missing: AppStream data not validated"
fi
exit $status
