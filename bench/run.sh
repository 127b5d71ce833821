#!/usr/bin/env bash
# Benchmarks orbitpick on a synthetic, catalogue-sized MPCORB.DAT against the
# programs that bound what it has to do: `grep -F -f` and `rg -F -f` (the
# same substring search, no parsing or output formatting), `wc -l` and
# `cat > /dev/null` (just reading the file). scripts/prereqs.sh bench
# installs ripgrep and igzip.
#
#   bench/run.sh [--quick]
#
# The Markdown report goes to stdout, progress to stderr.
#
#   --quick      100,000-line catalogue instead of 1,450,000 (smoke check)
#   BENCH_DIR    data directory (default /tmp/orbitpick-bench, or
#                /tmp/orbitpick-bench-quick with --quick); generated once and
#                reused while the line count and generator source are unchanged
#   BUILD_DIR    CMake build directory of its own (default build-bench; the
#                build you work in is left as it is)
#   ORBITPICK    benchmark this binary instead of building one
#   ORBITPICK_ZLIB  the zlib-only binary for the .gz rows (default: built
#                with -DORBITPICK_ISAL=OFF in BUILD_DIR-zlib)
#   RUNS         timed runs per measurement, after one warm-up (default 5)
#   BASELINE     an older orbitpick binary to time beside this one in the
#                matching table (e.g. one built before the name account)
set -euo pipefail

usage() { sed -n '2,19s/^# \{0,1\}//p' "$0"; }

quick=0
case "${1:-}" in
    "") ;;
    --quick) quick=1 ;;
    -h | --help) usage; exit 0 ;;
    *) usage >&2; exit 2 ;;
esac

cd "$(dirname "$0")/.."
# grep -F is much faster in the C locale; run everything the same way.
export LC_ALL=C

if ((quick)); then
    lines=100000
    data=${BENCH_DIR:-/tmp/orbitpick-bench-quick}
else
    lines=1450000
    data=${BENCH_DIR:-/tmp/orbitpick-bench}
fi
build=${BUILD_DIR:-build-bench}
runs=${RUNS:-5}
[[ $runs =~ ^[1-9][0-9]*$ ]] || { echo "bench: RUNS must be a positive integer" >&2; exit 2; }
# A command whose warm-up takes longer than this is timed once, not $runs
# times, so a slow build can't push the whole run far past ten minutes.
slow_us=30000000

started=$SECONDS
log() { echo "bench: $*" >&2; }
die() { echo "bench: FAILED: $*" >&2; exit 1; }

# ---- build ------------------------------------------------------------------

if [[ -n ${ORBITPICK:-} ]]; then
    orbitpick=$ORBITPICK
    log "using ORBITPICK=$orbitpick (not building)"
else
    log "building orbitpick (Release) in $build"
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >&2
    # Only the program itself: tests and fuzzers play no part in the timings.
    cmake --build "$build" -j2 --target orbitpick >&2
    orbitpick=$build/orbitpick
fi
[[ -x $orbitpick ]] || die "no orbitpick executable at $orbitpick"

# The same program with zlib as its only decompressor, for the .gz rows.
if [[ -n ${ORBITPICK_ZLIB:-} ]]; then
    orbitpick_zlib=$ORBITPICK_ZLIB
else
    log "building the zlib-only orbitpick in $build-zlib"
    cmake -S . -B "$build-zlib" -DCMAKE_BUILD_TYPE=Release -DORBITPICK_ISAL=OFF >&2
    cmake --build "$build-zlib" -j2 --target orbitpick >&2
    orbitpick_zlib=$build-zlib/orbitpick
fi
[[ -x $orbitpick_zlib ]] || die "no orbitpick executable at $orbitpick_zlib"
if ldd "$orbitpick" 2>/dev/null | grep -q libisal; then
    inflater=ISA-L
else
    inflater=zlib
    log "note: $orbitpick has no ISA-L (install libisal-dev and rebuild)"
fi

# The generator is one file and no part of the program: compiled here, again
# whenever its source is newer than the binary.
gen=$build/gen_catalogue
if [[ ! -x $gen || bench/gen_catalogue.cc -nt $gen ]]; then
    mkdir -p "$build"
    log "compiling the catalogue generator into $gen"
    "${CXX:-c++}" -O2 -std=c++17 bench/gen_catalogue.cc -o "$gen" ||
        die "could not compile bench/gen_catalogue.cc"
