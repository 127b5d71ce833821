#!/usr/bin/env bash
# Checks that every include of the program's own headers runs with the
# phases, never against them: a file in src/<phase>/ may include headers of
# its own phase and of the phases before it, in the order below. Tests and
# fuzzers may include anything. Prints each edge that runs backwards, or an
# include without its folder, and exits 1 when there is one.
set -euo pipefail
cd "$(dirname "$0")/.."

phases=(base input selection conversion output app)
declare -A rank
for i in "${!phases[@]}"; do rank[${phases[$i]}]=$i; done

status=0
while IFS= read -r file; do
  from=${file#src/}
  from=${from%%/*}
  if [ -z "${rank[$from]+x}" ]; then
    echo "$file: not in a phase folder (${phases[*]})"
    status=1
    continue
  fi
  while IFS=: read -r line header; do
    to=${header%%/*}
    if [ "$to" = "$header" ] || [ -z "${rank[$to]+x}" ]; then
      echo "$file:$line: \"$header\" does not name its phase folder"
      status=1
    elif [ "${rank[$to]}" -gt "${rank[$from]}" ]; then
      echo "$file:$line: $from includes \"$header\", a later phase"
      status=1
    fi
  done < <(grep -n '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$file" |
    sed 's/^\([0-9]*\):[^"]*"\([^"]*\)".*/\1:\2/')
done < <(find src -name '*.h' -o -name '*.cc' | sort)

if [ "$status" -eq 0 ]; then
  echo "check_layers: every include runs with the phases (${phases[*]})"
fi
exit "$status"
