#!/usr/bin/env bash
# Times the mean tool on a 20-million-line data file against a plain two-pass loop
# (from_chars_loop), the tool's counting pass alone (count_only), wc -l, mawk, gawk and
# datamash, and prints median and minimum wall times, peak resident set sizes and ratios.
#
# The commands run in interleaved rounds: each round runs every command once, so that a change
# in the machine's load falls on all of them alike. Wall time and peak RSS of each run come from
# run_timed (fork, exec, wait4), so they include process start-up, as a user sees it.
#
# Environment:
#   ROUNDS      measured rounds (default 7)
#   WARMUP      unmeasured rounds run first (default 1)
#   BUILD_DIR   a configured build tree to use instead of the release preset's build/release
#   DATA_LINES  lines in the data file (default 20000000)
#   KERNELS=1   also run kernels_bench at the end (5 repetitions, aggregates only)
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
out=$here/out
rounds=${ROUNDS:-7}
warmup=${WARMUP:-1}
lines=${DATA_LINES:-20000000}
for value in "$rounds" "$warmup" "$lines"; do
    if [[ ! $value =~ ^[0-9]+$ ]]; then
        echo "run.sh: ROUNDS, WARMUP and DATA_LINES must be whole numbers" >&2
        exit 2
    fi
done
if ((rounds < 1)); then
    echo "run.sh: ROUNDS must be at least 1" >&2
    exit 2
fi
mkdir -p "$out"

# The data file of the default size, as gen_data writes it on every machine.
reference_lines=20000000
reference_size=261131439
reference_sha256=74354de8b8d2d55b5484cf8a5f16d22239c70daf4a3e38a4ddc181baa219c0fd

# --- Build -----------------------------------------------------------------------------------
targets=(mean gen_data from_chars_loop count_only run_timed)
[[ ${KERNELS:-0} == 1 ]] && targets+=(kernels_bench)
build_log=$out/build.log
if [[ -n ${BUILD_DIR:-} ]]; then
    build=$(cd "$BUILD_DIR" && pwd)
    if ! cmake --build "$build" --target "${targets[@]}" >"$build_log" 2>&1; then
        cat "$build_log" >&2
        exit 1
    fi
else
    build=$root/build/release
    if ! (cd "$root" && { [[ -f $build/build.ninja ]] || cmake --preset release; } &&
        cmake --build --preset release --target "${targets[@]}") >"$build_log" 2>&1; then
        cat "$build_log" >&2
        exit 1
    fi
fi
mean_bin=$build/mean
gen_data=$build/bench/gen_data
from_chars_loop=$build/bench/from_chars_loop
count_only=$build/bench/count_only
timer=$build/bench/run_timed

# --- Data ------------------------------------------------------------------------------------
data=$out/data-$lines.txt
stamp=$data.sha256 # "SIZE SHA256" of the file as generated
three=$out/three-lines.txt

expected_size='' expected_sha256=''
if ((lines == reference_lines)); then
    expected_size=$reference_size expected_sha256=$reference_sha256
elif [[ -f $stamp ]]; then
    read -r expected_size expected_sha256 <"$stamp"
fi

data_ok() {
    [[ -f $data && -n $expected_size ]] || return 1
    [[ $(stat -c %s "$data") == "$expected_size" ]] || return 1
    [[ $(sha256sum <"$data" | cut -d' ' -f1) == "$expected_sha256" ]]
}

if data_ok; then
    echo "data: reusing $data" >&2
else
    echo "data: generating $lines lines into $data" >&2
    "$gen_data" "$lines" "$data.tmp"
    mv "$data.tmp" "$data"
    size=$(stat -c %s "$data")
    sha256=$(sha256sum <"$data" | cut -d' ' -f1)
    echo "$size $sha256" >"$stamp"
    if [[ -n $expected_size && ($size != "$expected_size" || $sha256 != "$expected_sha256") ]]; then
        echo "run.sh: warning: gen_data wrote $size bytes, sha256 $sha256;" \
            "expected $expected_size bytes, sha256 $expected_sha256" >&2
    fi
fi
"$gen_data" 3 "$three"
data_size=$(stat -c %s "$data")
data_sha256=$(cut -d' ' -f2 "$stamp" 2>/dev/null || true)
((lines == reference_lines)) && data_sha256=$reference_sha256

