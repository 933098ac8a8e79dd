#!/usr/bin/env bash
# Times the mean tool on a 20-million-line data file of mixed forms against a plain two-pass
# loop (from_chars_loop), the tool's counting pass alone (count_only), wc -l, mawk, gawk and
# datamash, and prints median and minimum wall times, peak resident set sizes and ratios. Then,
# on a file of the same length in each of the other shapes gen_data writes (integers, %.6e
# exponents, %.10f timestamps, %.2f prices, %.15g over 17 decades, shortest round-trip texts,
# %.17e), it times the tool and from_chars_loop, and prints a table of median times and
# ratios by shape and kernel set.
#
# On x86-64 the tool is measured at each kernel set, so that a machine with AVX-512 shows what
# one with AVX2 only, or with the baseline only, gets: the release preset's build (or
# BUILD_DIR's), which chooses the widest set the CPU runs; a build capped at AVX2
# (MEAN_WIDEST_KERNELS=avx2, in build/avx2); and the baseline preset's, capped at SSE2. Each
# column is headed by the set that build chose here (`mean --version`).
#
# The commands run in interleaved rounds: each round runs every command once, so that a change
# in the machine's load falls on all of them alike. Wall time and peak RSS of each run come from
# run_timed (fork, exec, wait4), so they include process start-up, as a user sees it.
#
# Environment:
#   ROUNDS      measured rounds (default 7)
#   WARMUP      unmeasured rounds run first (default 1)
#   BUILD_DIR   a configured build tree to use instead of the release preset's build/release
#               (the baseline build is always the baseline preset's build/baseline)
#   DATA_LINES  lines in each data file (default 20000000)
#   SHAPES      the shapes measured after the mixed file (default "integers exponent
#               timestamps prices g15 shortest e17"; empty for none)
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
all_shapes="integers exponent timestamps prices g15 shortest e17"
read -ra shapes <<<"${SHAPES-$all_shapes}"
for ((i = 0; i < ${#shapes[@]}; i++)); do
    case ${shapes[i]} in
        integers | exponent | timestamps | prices | g15 | shortest | e17) ;;
        *)
            echo "run.sh: SHAPES holds '${shapes[i]}'; the shapes are $all_shapes" \
                "(the mixed file is always measured)" >&2
            exit 2
            ;;
    esac
    for ((j = 0; j < i; j++)); do
        if [[ ${shapes[j]} == "${shapes[i]}" ]]; then
            echo "run.sh: SHAPES names ${shapes[i]} twice" >&2
            exit 2
        fi
    done
done
mkdir -p "$out"

# "SIZE SHA256" of each shape's data file of the default length, as gen_data writes it on every
# machine.
reference_lines=20000000
declare -A reference=(
    [mixed]="261131439 74354de8b8d2d55b5484cf8a5f16d22239c70daf4a3e38a4ddc181baa219c0fd"
    [integers]="197778447 84706f8a0b53ad1ab30ccbf195ce26f27630af2b302752dbed526be6f23b5921"
    [exponent]="269996918 b9c1253006d5d8964da19e24ea049beacb31c3089d1ce3e5c8330c778158f80c"
    [timestamps]="440000000 8020ef34ed0678b8067a37840aca078681201fef0cdcf531f51670bdfc9925ec"
    [prices]="157779117 f844577e8d144359a255eeee5707ffdf3aafc8fdb233cc37b000f756b55d8111"
    [g15]="378889646 bbd61f4fd27a7567059a53a0ce56c91e252fd5c3ca617525616a7f294fb00660"
    [shortest]="227157353 15dc812e1466949896de68cf1e6e1ec2ef8591b0d5f7721743a303279dcc3966"
    [e17]="490002776 b3e5efe8ee90075d190203e4bc22c3d3ce2a09e919ce8a1e3813613ccbbccf80"
)

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
# The capped builds, on x86-64 only: elsewhere every build has its architecture's sets alone.
baseline=$root/build/baseline
avx2=$root/build/avx2
capped=()
if [[ $(uname -m) == x86_64 ]]; then
    capped=(mean_avx2 mean_baseline)
    if ! (cd "$root" && { [[ -f $baseline/build.ninja ]] || cmake --preset baseline; } &&
        cmake --build --preset baseline --target mean &&
        { [[ -f $avx2/build.ninja ]] || cmake -S . -B "$avx2" -G Ninja -DCMAKE_BUILD_TYPE=Release \
            -DMEAN_WIDEST_KERNELS=avx2 -DBUILD_TESTING=OFF; } &&
        cmake --build "$avx2" --target mean) >>"$build_log" 2>&1; then
        cat "$build_log" >&2
        exit 1
    fi
fi
mean_bin=$build/mean
baseline_bin=$baseline/mean
avx2_bin=$avx2/mean
gen_data=$build/bench/gen_data
from_chars_loop=$build/bench/from_chars_loop
count_only=$build/bench/count_only
timer=$build/bench/run_timed

# --- Data ------------------------------------------------------------------------------------
# The data file of shape $1; the mixed file keeps the name it had when it was the only one.
data_file() {
    if [[ $1 == mixed ]]; then
        echo "$out/data-$lines.txt"
    else
        echo "$out/data-$1-$lines.txt"
    fi
}

# Makes the data file of shape $1 unless it is already there as gen_data writes it: of the
# reference size and sha256 at the default length, or else of those in the stamp written with
# it. The stamp FILE.sha256 then holds "SIZE SHA256" of the file.
prepare_data() {
    local shape=$1 file stamp expected='' size sha256
    file=$(data_file "$shape")
    stamp=$file.sha256
    if ((lines == reference_lines)); then
        expected=${reference[$shape]:-}
    elif [[ -f $stamp ]]; then
        expected=$(<"$stamp")
    fi
    if [[ -f $file && -n $expected && $(stat -c %s "$file") == "${expected%% *}" ]]; then
        sha256=$(sha256sum <"$file" | cut -d' ' -f1)
        if [[ $sha256 == "${expected#* }" ]]; then
            echo "data: reusing $file" >&2
            echo "$expected" >"$stamp"
            return
        fi
    fi
    echo "data: generating $lines lines of $shape into $file" >&2
    "$gen_data" "$lines" "$file.tmp" "$shape"
    mv "$file.tmp" "$file"
    size=$(stat -c %s "$file")
    sha256=$(sha256sum <"$file" | cut -d' ' -f1)
    echo "$size $sha256" >"$stamp"
    if [[ -n $expected && "$size $sha256" != "$expected" ]]; then
        echo "run.sh: warning: gen_data wrote $size bytes of $shape, sha256 $sha256;" \
            "expected ${expected% *} bytes, sha256 ${expected#* }" >&2
    fi
}

# "LINES lines, SIZE bytes, sha256 SHA256" of the data file of shape $1.
describe_data() {
    local size sha256
    read -r size sha256 <"$(data_file "$1").sha256"
    echo "$lines lines, $size bytes, sha256 $sha256"
}

for shape in mixed "${shapes[@]}"; do
    prepare_data "$shape"
done
three=$out/three-lines.txt
"$gen_data" 3 "$three"

# --- Commands --------------------------------------------------------------------------------
# shellcheck disable=SC2016 # the program is awk's, for awk to expand
awk_program='{s+=$1} END{printf "%f\n", s/NR}'
names=(mean "${capped[@]}" from_chars_loop count_only wc_l)
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
        mean_avx2) echo "mean (AVX2 build) DATA RESULT" ;;
        mean_baseline) echo "mean (baseline build) DATA RESULT" ;;
        from_chars_loop) echo "from_chars_loop DATA RESULT" ;;
        count_only) echo "count_only DATA" ;;
        wc_l) echo "wc -l DATA" ;;
        mawk | gawk) echo "$1 '$awk_program' DATA" ;;
        datamash) echo "datamash mean 1 < DATA" ;;
        mean_3) echo "mean THREE-LINE-FILE RESULT" ;;
    esac
}

