#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for FUZZ_SECONDS
# (default 60) on a scratch copy of its seeds, two at a time; any finding
# fails the run, its input kept in build-fuzz/findings/.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/prereqs.sh fuzz

seconds="${FUZZ_SECONDS:-60}"
fuzzers=(catalogue_fuzz name_matcher_fuzz target_list_fuzz epoch_fuzz ini_merge_fuzz
         gzip_fuzz comet_fuzz list_csv_fuzz list_text_fuzz list_json_fuzz list_edb_fuzz
         exact_match_fuzz)

CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DORBITPICK_FUZZ=ON -DBUILD_TESTING=OFF
cmake --build build-fuzz -j2 --target "${fuzzers[@]}"

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
findings="$PWD/build-fuzz/findings"
mkdir -p "$findings"

run_one() {
  local name="$1"
  local extra=()
  # An epoch is at most eight bytes; longer inputs would only be skipped.
  if [ "$name" = epoch_fuzz ]; then extra+=(-max_len=8); fi
  mkdir -p "$scratch/$name"
  cp fuzz/corpus/"$name"/* "$scratch/$name/"
  if build-fuzz/"$name" -max_total_time="$seconds" -timeout=25 \
      -rss_limit_mb=2048 -print_final_stats=1 "${extra[@]}" \
      -artifact_prefix="$findings/$name-" "$scratch/$name" \
      >"$scratch/$name.log" 2>&1; then
    echo "$name: $(grep -E '^#[0-9]+' "$scratch/$name.log" | tail -n 1)"
  else
    echo "$name: FAILED" >&2
    tail -n 60 "$scratch/$name.log" >&2
    # The finding itself, so that a run on another machine can be replayed.
    for found in "$findings/$name"-*; do
      [ -f "$found" ] || continue
      echo "$(basename "$found") (base64):" >&2
      base64 -w 76 "$found" | head -n 200 >&2
    done
    return 1
  fi
}

status=0
for ((i = 0; i < ${#fuzzers[@]}; i += 2)); do
  pids=()
  for name in "${fuzzers[@]:i:2}"; do
    run_one "$name" &
    pids+=($!)
  done
  for pid in "${pids[@]}"; do wait "$pid" || status=1; done
done
exit "$status"