# Warm the page cache: every measured read of the data file is a read from memory.
cat "$data" >/dev/null

# --- Commands --------------------------------------------------------------------------------
# shellcheck disable=SC2016 # the program is awk's, for awk to expand
awk_program='{s+=$1} END{printf "%f\n", s/NR}'
names=(mean from_chars_loop count_only wc_l)
skipped=()
for tool in mawk gawk datamash; do
    if command -v "$tool" >/dev/null; then
        names+=("$tool")
    else
        skipped+=("$tool")
    fi
done
names+=(mean_3)

label() {
    case $1 in
        mean) echo "mean DATA RESULT" ;;
        from_chars_loop) echo "from_chars_loop DATA RESULT" ;;
        count_only) echo "count_only DATA" ;;
        wc_l) echo "wc -l DATA" ;;
        mawk | gawk) echo "$1 '$awk_program' DATA" ;;
        datamash) echo "datamash mean 1 < DATA" ;;
        mean_3) echo "mean THREE-LINE-FILE RESULT" ;;
    esac
}

# Runs command $1 once and prints run_timed's "WALL_NS MAXRSS_KIB STATUS".
run_one() {
    local stdout=$out/$1.stdout
    case $1 in
        mean) "$timer" /dev/null "$stdout" "$mean_bin" "$data" "$out/mean.result" ;;
        from_chars_loop)
            "$timer" /dev/null "$stdout" "$from_chars_loop" "$data" "$out/from_chars_loop.result"
            ;;
        count_only) "$timer" /dev/null "$stdout" "$count_only" "$data" ;;
        wc_l) "$timer" /dev/null "$stdout" wc -l "$data" ;;
        mawk | gawk) "$timer" /dev/null "$stdout" "$1" "$awk_program" "$data" ;;
        datamash) "$timer" "$data" "$stdout" datamash mean 1 ;;
        mean_3) "$timer" /dev/null "$stdout" "$mean_bin" "$three" "$out/mean_3.result" ;;
    esac
}

# --- Header ----------------------------------------------------------------------------------
version() { "$@" 2>&1 | head -n 1 || true; }
compiler=$(sed -n 's/^CMAKE_CXX_COMPILER:[A-Z]*=//p' "$build/CMakeCache.txt" 2>/dev/null || true)
release_flags=$(sed -n 's/^CMAKE_CXX_FLAGS_RELEASE:[A-Z]*=//p' "$build/CMakeCache.txt" 2>/dev/null || true)
echo "date:      $(date -u '+%Y-%m-%d %H:%M:%S UTC')"
echo "nproc:     $(nproc)"
echo "cpu:       $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)"
echo "kernel:    $(uname -sr)"
echo "load avg:  $(cut -d' ' -f1-3 /proc/loadavg) (before the runs)"
echo "compiler:  ${compiler:-?} ($(version "${compiler:-c++}" --version)), release flags '$release_flags'"
echo "tools:     $(version wc --version); $(version mawk -W version);" \
    "$(version gawk --version | cut -d, -f1); $(version datamash --version)"
echo "data:      $data ($lines lines, $data_size bytes, sha256 $data_sha256)"
echo "rounds:    $rounds measured, interleaved, after $warmup unmeasured"
for tool in "${skipped[@]}"; do
    echo "skipped:   $tool is not installed"
done
echo

# --- Runs ------------------------------------------------------------------------------------
times=$out/times.txt
: >"$times"
for ((round = 1 - warmup; round <= rounds; round++)); do
    if ((round < 1)); then
        echo "warm-up round $((round + warmup))/$warmup" >&2
    else
        echo "round $round/$rounds" >&2
    fi
    for name in "${names[@]}"; do
        result=$(run_one "$name")
        read -r wall_ns maxrss_kib status <<<"$result"
        if [[ $status != 0 ]]; then
            echo "run.sh: $(label "$name") exited with status $status" >&2
            exit 1
        fi
        ((round < 1)) || echo "$name $round $wall_ns $maxrss_kib" >>"$times"
    done
done
read -r _ floor_kib _ <<<"$("$timer" /dev/null /dev/null true)"

# --- Report ----------------------------------------------------------------------------------
labels=()
for name in "${names[@]}"; do
    labels+=("$name=$(label "$name")")