# Runs command $1 once on the data file of shape $shape and prints run_timed's
# "WALL_NS MAXRSS_KIB STATUS". Its standard output goes to $out/SHAPE.NAME.stdout and its
# result file is $out/SHAPE.NAME.result.
run_one() {
    local data stdout=$out/$shape.$1.stdout result=$out/$shape.$1.result
    data=$(data_file "$shape")
    case $1 in
        mean) "$timer" /dev/null "$stdout" "$mean_bin" "$data" "$result" ;;
        mean_avx2) "$timer" /dev/null "$stdout" "$avx2_bin" "$data" "$result" ;;
        mean_baseline) "$timer" /dev/null "$stdout" "$baseline_bin" "$data" "$result" ;;
        from_chars_loop) "$timer" /dev/null "$stdout" "$from_chars_loop" "$data" "$result" ;;
        count_only) "$timer" /dev/null "$stdout" "$count_only" "$data" ;;
        wc_l) "$timer" /dev/null "$stdout" wc -l "$data" ;;
        mawk | gawk) "$timer" /dev/null "$stdout" "$1" "$awk_program" "$data" ;;
        datamash) "$timer" "$data" "$stdout" datamash mean 1 ;;
        mean_3) "$timer" /dev/null "$stdout" "$mean_bin" "$three" "$result" ;;
    esac
}

