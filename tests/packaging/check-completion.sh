#!/usr/bin/env bash
# Completes belcor-cli command lines with the installed completion function,
# as bash does on Tab, against the built program.
# usage: check-completion.sh COMPLETION_FILE BELCOR_CLI
set -uo pipefail
# shellcheck source=/dev/null
source "$1"
cli=$2
chip=$("$cli" list | head -n 1 | cut -d, -f3)
[ -n "$chip" ] || { echo "belcor-cli list printed no chip"; exit 1; }

failures=0
# expect WORD WORDS...: completing the last of WORDS offers WORD.
expect() {
  local wanted=$1
  shift
  COMP_WORDS=("$cli" "$@")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  _belcor_cli
  printf '%s\n' "${COMPREPLY[@]}" | grep -qx -- "$wanted" \
    || { echo "FAIL: '$*' offers '${COMPREPLY[*]}', not $wanted"; failures=$((failures + 1)); }
}
expect verify ve
expect read --chip "$chip" r
expect --no-erase --no-e
expect --json --js
expect "$chip" --chip "${chip:0:3}"
expect "$chip" --chip = "${chip:0:3}"
expect "$chip" job create x.belcorjob --image x.bin --chip "${chip:0:3}"
expect create job cr
expect export --log-db x.sqlite log ex
[ "$failures" -eq 0 ] || { echo "$failures failures"; exit 1; }
echo "completion checked"
