#!/usr/bin/env bash
# Times the headline commands in turn, round after round, and prints each
# one's median: on a shared machine a load that comes and goes then falls on
# every command alike, so the ratios within one run hold.
#
#   bench/interleaved.sh [--search] [ROUNDS]      (default 11)
#
#   --search     only the plain catalogue against the tools that only
#                search or read it: `rg -F -f`, `cat > /dev/null`, `wc -l`,
#                orbitpick by default and with --exact, 1 to 10,000 names,
#                with each one's ratios to them
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
search=0
if [[ ${1:-} == --search ]]; then search=1; shift; fi
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
search_one() {  # WHICH N: one of the three commands timed at N names
    case $1 in
        0)  # To a file: ripgrep stops at the first match when its output
            # is /dev/null.
            run "rg -F -f, $2 names" sh -c 'rg -F -f "$1" "$2" >"$3.grep"; [ $? -le 1 ]' _ \
                "$data/names_$2.txt" "$cat" "$out" ;;
        1) run "orbitpick, $2 names" "$op" "$data/list_$2.csv" "$cat" "$out" ;;
        2) run "orbitpick --exact, $2 names" "$op" --exact "$data/list_$2.csv" "$cat" "$out" ;;
    esac
}
search_rounds() {
    local n k
    for ((r = 0; r <= rounds; r++)); do  # round 0 warms the page cache
        run "cat > /dev/null" cat "$cat"
        run "wc -l" wc -l "$cat"
        for n in 1 10 100 1000 10000; do
            # Each of the three goes first in turn: a command runs faster or
            # slower by what ran just before it (a few per cent here), and a
            # fixed order would give one of them that every round.
            for ((k = 0; k < 3; k++)); do search_one $(((r + k) % 3)) "$n"; done
        done
    done
}
median_of() {  # LABEL: the median in ms, the warm-up round dropped
    echo ${times[$1]} | tr ' ' '\n' | tail -n +2 | sort -n | sed -n "$(((rounds + 1) / 2))p"
}
if ((search)); then
    command -v rg >/dev/null || { echo "interleaved: no rg (scripts/prereqs.sh bench installs it)" >&2; exit 1; }
    search_rounds
    cat_ms=$(median_of "cat > /dev/null") wc_ms=$(median_of "wc -l")
    echo "| names | \`cat > /dev/null\` s | \`wc -l\` s | \`rg -F -f\` s | orbitpick s | \`--exact\` s | orbitpick / rg | \`--exact\` / rg | orbitpick / cat | \`--exact\` / cat | orbitpick / wc | \`--exact\` / default |"
    echo "|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|"
    for n in 1 10 100 1000 10000; do
        rg_ms=$(median_of "rg -F -f, $n names")
        op_ms=$(median_of "orbitpick, $n names")
        ex_ms=$(median_of "orbitpick --exact, $n names")
        awk -v n="$n" -v c="$cat_ms" -v w="$wc_ms" -v g="$rg_ms" -v o="$op_ms" -v e="$ex_ms" 'BEGIN {
            printf "| %s | %.3f | %.3f | %.3f | %.3f | %.3f | %.2f | %.2f | %.2f | %.2f | %.2f | %.2f |\n",
                n, c / 1000, w / 1000, g / 1000, o / 1000, e / 1000, o / g, e / g, o / c, e / c, o / w, e / o }'
    done
    exit 0
fi
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
