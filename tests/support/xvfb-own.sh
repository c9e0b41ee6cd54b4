#!/usr/bin/env bash
# Runs a command on an X server of its own (Xvfb, 1280x800, 24 bits), gone with the command, so that tests that
# type, click, take the focus or read the screen can run beside each other without reaching each other's
# windows. Xvfb picks a free display itself (-displayfd), so two of these started at once never race for one.
# Usage: tests/support/xvfb-own.sh <command> [arguments...]
set -euo pipefail
command -v Xvfb >/dev/null || { echo "xvfb-own: Xvfb is missing (scripts/install-deps.sh)" >&2; exit 1; }

runtime=$(mktemp -d "${TMPDIR:-/tmp}/tetrapan-xvfb.XXXXXX")
mkfifo "$runtime/display"
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$runtime/display" 2>"$runtime/xvfb.log" &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null || true; wait "$xvfb" 2>/dev/null || true; rm -rf "$runtime"' EXIT
display=""
read -r -t 20 display <"$runtime/display" || true
if [[ -z $display ]]; then
    echo "xvfb-own: Xvfb did not start:" >&2
    cat "$runtime/xvfb.log" >&2
    exit 1
fi
status=0
# the sanitizer build's runtime (and Mesa's driver) are preloaded into the test and what it starts, never into
# this shell or the X server, which are not built with it and whose exits LeakSanitizer would fail
if [[ -n ${TETRAPAN_TEST_PRELOAD:-} ]]; then
    DISPLAY=:$display LD_PRELOAD=$TETRAPAN_TEST_PRELOAD "$@" || status=$?
else
    DISPLAY=:$display "$@" || status=$?
fi
exit "$status"
