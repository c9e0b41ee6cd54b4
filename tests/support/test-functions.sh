#!/usr/bin/env bash
# Runs a test program's functions but the ones named, as the program itself lists them (-functions), so that a
# function added later is never left out of the run.
# Usage: tests/support/test-functions.sh except <function>... -- <command> [arguments...]
# The command is the test program, or a wrapper (xvfb-own.sh, weston-run.sh) followed by it.
set -euo pipefail
[[ ${1:-} == except ]] || { echo "test-functions: usage: $0 except <function>... -- <command>" >&2; exit 2; }
shift
declare -A left_out=()
while [[ $# -gt 0 && $1 != -- ]]; do
    left_out[$1]=1
    shift
done
[[ ${1:-} == -- && $# -gt 1 ]] || { echo "test-functions: no command after --" >&2; exit 2; }
shift
listed=$("$@" -functions) || { echo "test-functions: $* -functions failed" >&2; exit 1; }
run=()
while IFS= read -r line; do
    name=${line%"()"}
    [[ -n $name && -z ${left_out[$name]:-} ]] && run+=("$name")
done <<<"$listed"
for name in "${!left_out[@]}"; do
    grep -qx "$name()" <<<"$listed" || { echo "test-functions: the program has no function $name" >&2; exit 1; }
done
[[ ${#run[@]} -gt 0 ]] || { echo "test-functions: no function left to run" >&2; exit 1; }
exec "$@" "${run[@]}"
