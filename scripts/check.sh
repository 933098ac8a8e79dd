#!/usr/bin/env bash
# Builds and runs every test, in an order that shows a plain failure soonest: the
# release suite (the large-file tests included), the same suite under AddressSanitizer and
# UndefinedBehaviorSanitizer, the check of the Debian package, and last a bounded fuzzing run
# of the number reader from the seed corpus in fuzz/corpus.
#   FUZZ_SECONDS  how long the fuzzer runs (default 60)
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

echo "== release build and tests"
cmake --workflow --preset release
echo "== sanitizer build and tests"
cmake --workflow --preset sanitize
echo "== Debian package"
scripts/package-check.sh

echo "== fuzzing the number reader for ${FUZZ_SECONDS:-60} s"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
log=build/fuzz/fuzz.log
if ! build/fuzz/fuzz/parse_number_fuzz -max_total_time="${FUZZ_SECONDS:-60}" -max_len=256 \
        -print_final_stats=1 "$work" fuzz/corpus >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "fuzzing failed; the whole log is $log" >&2
    exit 1
fi
grep -E '^(#[0-9]+[[:space:]]+DONE|Done |stat::number_of_executed_units|stat::average_exec_per_sec)' "$log"