done
first_word() { [[ -f $1 ]] && cut -d' ' -f1 "$1" | head -n 1 || echo "-"; }
status=0
FLOOR_KIB=$floor_kib python3 - "$times" "${labels[@]}" <<'EOF' || status=1
import os
import statistics
import sys

times_path, label_args = sys.argv[1], sys.argv[2:]
labels = dict(arg.split("=", 1) for arg in label_args)
runs = {}
for line in open(times_path):
    name, _, wall_ns, maxrss_kib = line.split()
    runs.setdefault(name, []).append((int(wall_ns) / 1e6, int(maxrss_kib)))

median = {n: statistics.median(w for w, _ in r) for n, r in runs.items()}
fastest = {n: min(w for w, _ in r) for n, r in runs.items()}
peak = {n: max(k for _, k in r) for n, r in runs.items()}

width = max(len(labels[n]) for n in runs)
print(f"{'command':<{width}}  {'median ms':>10}  {'min ms':>10}  {'peak RSS KiB':>12}")
for name in labels:
    if name in runs:
        print(f"{labels[name]:<{width}}  {median[name]:>10.1f}  {fastest[name]:>10.1f}  "
              f"{peak[name]:>12}")
print(f"(peak RSS is the largest ru_maxrss over the rounds; /bin/true measures "
      f"{os.environ['FLOOR_KIB']} KiB this way)")
print()


def verdict(ok, text="goal"):
    return f"{text} met" if ok else f"{text} MISSED"


def ratio(title, a, b, goal=None):
    if a not in median or b not in median:
        print(f"{title:<38} skipped ({a if a not in median else b} did not run)")
        return
    r = median[a] / median[b]
    line = f"{title:<38} {r:>8.2f}"
    if goal is not None:
        line += f"   {goal(r)}"
    print(line)


print("ratios of median wall times:")
ratio("mean / from_chars_loop", "mean", "from_chars_loop",
      lambda r: f"goal <= 1.10: {verdict(r <= 1.10)}; target <= 0.80: {verdict(r <= 0.80, 'target')}")
ratio("mawk / mean", "mawk", "mean", lambda r: f"goal >= 4: {verdict(r >= 4)}")
ratio("gawk / mean", "gawk", "mean")
ratio("datamash / mean", "datamash", "mean")
ratio("count_only / wc -l", "count_only", "wc_l", lambda r: f"goal <= 1.5: {verdict(r <= 1.5)}")
print()
print("memory:")
print(f"{'mean peak RSS':<38} {peak['mean']:>8} KiB   goal <= 8192 KiB: "
      f"{verdict(peak['mean'] <= 8192)}")
delta = peak["mean"] - peak["mean_3"]
print(f"{'mean peak RSS, data file - 3-line file':<38} {delta:>8} KiB   goal <= 1024 KiB: "
      f"{verdict(delta <= 1024)}")
EOF
echo

echo "results:"
counts=("$(first_word "$out/mean.stdout")" "$(first_word "$out/from_chars_loop.stdout")"
    "$(first_word "$out/count_only.stdout")" "$(first_word "$out/wc_l.stdout")")
echo "  line count: mean ${counts[0]}, from_chars_loop ${counts[1]}," \
    "count_only ${counts[2]}, wc -l ${counts[3]}"
mean_result=$(cat "$out/mean.result")
loop_result=$(cat "$out/from_chars_loop.result")
printf '  %-24s %s\n' "mean result:" "$mean_result" "from_chars_loop result:" "$loop_result"
for tool in mawk gawk datamash; do
    if [[ " ${names[*]} " == *" $tool "* ]]; then
        printf '  %-24s %s\n' "$tool output:" "$(cat "$out/$tool.stdout")"
    fi
done
if [[ $mean_result == "$loop_result" ]]; then
    echo "  mean and from_chars_loop agree"
else
    echo "  mean and from_chars_loop DISAGREE"
    status=1
fi
if [[ ${counts[0]} != "$lines" || ${counts[1]} != "$lines" || ${counts[2]} != "$lines" ||
    ${counts[3]} != "$lines" ]]; then
    echo "  a line count is not $lines"
    status=1
fi

echo "load avg:  $(cut -d' ' -f1-3 /proc/loadavg) (after the runs)"

if [[ ${KERNELS:-0} == 1 ]]; then
    echo
    "$build/bench/kernels_bench" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
fi
exit "$status"
