#!/usr/bin/env bash
# Times builds of the tool side by side, for instance before and after a change:
#   bench/compare.sh NAME=MEAN-BINARY [NAME=MEAN-BINARY ...]
# Each binary runs on each shape's data file (as bench/run.sh writes them in bench/out; run it
# first) in interleaved rounds, so that a change in the machine's load falls on all alike, and
# the table gives the median wall time of each in ms, with each one's ratio to the first's.
#   ROUNDS      measured rounds (default 7), after one unmeasured round
#   DATA_LINES  the length of the data files (default 20000000)
#   SHAPES      the shapes (default "mixed integers exponent timestamps prices g15 shortest e17")
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
out=$here/out
timer=$(dirname "$here")/build/release/bench/run_timed
rounds=${ROUNDS:-7}
lines=${DATA_LINES:-20000000}
read -ra shapes <<<"${SHAPES-mixed integers exponent timestamps prices g15 shortest e17}"
if (($# == 0)); then
    echo "usage: bench/compare.sh NAME=MEAN-BINARY [NAME=MEAN-BINARY ...]" >&2
    exit 2
fi
[[ -x $timer ]] || { echo "compare.sh: no $timer; run bench/run.sh first" >&2; exit 1; }
names=()
binaries=()
for pair in "$@"; do
    names+=("${pair%%=*}")
    binaries+=("${pair#*=}")
done

printf '%-11s' shape
for name in "${names[@]}"; do printf ' %12s' "$name"; done
for name in "${names[@]:1}"; do printf ' %14s' "$name/${names[0]}"; done
echo
for shape in "${shapes[@]}"; do
    data=$out/data-$shape-$lines.txt
    [[ $shape == mixed ]] && data=$out/data-$lines.txt
    [[ -f $data ]] || { echo "compare.sh: no $data; run bench/run.sh first" >&2; exit 1; }
    cat "$data" >/dev/null
    times=$(mktemp)
    for ((round = 0; round <= rounds; round++)); do
        for i in "${!binaries[@]}"; do
            read -r wall_ns _ status < <("$timer" /dev/null /dev/null "${binaries[i]}" "$data" \
                "$out/compare.result")
            [[ $status == 0 ]] || { echo "compare.sh: ${binaries[i]} failed on $shape" >&2; exit 1; }
            ((round == 0)) || echo "$i $wall_ns" >>"$times"
        done
    done
    python3 - "$shape" "${#binaries[@]}" "$times" <<'EOF'
import statistics
import sys

shape, count, path = sys.argv[1], int(sys.argv[2]), sys.argv[3]
walls = {}
for line in open(path):
    i, wall_ns = line.split()
    walls.setdefault(int(i), []).append(int(wall_ns) / 1e6)
median = [statistics.median(walls[i]) for i in range(count)]
print(f"{shape:<11}" + "".join(f" {m:>12.1f}" for m in median)
      + "".join(f" {m / median[0]:>14.2f}" for m in median[1:]))
EOF
    rm -f "$times"
done
