#!/usr/bin/env bash
# Builds and runs every test, in an order that shows a plain failure soonest: the
# release suite (the large-file tests included), the same suite under AddressSanitizer and
# UndefinedBehaviorSanitizer, the suite again in cross builds for arm64 and for big-endian
# s390x run under user-mode QEMU (without the large-file tests), the checks of the Debian
# packages for this machine and for arm64, and last a bounded fuzzing run of the number
# reader (seed corpus fuzz/corpus) and of the mean pass (fuzz/corpus_pass).
# The release suite runs the tests on emulated baseline and AVX2 CPUs too.
#   FUZZ_SECONDS          how long each fuzzer runs (default 60)
#   CTEST_PARALLEL_LEVEL  how many tests run at once (default: one for each processor; the
#                         large-file tests run alone)
set -euo pipefail
cd "$(dirname "$0")/.."
export CTEST_PARALLEL_LEVEL="${CTEST_PARALLEL_LEVEL:-$(nproc)}"

scripts/install-deps.sh

echo "== release build and tests"
cmake --workflow --preset release
echo "== sanitizer build and tests"
cmake --workflow --preset sanitize
echo "== arm64 cross build and tests, under qemu-aarch64"
cmake --workflow --preset aarch64
echo "== s390x cross build and tests, under qemu-s390x"
cmake --workflow --preset s390x
echo "== Debian packages"
scripts/package-check.sh

echo "== fuzzing the number reader and the mean pass for ${FUZZ_SECONDS:-60} s each"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# target, seed corpus, longest input
for run in "parse_number_fuzz fuzz/corpus 256" "average_values_fuzz fuzz/corpus_pass 4096"; do
    read -r target corpus max_len <<<"$run"
    log=build/fuzz/$target.log
    mkdir -p "$work/$target"
    if ! "build/fuzz/fuzz/$target" -max_total_time="${FUZZ_SECONDS:-60}" -max_len="$max_len" \
            -print_final_stats=1 "$work/$target" "$corpus" >"$log" 2>&1; then
        tail -n 60 "$log"
        echo "fuzzing $target failed; the whole log is $log" >&2
        exit 1
    fi
    echo "$target:"
    grep -E '^(#[0-9]+[[:space:]]+DONE|Done |stat::number_of_executed_units|stat::average_exec_per_sec)' "$log"
done
