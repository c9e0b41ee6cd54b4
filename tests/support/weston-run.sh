#!/usr/bin/env bash
# Runs a command as a client of a Wayland compositor of its own, as xvfb-run does for X: weston's headless
# backend (no screen, no GPU needed) on a socket in a runtime folder of its own, both gone with the command.
# The command gets WAYLAND_DISPLAY and XDG_RUNTIME_DIR, and QT_QPA_PLATFORM=wayland.
# Usage: tests/support/weston-run.sh <command> [arguments...]
set -euo pipefail
command -v weston >/dev/null || { echo "weston-run: weston is missing (scripts/install-deps.sh)" >&2; exit 1; }

# Wayland wants the runtime folder private to its user; mktemp makes it so (0700)
runtime=$(mktemp -d "${TMPDIR:-/tmp}/tetrapan-wayland.XXXXXX")
socket=wayland-tetrapan
export XDG_RUNTIME_DIR=$runtime
weston --backend=headless-backend.so --socket="$socket" --idle-time=0 --width=1280 --height=800 \
    --no-config --log="$runtime/weston.log" &
weston=$!
# weston's own clients (its shell's panel and keyboard) go with it
trap 'kill "$weston" 2>/dev/null || true; wait "$weston" 2>/dev/null || true; rm -rf "$runtime"' EXIT

for _ in $(seq 100); do
    [[ -S $runtime/$socket ]] && break
    kill -0 "$weston" 2>/dev/null || break
    sleep 0.1
done
if [[ ! -S $runtime/$socket ]]; then
    echo "weston-run: weston did not start:" >&2
    cat "$runtime/weston.log" >&2
    exit 1
fi
status=0
# the sanitizer build hands the test alone what it must load first (tests/CMakeLists.txt); weston is not built
# with the sanitizer
if [[ -n ${TETRAPAN_TEST_PRELOAD:-} ]]; then
    WAYLAND_DISPLAY=$socket QT_QPA_PLATFORM=wayland LD_PRELOAD=$TETRAPAN_TEST_PRELOAD "$@" || status=$?
else
    WAYLAND_DISPLAY=$socket QT_QPA_PLATFORM=wayland "$@" || status=$?
fi
exit "$status"
