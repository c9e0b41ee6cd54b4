#!/usr/bin/env bash
# Runs each libFuzzer target of fuzz/ in turn, niced, on its seed corpus and dictionary.
#   FUZZ_SECONDS=60    how long each target runs (the default of make fuzz)
#   FUZZ_RUNS=10000000 run each target for this many inputs instead, however long that takes
#   FUZZ_TARGETS="fuzz_xmlstore fuzz_recttext"   only these targets
#   FUZZ_FORKS=2       one run in this many worker processes (libFuzzer's -fork), which share the corpus and
#                      count their inputs together; any crash, leak or broken property ends the run
# New inputs that reach new code go to <build>/fuzz-corpus/<target>, never into the committed seeds; an
# input that crashes, leaks or breaks a property is kept as <build>/fuzz-artifacts/<target>-crash-<hash>
# and the script fails. Replay one with: <build>/fuzz/<target> <file>
# Usage: scripts/run-fuzzers.sh <build folder>
set -euo pipefail

build=${1:?usage: run-fuzzers.sh <build folder>}
here=$(cd "$(dirname "$0")/.." && pwd)
seconds=${FUZZ_SECONDS:-60}
targets=${FUZZ_TARGETS:-fuzz_xmlstore fuzz_settingsjson fuzz_recttext fuzz_frameset fuzz_menuline}

# reports that belong to Qt and the other libraries are suppressed there, each with its reason
export LSAN_OPTIONS="suppressions=$here/cmake/lsan.supp:print_suppressions=0${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
# reports name our functions and lines
if [[ -x /usr/lib/llvm-14/bin/llvm-symbolizer ]]; then
    export ASAN_SYMBOLIZER_PATH=${ASAN_SYMBOLIZER_PATH:-/usr/lib/llvm-14/bin/llvm-symbolizer}
fi
# No allocation stacks are kept. Qt is built without frame pointers, so the fast unwinder reads junk past
# our own frames and almost every allocation brings the sanitizer a stack it has not seen: its store of
# them grew by a megabyte every thousand inputs and slowed every allocation, the frame-set fuzzer from 5,000
# inputs a second to under 400 (with whole stacks the settings fuzzer fell twentyfold). A kept crash
# replays with whole stacks.
export ASAN_OPTIONS="malloc_context_size=0${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:suppressions=$here/cmake/ubsan.supp${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"

mkdir -p "$build/fuzz-artifacts"
failed=()
for target in $targets; do
    corpus="$build/fuzz-corpus/$target"
    mkdir -p "$corpus"
    # the time limit of one input is wall time: niced behind a busy machine's builds, an input of half a second
    # has been seen to take over ten, so only a minute counts as hanging
    args=(-artifact_prefix="$build/fuzz-artifacts/$target-" -timeout=60 -print_final_stats=1)
    if [[ -n "${FUZZ_RUNS:-}" ]]; then
        args+=(-runs="$FUZZ_RUNS")
    else
        args+=(-max_total_time="$seconds")
    fi
    # A frame set holds four items of about sixteen bytes: 160 bytes leave room for a few more, and for the
    # ratios the fuzzer draws from the input's end. Inputs of kilobytes only slow every run down (from
    # thousands a second to hundreds) without reaching anything a short one cannot.
    [[ $target == fuzz_frameset ]] && args+=(-max_len=160)
    [[ -n "${FUZZ_FORKS:-}" ]] && args+=(-fork="$FUZZ_FORKS")
    dict="$here/fuzz/dict/$target.dict"
    [[ -f "$dict" ]] && args+=(-dict="$dict")
    echo "== $target"
    start=$(date +%s)
    if nice -n 19 "$build/fuzz/$target" "${args[@]}" "$corpus" "$here/fuzz/corpus/$target"; then
        echo "== $target: passed in $(( $(date +%s) - start )) s"
    else
        echo "== $target: FAILED (see $build/fuzz-artifacts)"
        failed+=("$target")
    fi
done
if [[ ${#failed[@]} -gt 0 ]]; then
    echo "run-fuzzers: failed: ${failed[*]}" >&2
    exit 1
fi
