#!/usr/bin/env bash
# Makes the manual pages as the install does and checks that each renders
# without a warning, has a whatis entry and a synopsis naming its program
# (help2man finds it only in a "Usage: PROGRAM" line of --help).
# usage: check-man-pages.sh OUTPUT_DIR COMMAND... (the command that makes them)
set -euo pipefail
out=$1
shift
for tool in groff lexgrog zcat; do
  command -v "$tool" >/dev/null || { echo "$tool is missing"; exit 77; }
done
rm -rf "$out"
"$@"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
for page in belcor.1 belcor-cli.1 belcor-station.8; do
  file=$out/$page.gz
  [ -f "$file" ] || { fail "$page was not made"; continue; }
  program=${page%.*}
  warnings=$(zcat "$file" | groff -man -Tutf8 -ww -z 2>&1)
  [ -z "$warnings" ] || fail "$page renders with warnings: $warnings"
  lexgrog "$file" | grep -q -- "\"$program - " || fail "$page has no whatis entry: $(lexgrog "$file" 2>&1)"
  zcat "$file" | sed -n '/^\.SH SYNOPSIS/,/^\.SH/p' | grep -qx "\.B $program" \
    || fail "$page has no synopsis of $program"
done
[ "$failures" -eq 0 ] || { echo "$failures failures"; exit 1; }
echo "manual pages checked"
