#!/usr/bin/env bash
# Times the headline commands in turn, round after round, and prints each
# one's median: on a shared machine a load that comes and goes then falls on
# every command alike, so the ratios within one run hold.
#
#   bench/interleaved.sh [ROUNDS]      (default 11)
#
#   BENCH_DIR    data made by bench/run.sh (default /tmp/orbitpick-bench)
#   ORBITPICK    the binary to time (default build-bench/orbitpick, made by
#                bench/run.sh)
#
# A command that fails stops the whole run: a failed run is fast, and timing
# it as one would hide the failure in the medians.
#   ORBITPICK_ZLIB  a build without ISA-L (-DORBITPICK_ISAL=OFF), optional
set -euo pipefail
cd "$(dirname "$0")/.."
export LC_ALL=C
rounds=${1:-11}
data=${BENCH_DIR:-/tmp/orbitpick-bench}
op=${ORBITPICK:-${BUILD_DIR:-build-bench}/orbitpick}
[[ -f $data/.complete ]] || { echo "interleaved: run bench/run.sh first" >&2; exit 1; }
cat=$data/MPCORB.DAT gz=$data/MPCORB.DAT.gz out=$(mktemp)
trap 'rm -f "$out" "$out.grep" "$out.err"' EXIT

declare -A times
order=()
run() {  # LABEL CMD...
    local label=$1 t0 t1
    shift
    [[ -v "times[$label]" ]] || order+=("$label")
    t0=${EPOCHREALTIME/[.,]/}
    local status=0
    "$@" >/dev/null 2>"$out.err" || status=$?
    t1=${EPOCHREALTIME/[.,]/}
    if ((status != 0)); then
        echo "interleaved: FAILED ($status): $label: $*" >&2
        tail -n 5 "$out.err" >&2
        exit 1
    fi
    times[$label]+="$(((t1 - t0) / 1000)) "
}
for ((r = 0; r <= rounds; r++)); do  # round 0 warms the page cache
    run "wc -l" wc -l "$cat"
    # To a file: GNU grep stops at the first match when output is /dev/null.
    run "grep -F, 10000 names" sh -c 'grep -F -f "$1" "$2" >"$3.grep"' _ \
        "$data/names_10000.txt" "$cat" "$out"
    for n in 1 100 10000; do run "orbitpick, $n names" "$op" "$data/list_$n.csv" "$cat" "$out"; done
    run "orbitpick --exact, 10000 names" "$op" --exact "$data/list_10000.csv" "$cat" "$out"
    run "orbitpick, 200000 names sharing a prefix" "$op" "$data/shared_prefix.csv" "$cat" "$out"
    run "orbitpick, 10000 names, 10 MB line" "$op" "$data/list_10000.csv" "$data/long_line.DAT" "$out"
    run "orbitpick, 100 KB near miss, 10 MB line" "$op" "$data/near_miss.csv" "$data/long_line.DAT" "$out"
    if command -v igzip >/dev/null; then run "igzip -dc" igzip -dc "$gz"; fi
    run "gzip -dc" gzip -dc "$gz"
    for n in 1 100 10000; do run "orbitpick .gz, $n names" "$op" "$data/list_$n.csv" "$gz" "$out"; done
    run "orbitpick --exact .gz, 100 names" "$op" --exact "$data/list_100.csv" "$gz" "$out"
    run "orbitpick .gz on stdin, 100 names" sh -c '"$1" "$2" - "$3" <"$4"' _ "$op" "$data/list_100.csv" "$out" "$gz"
    if [[ -n ${ORBITPICK_ZLIB:-} ]]; then
        run "orbitpick (zlib) .gz, 100 names" "$ORBITPICK_ZLIB" "$data/list_100.csv" "$gz" "$out"
    fi
done
echo "| command | median s ($rounds rounds) |"
echo "|---|---:|"
for label in "${order[@]}"; do
    # Drop the warm-up round, keep the median.
    median=$(echo ${times[$label]} | tr ' ' '\n' | tail -n +2 | sort -n | sed -n "$(((rounds + 1) / 2))p")
    printf '| %s | %s |\n' "$label" "$(awk -v ms="$median" 'BEGIN { printf "%.3f", ms / 1000 }')"
done