fi

# ---- data -------------------------------------------------------------------

cat_file=$data/MPCORB.DAT
stamp=$data/.complete
want_stamp="lines=$lines gen=$(sha256sum bench/gen_catalogue.cc | cut -d' ' -f1) gzip=-6"
if [[ -f $stamp && $(<"$stamp") == "$want_stamp" ]]; then
    log "reusing data in $data"
else
    log "generating $lines-line catalogue and lists in $data"
    mkdir -p "$data"
    rm -f "$stamp" "$data"/MPCORB.DAT "$data"/MPCORB.DAT.gz "$data"/header_only.DAT \
        "$data"/list_*.csv "$data"/names_*.txt
    "$gen" "$data" "$lines"
    # gzip's default level, as the published MPCORB.DAT.gz.
    log "compressing catalogue (gzip -6)"
    gzip -6 -k -f "$cat_file"
    echo "$want_stamp" >"$stamp"
fi
# Header and one orbit: timing orbitpick on a 1M-line list then measures
# list reading (and the account of its names) alone.
one_orbit=$data/one_orbit.DAT
[[ -f $one_orbit ]] || head -n 44 "$cat_file" >"$one_orbit"

# Lists that defeat the filter: 200,000 names sharing a prefix found in every
# catalogue line, and one 100 KB name that nearly matches a 10 MB line of its
# first letter, inserted after the header of a copy of the catalogue.
hostile_stamp=$data/.hostile
if [[ -f $hostile_stamp && $(<"$hostile_stamp") == "$want_stamp" ]]; then
    log "reusing hostile inputs in $data"
else
    log "writing hostile lists and the long-line catalogue in $data"
    rm -f "$hostile_stamp"
    awk 'BEGIN { print "\"Name\""; for (i = 0; i < 200000; i++) printf "\"MPCLINUX   0000 %06d\"\n", i }' \
        >"$data/shared_prefix.csv"
    { echo '"Name"'; printf '"'; head -c 102399 /dev/zero | tr '\0' a; printf 'b"\n'; } >"$data/near_miss.csv"
    { head -n 43 "$cat_file"; head -c 10485760 /dev/zero | tr '\0' a; echo; tail -n +44 "$cat_file"; } \
        >"$data/long_line.DAT"
    echo "$want_stamp" >"$hostile_stamp"
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/orbitpick-bench-run.XXXXXX")
trap 'rm -rf "$work"' EXIT
ini=$work/out.ini

# ---- measuring --------------------------------------------------------------