# Runs the commands named $2... in interleaved rounds on the data file of shape $shape, WARMUP
# unmeasured rounds and then ROUNDS measured ones, and writes "NAME ROUND WALL_NS MAXRSS_KIB"
# of each measured run into the file $1. Exits when a command fails.
run_rounds() {
    local times=$1 round name result wall_ns maxrss_kib status
    shift
    # Warm the page cache: every measured read of the data file is a read from memory.
    cat "$(data_file "$shape")" >/dev/null
    : >"$times"
    for ((round = 1 - warmup; round <= rounds; round++)); do
        if ((round < 1)); then
            echo "$shape: warm-up round $((round + warmup))/$warmup" >&2
        else
            echo "$shape: round $round/$rounds" >&2
        fi
        for name in "$@"; do
            result=$(run_one "$name")
            read -r wall_ns maxrss_kib status <<<"$result"
            if [[ $status != 0 ]]; then
                echo "run.sh: $(label "$name") on the $shape file exited with status $status" >&2
                exit 1
            fi
            ((round < 1)) || echo "$name $round $wall_ns $maxrss_kib" >>"$times"
        done
    done
}

# --- Header ----------------------------------------------------------------------------------
version() {
    if command -v "$1" >/dev/null; then "$@" 2>&1 | head -n 1 || true; else echo "$1 not installed"; fi
}
compiler=$(sed -n 's/^CMAKE_CXX_COMPILER:[A-Z]*=//p' "$build/CMakeCache.txt" 2>/dev/null || true)
release_flags=$(sed -n 's/^CMAKE_CXX_FLAGS_RELEASE:[A-Z]*=//p' "$build/CMakeCache.txt" 2>/dev/null || true)
echo "date:      $(date -u '+%Y-%m-%d %H:%M:%S UTC')"
echo "nproc:     $(nproc)"
echo "cpu:       $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)"
echo "kernel:    $(uname -sr)"
echo "load avg:  $(cut -d' ' -f1-3 /proc/loadavg) (before the runs)"
# The kernel set a build of the tool chose on this CPU, from `mean --version`.
kernels_of() { "$1" --version | sed -n 's/^kernels: //p'; }
echo "compiler:  ${compiler:-?} ($(version "${compiler:-c++}" --version)), release flags '$release_flags'"
echo "builds:    mean from $build (kernels: $(kernels_of "$mean_bin"))"
if ((${#capped[@]} > 0)); then
    echo "           mean (AVX2 build) from $avx2 (kernels: $(kernels_of "$avx2_bin"))"
    echo "           mean (baseline build) from $baseline (kernels: $(kernels_of "$baseline_bin"))"
fi
echo "tools:     $(version wc --version); $(version mawk -W version);" \
    "$(version gawk --version | cut -d, -f1); $(version datamash --version)"
echo "data:      $(data_file mixed) ($(describe_data mixed))"
for shape in "${shapes[@]}"; do
    echo "           $(data_file "$shape") ($(describe_data "$shape"))"
done
echo "rounds:    $rounds measured, interleaved, after $warmup unmeasured"
for tool in "${skipped[@]}"; do
    echo "skipped:   $tool is not installed"
done
echo

# --- Runs on the mixed file ------------------------------------------------------------------
shape=mixed
run_rounds "$out/times-mixed.txt" "${names[@]}"
read -r _ floor_kib _ <<<"$("$timer" /dev/null /dev/null true)"

# --- Report on the mixed file ----------------------------------------------------------------
labels=()
for name in "${names[@]}"; do
    labels+=("$name=$(label "$name")")
done
first_word() { [[ -f $1 ]] && cut -d' ' -f1 "$1" | head -n 1 || echo "-"; }
status=0
FLOOR_KIB=$floor_kib python3 - "$out/times-mixed.txt" "${labels[@]}" <<'EOF' || status=1
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
        print(f"{title:<40} skipped ({a if a not in median else b} did not run)")
        return
    r = median[a] / median[b]
    line = f"{title:<40} {r:>8.2f}"
    if goal is not None:
        line += f"   {goal(r)}"
    print(line)


print("ratios of median wall times:")
ratio("mean / from_chars_loop", "mean", "from_chars_loop")
if "mean_avx2" in median:
    ratio("mean (AVX2 build) / from_chars_loop", "mean_avx2", "from_chars_loop")
    ratio("mean (baseline build) / from_chars_loop", "mean_baseline", "from_chars_loop")
ratio("mawk / mean", "mawk", "mean", lambda r: f"goal >= 10: {verdict(r >= 10)}")
ratio("gawk / mean", "gawk", "mean")
ratio("datamash / mean", "datamash", "mean")
ratio("count_only / wc -l", "count_only", "wc_l", lambda r: f"goal <= 1.5: {verdict(r <= 1.5)}")
print()
print("memory:")
print(f"{'mean peak RSS':<40} {peak['mean']:>8} KiB   goal <= 8192 KiB: "
      f"{verdict(peak['mean'] <= 8192)}")
delta = peak["mean"] - peak["mean_3"]
print(f"{'mean peak RSS, data file - 3-line file':<40} {delta:>8} KiB   goal <= 1024 KiB: "
      f"{verdict(delta <= 1024)}")
EOF
echo

# The result of command $1 on the shape $shape: its result file's line, or "-" without one.
result_of() { [[ -f $out/$shape.$1.result ]] && head -n 1 "$out/$shape.$1.result" || echo "-"; }
# The line count command $1 printed on the shape $shape, or "-".
count_of() { first_word "$out/$shape.$1.stdout"; }

# Prints, indented by $1, whether the two builds of mean and from_chars_loop wrote the same
# result for the shape $shape; sets status to 1 when they did not.
check_agreement() {
    local name verdict=agree
    for name in "${capped[@]}" from_chars_loop; do
        [[ $(result_of "$name") == "$(result_of mean)" ]] || verdict=DISAGREE
    done
    echo "$1every build of mean and from_chars_loop $verdict"
    [[ $verdict == agree ]] || status=1
}

echo "results:"
shape=mixed
echo "  line count: mean $(count_of mean), from_chars_loop $(count_of from_chars_loop)," \
    "count_only $(count_of count_only), wc -l $(count_of wc_l)"
printf '  %-31s %s\n' "mean result:" "$(result_of mean)" \
    "from_chars_loop result:" "$(result_of from_chars_loop)"
for tool in mawk gawk datamash; do
    if [[ " ${names[*]} " == *" $tool "* ]]; then
        printf '  %-31s %s\n' "$tool output:" "$(cat "$out/mixed.$tool.stdout")"
    fi
done
check_agreement "  "
for name in mean "${capped[@]}" from_chars_loop count_only wc_l; do
    if [[ $(count_of "$name") != "$lines" ]]; then
        echo "  a line count is not $lines"
        status=1
        break
    fi
done

# --- Runs on the other shapes ----------------------------------------------------------------
if ((${#shapes[@]} > 0)); then
    shape_names=(mean "${capped[@]}" from_chars_loop)
    for shape in "${shapes[@]}"; do
        run_rounds "$out/times-$shape.txt" "${shape_names[@]}"
    done

    echo
    echo "by shape and kernel set ($lines lines each; median wall times in ms, rounds as above;"
    echo "each set's time / from_chars_loop's):"
    sets="mean=$(kernels_of "$mean_bin")"
    if ((${#capped[@]} > 0)); then
        sets+=" mean_avx2=$(kernels_of "$avx2_bin") mean_baseline=$(kernels_of "$baseline_bin")"
    fi
    python3 - "$out" "$sets" mixed "${shapes[@]}" <<'EOF' || status=1
import statistics
import sys

out, sets, shapes = sys.argv[1], sys.argv[2], sys.argv[3:]
# The builds, widest first, and the kernel set each chose on this CPU.
builds = [pair.split("=", 1) for pair in sets.split()]
# The goal for a set's time / the loop's on every shape, and where a shape has its own.
goals = {"AVX-512": 0.35, "AVX2": 0.40, "baseline": 0.55}
shape_goals = {("AVX-512", "mixed"): 0.30}
# A wider set may be at most this much slower than a narrower one on any shape.
slack = 1.05

head = f"{'shape':<11} {'loop':>8}"
for _, kernels in builds:
    head += f" {kernels:>9}"
for _, kernels in builds:
    head += f" {kernels + '/loop':>13}"
print(head)
misses = []
closest = None  # the largest time of a wider set / a narrower one's: (ratio, wide, narrow, shape)
for shape in shapes:
    walls = {}
    for line in open(f"{out}/times-{shape}.txt"):
        name, _, wall_ns, _ = line.split()
        walls.setdefault(name, []).append(int(wall_ns) / 1e6)
    median = {n: statistics.median(w) for n, w in walls.items()}
    loop = median["from_chars_loop"]
    row = f"{shape:<11} {loop:>8.1f}"
    for name, _ in builds:
        row += f" {median[name]:>9.1f}"
    for name, kernels in builds:
        r = median[name] / loop
        goal = shape_goals.get((kernels, shape), goals.get(kernels))
        miss = goal is not None and r > goal
        if miss:
            misses.append(f"{kernels} on {shape}: {r:.3f} > {goal:.2f}")
        row += f" {r:>12.2f}{'*' if miss else ' '}"
    print(row)
    for i, (wide, wide_set) in enumerate(builds):
        for narrow, narrow_set in builds[i + 1:]:
            ratio = median[wide] / median[narrow]
            if closest is None or ratio > closest[0]:
                closest = (ratio, wide_set, narrow_set, shape)
            if median[wide] > slack * median[narrow]:
                misses.append(f"{wide_set} slower than {narrow_set} on {shape}: "
                              f"{median[wide] / median[narrow]:.2f} times its time")
print("(loop: from_chars_loop; the mixed row is from the runs above. Goals for a set's time /"
      " the loop's: " + ", ".join(f"{k} <= {g:.2f}" for k, g in goals.items())
      + ", AVX-512 on mixed <= 0.30; no wider set more than 5% slower than a narrower one;"
      " * marks a miss)")
if closest is not None:
    print(f"largest time of a wider set / a narrower one's: {closest[0]:.3f}, {closest[1]} / "
          f"{closest[2]} on {closest[3]} (goal <= {slack:.2f})")
print("goals missed: " + "; ".join(misses) if misses else "goals: all met")
EOF
    echo
    echo "results by shape:"
    for shape in "${shapes[@]}"; do
        echo "  $shape:"
        echo "    line count: mean $(count_of mean), from_chars_loop $(count_of from_chars_loop)"
        printf '    %-31s %s\n' "mean result:" "$(result_of mean)" \
            "from_chars_loop result:" "$(result_of from_chars_loop)"
        check_agreement "    "
        for name in "${shape_names[@]}"; do
            if [[ $(count_of "$name") != "$lines" ]]; then
                echo "    a line count is not $lines"
                status=1
                break
            fi
        done
    done
fi
echo
echo "load avg:  $(cut -d' ' -f1-3 /proc/loadavg) (after the runs)"

if [[ ${KERNELS:-0} == 1 ]]; then
    echo
    "$build/bench/kernels_bench" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
fi
exit "$status"