# measure LABEL STDOUT OK_STATUSES CMD...
# One warm-up, then $runs timed runs of CMD as a whole process, stdout to
# STDOUT. Sets $median (microseconds) and $used_runs. Any exit status not in
# OK_STATUSES (space-separated) fails the benchmark.
measure() {
    local label=$1 out=$2 ok=$3
    shift 3
    local i n=$((runs + 1)) rc t0 t1 times=()
    for ((i = 0; i < n; i++)); do
        # A run that exits 0 without writing must not pass on a stale INI.
        rm -f "$ini"
        rc=0
        t0=${EPOCHREALTIME/[.,]/}
        "$@" >"$out" 2>"$work/stderr" || rc=$?
        t1=${EPOCHREALTIME/[.,]/}
        if [[ " $ok " != *" $rc "* ]]; then
            sed 's/^/  | /' "$work/stderr" >&2
            die "$label: exit status $rc from: $*"
        fi
        if ((i == 0)); then
            if ((t1 - t0 > slow_us)); then n=2; fi
        else
            times+=($((t1 - t0)))
        fi
    done
    used_runs=${#times[@]}
    median=$(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(((used_runs + 1) / 2))p")
}

# peak_rss CMD...: runs CMD once under /usr/bin/time -v; sets $rss (MiB or n/a).
peak_rss() {
    rss=n/a
    [[ -x /usr/bin/time ]] || return 0
    local rc=0
    /usr/bin/time -v -o "$work/time.log" "$@" >/dev/null 2>"$work/stderr" || rc=$?
    if ((rc != 0)); then
        sed 's/^/  | /' "$work/stderr" >&2
        die "exit status $rc under /usr/bin/time from: $*"
    fi
    rss=$(awk -F': *' '/Maximum resident set size/ { printf "%.1f", $2 / 1024 }' "$work/time.log")
}

# measure_pair A B: A and B name arrays holding two commands. Runs them
# alternately, one warm-up pair then $runs timed pairs, so that a change in
# the machine's load falls on both alike, which a difference of a few per
# cent needs. Sets $median_a, $median_b (wall clock) and $cpu_a, $cpu_b
# (user + system), all medians in microseconds; $ini then holds B's output.
measure_pair() {
    local -n cmd_a=$1 cmd_b=$2
    local i rc t0 t1 side wall_a=() wall_b=() cpus_a=() cpus_b=() TIMEFORMAT='%3U %3S'
    for ((i = 0; i <= runs; i++)); do
        for side in a b; do
            local -n cmd=cmd_$side
            rm -f "$ini"
            rc=0
            t0=${EPOCHREALTIME/[.,]/}
            { time "${cmd[@]}" >/dev/null 2>"$work/stderr"; } 2>"$work/cpu" || rc=$?
            t1=${EPOCHREALTIME/[.,]/}
            if ((rc != 0)); then
                sed 's/^/  | /' "$work/stderr" >&2
                die "exit status $rc from: ${cmd[*]}"
            fi
            ((i == 0)) && continue
            local cpu
            cpu=$(awk '{ printf "%d", ($1 + $2) * 1e6 }' "$work/cpu")
            if [[ $side == a ]]; then
                wall_a+=($((t1 - t0))) cpus_a+=("$cpu")
            else
                wall_b+=($((t1 - t0))) cpus_b+=("$cpu")
            fi
        done
    done
    local mid=$(((runs + 1) / 2))
    median_a=$(printf '%s\n' "${wall_a[@]}" | sort -n | sed -n "${mid}p")
    median_b=$(printf '%s\n' "${wall_b[@]}" | sort -n | sed -n "${mid}p")
    cpu_a=$(printf '%s\n' "${cpus_a[@]}" | sort -n | sed -n "${mid}p")
    cpu_b=$(printf '%s\n' "${cpus_b[@]}" | sort -n | sed -n "${mid}p")
}

sections() {
    [[ -f $ini ]] || die "orbitpick exited 0 but wrote no $ini"
    grep -c '^\[' "$ini" || true
}

secs() { awk -v us="$1" 'BEGIN { printf "%.3f", us / 1e6 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "n/a" }'; }
# Marks a time that rests on a single run because the warm-up was slow.
mark() { if ((used_runs < runs)); then printf '*'; fi; }

commit() {
    if git rev-parse -q --verify HEAD >/dev/null 2>&1; then
        git rev-parse --short HEAD | tr -d '\n'
        git diff --quiet HEAD -- 2>/dev/null || printf ' (with local changes)'
    else
        printf 'none yet'
    fi
}

failed=0
any_single=0

# ---- report -----------------------------------------------------------------

cat_bytes=$(stat -c %s "$cat_file")
gz_bytes=$(stat -c %s "$cat_file.gz")
echo "# orbitpick benchmark"
echo
echo "- date: $(date -u '+%Y-%m-%d %H:%M UTC')"
echo "- commit: $(commit)"
echo "- machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//'), $(nproc) CPUs"
echo "- orbitpick: $orbitpick"
echo "- catalogue: $lines orbits, $cat_bytes bytes ($gz_bytes gzip -6), in $data"
echo "- each time is the median wall-clock time of $runs runs after one warm-up (page cache warm)"
echo
echo "## Plain catalogue"
echo
echo "| N names | orbitpick s | grep -F s | wc -l s | orbitpick/grep | orbitpick/wc | sections written | grep lines | orbitpick peak RSS MiB |"
echo "|---:|---:|---:|---:|---:|---:|---:|---:|---:|"
for n in 1 10 100 1000 10000; do
    log "N=$n"
    list=$data/list_$n.csv
    measure "orbitpick N=$n" /dev/null 0 "$orbitpick" "$list" "$cat_file" "$ini"
    op_us=$median op_mark=$(mark)
    n_sections=$(sections)
    cp "$ini" "$work/plain_$n.ini"  # compared with the .gz runs
    if ((n == 10000)); then normal_us=$op_us; fi
    peak_rss "$orbitpick" "$list" "$cat_file" "$ini"

    # grep exits 1 when nothing matches; that is a result, not an error.
    measure "grep N=$n" "$work/grep.out" "0 1" grep -F -f "$data/names_$n.txt" "$cat_file"
    grep_us=$median grep_mark=$(mark)
    grep_lines=$(wc -l <"$work/grep.out")

    measure "wc N=$n" /dev/null 0 wc -l "$cat_file"
    wc_us=$median wc_mark=$(mark)

    [[ -n $op_mark$grep_mark$wc_mark ]] && any_single=1
    echo "| $n | $(secs "$op_us")$op_mark | $(secs "$grep_us")$grep_mark | $(secs "$wc_us")$wc_mark |" \
        "$(ratio "$op_us" "$grep_us") | $(ratio "$op_us" "$wc_us") | $n_sections | $grep_lines | $rss |"
done

echo
echo "## Lists that defeat the filter"
echo
log "hostile lists"
measure "orbitpick shared prefix" /dev/null 0 "$orbitpick" "$data/shared_prefix.csv" "$cat_file" "$ini"
prefix_us=$median prefix_mark=$(mark)
prefix_sections=$(sections)
peak_rss "$orbitpick" "$data/shared_prefix.csv" "$cat_file" "$ini"
prefix_rss=$rss
measure "orbitpick 10000 long line" /dev/null 0 "$orbitpick" "$data/list_10000.csv" "$data/long_line.DAT" "$ini"
long_us=$median long_mark=$(mark)
measure "orbitpick near miss" /dev/null 0 "$orbitpick" "$data/near_miss.csv" "$data/long_line.DAT" "$ini"
miss_us=$median miss_mark=$(mark)
miss_sections=$(sections)
peak_rss "$orbitpick" "$data/near_miss.csv" "$data/long_line.DAT" "$ini"
miss_rss=$rss
measure "wc long line" /dev/null 0 wc -l "$data/long_line.DAT"
longwc_us=$median longwc_mark=$(mark)
[[ -n $prefix_mark$long_mark$miss_mark$longwc_mark ]] && any_single=1
echo "| catalogue | list | orbitpick s | / 10,000 names, same catalogue | / wc -l | sections | peak RSS MiB |"
echo "|---|---|---:|---:|---:|---:|---:|"
echo "| MPCORB.DAT | 10,000 names (above) | $(secs "$normal_us") | 1.00 | $(ratio "$normal_us" "$wc_us") | | |"
echo "| MPCORB.DAT | 200,000 names, \`MPCLINUX   0000 000000\` to \`199999\` | $(secs "$prefix_us")$prefix_mark |" \
    "$(ratio "$prefix_us" "$normal_us") | $(ratio "$prefix_us" "$wc_us") | $prefix_sections | $prefix_rss |"
echo "| long_line.DAT (a 10 MB line of \`a\` after the header) | 10,000 names | $(secs "$long_us")$long_mark | 1.00 |" \
    "$(ratio "$long_us" "$longwc_us") | | |"
echo "| long_line.DAT | one 100 KB name, \`a\` × 102,399 then \`b\` | $(secs "$miss_us")$miss_mark |" \
    "$(ratio "$miss_us" "$long_us") | $(ratio "$miss_us" "$longwc_us") | $miss_sections | $miss_rss |"

echo
echo "## Extended sections (N = 10000, the two run alternately)"
echo
log "extended"
default_cmd=("$orbitpick" "$data/list_10000.csv" "$cat_file" "$ini")
extended_cmd=("$orbitpick" --extended "$data/list_10000.csv" "$cat_file" "$ini")
measure_pair default_cmd extended_cmd
ext_sections=$(sections)
echo "| command | wall s | CPU s | sections written |"
echo "|---|---:|---:|---:|"
echo "| \`orbitpick list_10000.csv MPCORB.DAT out.ini\` | $(secs "$median_a") | $(secs "$cpu_a") | $ext_sections |"
echo "| \`orbitpick --extended list_10000.csv MPCORB.DAT out.ini\` | $(secs "$median_b") | $(secs "$cpu_b") | $ext_sections |"
echo
echo "- orbitpick --extended / default: $(ratio "$median_b" "$median_a") wall, $(ratio "$cpu_b" "$cpu_a") CPU"
echo
echo "## Comet file (N = 1000: 900 asteroid names, 100 comet designations; alternate runs)"
echo
log "comets"
# A synthetic CometEls.txt of the real file's size and layout: 1,000 orbits
# of 168-172 bytes, numbered periodic comets first, then C/ and P/ ones.
comets=$work/CometEls.txt
awk 'BEGIN {
    split("Tempel Swift Wolf Harrington Borrelly Faye Holmes Encke Kopff Finlay", who)
    split("LINEAR NEAT PANSTARRS ATLAS Lemmon Catalina SOHO ZTF", survey)
    for (i = 1; i <= 1000; i++) {
        if (i <= 400) {
            number = sprintf("%04d", i); type = "P"; packed = ""
            des = sprintf("%dP/%s-%s", i, who[i % 10 + 1], who[(i * 7) % 10 + 1])
        } else {
            year = 1990 + i % 36; half = substr("ABCDEFGHJKLMNOPQRSTUVWXY", i % 24 + 1, 1)
            number = ""; type = (i % 3 ? "C" : "P")
            packed = sprintf("K%02d%s%02d0", year % 100, half, i % 100)
            des = sprintf("%s/%d %s%d (%s)", type, year, half, i % 97 + 1, survey[i % 8 + 1])
        }
        printf "%4s%1s%7s  %4d %02d %7.4f %9.6f  %8.6f  %8.4f  %8.4f  %8.4f  %8s  %4.1f %4.1f  %-56s MPEC 2026-A%02d\n",
            number, type, packed, 2000 + i % 40, i % 12 + 1, (i * 37) % 2800 / 100 + 1,
            (i * 7919) % 90000 / 10000 + 0.01, (i * 104729) % 1100000 / 1000000,
            (i * 1301) % 36000 / 100, (i * 2903) % 36000 / 100, (i * 1103) % 18000 / 100, "20260213",
            (i * 3) % 150 / 10 + 5, (i % 4) * 2 + 2, des, i % 100
    }
}' >"$comets"
mixed=$work/list_mixed_1000.csv
{
    head -n 901 "$data/list_1000.csv"
    cut -c103-158 "$comets" | awk 'NR % 10 == 0 { sub(/ *\(.*| *$/, ""); printf "\"%s\",00 00 00,+00 00 00,10.0\n", $0 }'
} >"$mixed"
comet_rows=() comet_added=()
for catalogue in "$cat_file" "$one_orbit"; do
    without_cmd=("$orbitpick" "$mixed" "$catalogue" "$ini")
    with_cmd=("$orbitpick" --comets "$comets" "$mixed" "$catalogue" "$ini")
    rm -f "$ini"
    "${without_cmd[@]}" >/dev/null 2>&1 || die "orbitpick failed on $mixed"
    without_sections=$(sections)
    measure_pair without_cmd with_cmd
    name=$(basename "$catalogue")
    comet_rows+=("| \`orbitpick list_mixed_1000.csv $name out.ini\` | $(secs "$median_a") | $(secs "$cpu_a") | $without_sections |")
    comet_rows+=("| \`orbitpick --comets CometEls.txt list_mixed_1000.csv $name out.ini\` | $(secs "$median_b") | $(secs "$cpu_b") | $(sections) |")
    comet_added+=("$name $(secs $((median_b - median_a))) wall, $(secs $((cpu_b - cpu_a))) CPU;")
done
cat_cmd=(cat "$comets")
measure_pair cat_cmd cat_cmd
echo "| command | wall s | CPU s | sections written |"
echo "|---|---:|---:|---:|"
printf '%s\n' "${comet_rows[@]}"
echo "| \`cat CometEls.txt\` ($(stat -c %s "$comets") bytes, $(wc -l <"$comets") lines) | $(secs "$median_a") | $(secs "$cpu_a") | |"
echo
echo "- time the comet file adds (with - without): ${comet_added[*]}"
echo
echo "## Matching: substrings (default) and whole designations (--exact)"
echo
echo "The default run includes the account of the names on stderr."
if [[ -n ${BASELINE:-} ]]; then
    echo "Baseline: \`$BASELINE\`, the same default run."
fi
echo
echo "| N names | default s | --exact s | exact/default | default sections | exact sections | baseline s | default/baseline |"
echo "|---:|---:|---:|---:|---:|---:|---:|---:|"
for n in 1 100 10000; do
    log "matching N=$n"
    list=$data/list_$n.csv
    measure "orbitpick N=$n" /dev/null 0 "$orbitpick" "$list" "$cat_file" "$ini"
    def_us=$median def_mark=$(mark) def_sections=$(sections)
    measure "orbitpick --exact N=$n" /dev/null 0 "$orbitpick" --exact "$list" "$cat_file" "$ini"
    ex_us=$median ex_mark=$(mark) ex_sections=$(sections)
    base_s="" base_ratio=""
    if [[ -n ${BASELINE:-} ]]; then
        measure "baseline N=$n" /dev/null 0 "$BASELINE" "$list" "$cat_file" "$ini"
        base_s="$(secs "$median")$(mark)" base_ratio=$(ratio "$def_us" "$median")
    fi
    [[ -n $def_mark$ex_mark ]] && any_single=1
    echo "| $n | $(secs "$def_us")$def_mark | $(secs "$ex_us")$ex_mark | $(ratio "$ex_us" "$def_us") |" \
        "$def_sections | $ex_sections | $base_s | $base_ratio |"
done

echo
echo "## gzip-compressed catalogue"
echo
log "gzip"
# stdin_from FILE CMD...: CMD with its standard input from FILE.
stdin_from() { "${@:2}" <"$1"; }
measure "gzip -dc" /dev/null 0 gzip -dc "$cat_file.gz"
gz_us=$median gz_mark=$(mark)
if command -v igzip >/dev/null; then
    measure "igzip -dc" /dev/null 0 igzip -dc "$cat_file.gz"
    igz_us=$median igz_mark=$(mark)
else
    log "note: no igzip (Debian package isal): no igzip row or ratios"
    igz_us=0 igz_mark=""
fi
[[ -n $gz_mark$igz_mark ]] && any_single=1
echo "| command | N names | s | / igzip -dc | / gzip -dc | peak RSS MiB | INI same as plain |"
echo "|---|---:|---:|---:|---:|---:|---|"
echo "| \`gzip -dc MPCORB.DAT.gz > /dev/null\` | | $(secs "$gz_us")$gz_mark | $(ratio "$gz_us" "$igz_us") | 1.00 | | |"
if ((igz_us > 0)); then
    echo "| \`igzip -dc MPCORB.DAT.gz > /dev/null\` | | $(secs "$igz_us")$igz_mark | 1.00 | $(ratio "$igz_us" "$gz_us") | | |"
fi
gz_row() {  # LABEL N BINARY CATALOGUE [STDIN]
    local label=$1 n=$2 bin=$3 catalogue=$4 in=${5:-}
    local list=$data/list_$n.csv
    local cmd=("$bin" "$list" "$catalogue" "$ini")
    [[ -n $in ]] && cmd=(stdin_from "$in" "${cmd[@]}")
    measure "$label N=$n" /dev/null 0 "${cmd[@]}"
    local us=$median m
    m=$(mark)
    [[ -n $m ]] && any_single=1
    local same="yes"
    if ! cmp -s "$work/plain_$n.ini" "$ini"; then same="**NO**"; failed=1; fi
    if [[ -n $in ]]; then
        peak_rss "$bin" "$list" "$catalogue" "$ini" <"$in"
    else
        peak_rss "${cmd[@]}"
    fi
    echo "| $label | $n | $(secs "$us")$m | $(ratio "$us" "$igz_us") | $(ratio "$us" "$gz_us") | $rss | $same |"
}
for n in 1 100 10000; do
    log "gzip N=$n"
    gz_row "\`orbitpick list.csv MPCORB.DAT.gz out.ini\` ($inflater)" "$n" "$orbitpick" "$cat_file.gz"
    gz_row "\`orbitpick list.csv - out.ini < MPCORB.DAT.gz\` ($inflater)" "$n" "$orbitpick" - "$cat_file.gz"
    gz_row "\`orbitpick list.csv MPCORB.DAT.gz out.ini\` (zlib)" "$n" "$orbitpick_zlib" "$cat_file.gz"
    gz_row "\`orbitpick list.csv - out.ini < MPCORB.DAT.gz\` (zlib)" "$n" "$orbitpick_zlib" - "$cat_file.gz"
done
if command -v taskset >/dev/null && ((igz_us > 0)); then
    # With one processor to run on, orbitpick reads without the second
    # thread: decompression and scan would only take turns.
    log "gzip on one core"
    measure "igzip -dc, one core" /dev/null 0 taskset -c 0 igzip -dc "$cat_file.gz"
    igz1_us=$median
    measure "orbitpick gzip, one core" /dev/null 0 taskset -c 0 "$orbitpick" \
        "$data/list_100.csv" "$cat_file.gz" "$ini"
    op1_us=$median
    echo
    echo "- one core (\`taskset -c 0\`), N = 100: orbitpick ($inflater) $(secs "$op1_us") s," \
        "igzip -dc $(secs "$igz1_us") s: $(ratio "$op1_us" "$igz1_us") × igzip -dc"
fi

echo
echo "## Reading a 1,000,000-line observing list (catalogue of one orbit)"
echo
log "1M-line list"
big=$data/list_1000000.csv
measure "orbitpick 1M list" /dev/null 0 "$orbitpick" "$big" "$one_orbit" "$ini"
big_us=$median big_mark=$(mark)
big_sections=$(sections)
peak_rss "$orbitpick" "$big" "$one_orbit" "$ini"
measure "wc 1M list" /dev/null 0 wc -l "$big"
bigwc_us=$median bigwc_mark=$(mark)
[[ -n $big_mark$bigwc_mark ]] && any_single=1
echo "| command | s | peak RSS MiB | sections written |"
echo "|---|---:|---:|---:|"
echo "| \`orbitpick list_1000000.csv one_orbit.DAT out.ini\` | $(secs "$big_us")$big_mark | $rss | $big_sections |"
echo "| \`wc -l list_1000000.csv\` | $(secs "$bigwc_us")$bigwc_mark | | |"

echo
echo "## Reading a 100,000-line CSV list (JPL export layout, catalogue of one orbit)"
echo
log "100k-line CSV list"
# As the JPL Small-Body Database writes it: full_name padded in quotes,
# numbers bare; every fifth name has a comma inside its quotes.
jpl=$work/sbdb_100000.csv
awk 'BEGIN {
    print "\"full_name\",\"spkid\",\"orbit_id\",\"a\",\"e\",\"i\""
    for (i = 1; i <= 100000; i++) {
        name = (i % 5 ? sprintf("Name%d", i) : sprintf("Name, %d", i))
        printf "\"%7d %s (%d AB%d)\",%d,\"JPL %d\",%.3f,%.4f,%.2f\n",
            i, name, 1900 + i % 120, i % 1000, 20000000 + i, i % 300,
            1 + i % 7 / 3, i % 97 / 100, i % 180
    }
}' >"$jpl"
measure "orbitpick csv 100k" /dev/null 0 "$orbitpick" --list-format csv "$jpl" "$one_orbit" "$ini"
csv_us=$median csv_mark=$(mark)
measure "orbitpick auto 100k" /dev/null 0 "$orbitpick" --list-format auto "$jpl" "$one_orbit" "$ini"
auto_us=$median auto_mark=$(mark)
measure "wc 100k csv" /dev/null 0 wc -l "$jpl"
csvwc_us=$median csvwc_mark=$(mark)
[[ -n $csv_mark$auto_mark$csvwc_mark ]] && any_single=1
echo "| command | s | / wc -l |"
echo "|---|---:|---:|"
echo "| \`orbitpick --list-format csv sbdb_100000.csv one_orbit.DAT out.ini\` | $(secs "$csv_us")$csv_mark | $(ratio "$csv_us" "$csvwc_us") |"
echo "| \`orbitpick --list-format auto sbdb_100000.csv one_orbit.DAT out.ini\` | $(secs "$auto_us")$auto_mark | $(ratio "$auto_us" "$csvwc_us") |"
echo "| \`wc -l sbdb_100000.csv\` ($(stat -c %s "$jpl") bytes) | $(secs "$csvwc_us")$csvwc_mark | 1.00 |"

echo
echo "## Against the tools that only search or read (commands in turn, round after round)"
echo
if command -v rg >/dev/null; then
    log "against rg, cat and wc"
    BENCH_DIR=$data ORBITPICK=$orbitpick bench/interleaved.sh --search "$runs"
    echo
    echo "Peak memory, 10,000 names on $lines lines and on the header and one orbit:"
    peak_rss "$orbitpick" "$data/list_10000.csv" "$cat_file" "$ini"
    echo "$rss MiB and \\"
    peak_rss "$orbitpick" "$data/list_10000.csv" "$one_orbit" "$ini"
    echo "$rss MiB."
else
    echo "No rg here (scripts/prereqs.sh bench installs ripgrep): left out."
fi
echo
if ((any_single)); then
    echo "\\* single timed run: the warm-up took over $((slow_us / 1000000)) s."
    echo
fi
echo "Total benchmark time: $((SECONDS - started)) s."

if ((failed)); then
    die "orbitpick's INI from the gzip catalogue differs from the plain one"
fi
log "done in $((SECONDS - started)) s"
