#!/usr/bin/env bash
# planetarium_check.sh [ORBITPICK]
#
# What the real planetarium makes of the files orbitpick writes, headless:
# Debian's Stellarium 0.22 on this machine, and the newest Debian package
# (26.x) in a chroot (scripts/planetarium/newest_chroot.sh makes it once,
# about 2 GB). From the real MPC lines in tests/data/planetarium it writes
# a file by default and one with --exact --extended, each alone and merged
# into that version's own ssystem_minor.ini (--base), loads each into the
# version, and checks:
#   - every name of the list is found;
#   - exactly one Pluto (the planetarium's own: 26.x says whether the file
#     added a second; for 0.22 the file must hold no body named Pluto);
#   - every listed comet is a comet with a coma (26.x gives its coma size;
#     0.22 draws a coma for every body of type comet);
#   - 26.x logs no warning about a section orbitpick wrote with --extended
#     (the default output is for any version, and 26.x warns of its
#     unnumbered objects; those warnings are counted, not failed).
# ORBITPICK is the program to try, build/orbitpick by default.
#
# Runs as root (apt, chroot). Exit: 0 every check passed; 1 a check failed
# or a run broke; 77 skipped: not root, or neither planetarium installed
# and the Debian archive out of reach (CI may then go on without it).
# Environment: LOAD_CHECK_DATE (default 2026-02-13T00:00:00, the comet
# file's epoch), KEEP_DIR=path keeps the files and results there.
set -u
set -o pipefail

HERE=$(cd "$(dirname -- "$0")" && pwd)
ROOT=$(dirname -- "$HERE")
BIN=${1:-$ROOT/build/orbitpick}
DATA=$ROOT/tests/data/planetarium
TOOLS=$HERE/planetarium
NEWEST_ROOT=${NEWEST_ROOT:-/var/tmp/stellarium-newest}
export LOAD_CHECK_DATE=${LOAD_CHECK_DATE:-2026-02-13T00:00:00}
export LOAD_CHECK_REQUIRE_FOUND=1

skip() { echo "planetarium_check: skipped: $*" >&2; exit 77; }
[ -x "$BIN" ] || { echo "planetarium_check: $BIN is not a program (build it first)" >&2; exit 1; }
[ "$(id -u)" = 0 ] || skip "must run as root (apt, chroot)"
if ! dpkg-query -W -f='${Status}' stellarium 2>/dev/null | grep -q 'install ok installed' ||
   [ ! -f "$NEWEST_ROOT/.stellarium-newest.ok" ]; then
  timeout 15 bash -c 'exec 3<>/dev/tcp/deb.debian.org/80' 2>/dev/null ||
    skip "the planetaria are not installed and deb.debian.org is out of reach"
fi

WORK=${KEEP_DIR:-$(mktemp -d /tmp/planetarium_check.XXXXXX)}
mkdir -p "$WORK"
[ -n "${KEEP_DIR:-}" ] || trap 'rm -rf -- "$WORK"' EXIT

# The names of the list, and which of them are comets.
mapfile -t NAMES < <(sed -n '2,$ s/^"\([^"]*\)".*/\1/p' "$DATA/list.csv")
mapfile -t COMETS < <(sed -n '2,$ s/^"\([^"]*\)",".*[Cc]omet.*/\1/p' "$DATA/list.csv")

# The planetaria and their own files.
if ! dpkg-query -W -f='${Status}' stellarium 2>/dev/null | grep -q 'install ok installed'; then
  DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 update -qq &&
  DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y -qq \
    stellarium xvfb libgl1-mesa-dri >/dev/null || { echo "planetarium_check: apt-get failed" >&2; exit 1; }
fi
NEWEST_ROOT=$NEWEST_ROOT "$TOOLS/newest_chroot.sh" >&2 || { echo "planetarium_check: no chroot with the newest planetarium" >&2; exit 1; }
declare -A STOCK=([old]=/usr/share/stellarium/data/ssystem_minor.ini
                  [new]=$NEWEST_ROOT/usr/share/stellarium/data/ssystem_minor.ini)
declare -A LOADER=([old]=$TOOLS/load_check.sh [new]=$TOOLS/load_check_newest.sh)

FAILED=0
fail() { echo "  FAIL: $*"; FAILED=1; }

# check VERSION MODE HOW INI RESULT: the checks of one loaded file.
check() {
  local version=$1 mode=$2 how=$3 ini=$4 result=$5 c sec warns ours=0
  for c in "${COMETS[@]}"; do
    local row shown
    row=$(awk -F'\t' -v q="$c" '$1=="OBJ" && $2==q' "$result")
    shown=$(cut -f4 <<<"$row")
    if [ "$version" = new ] && [ "$(cut -f5 <<<"$row")" != comet ]; then
      # Merged, the planetarium's own section of the same comet (another
      # name: [2I_Borisov]) may be the one looked up; ours is among the
      # bodies the lookup lists.
      local body
      while read -r body; do
        grep -aqF "$(printf 'MINOR\t%s\tcomet' "$body")" "$result" && { shown=$body; row=ok; break; }
      done < <(grep -a "$(printf '^META\tlookup\t%s -> ' "$c")" "$result" | sed 's/.* bodies: //; s/ | /\n/g')
      [ "$row" = ok ] && echo "    ($c: also the planetarium's own body, $(cut -f4,5 <<<"$(awk -F'\t' -v q="$c" '$1=="OBJ" && $2==q' "$result")"))"
      [ "$row" = ok ] || fail "$c is not a comet: $(cut -f3-5 <<<"$row")"
      continue
    fi
    [ "$(cut -f5 <<<"$row")" = comet ] || fail "$c is not a comet: $(cut -f3-5 <<<"$row")"
    if [ "$version" = new ]; then
      grep -aqF "$(printf 'META\tcoma\t%s (comet): coma-diameter-km=' "$shown")" "$result" ||
        fail "$c ($shown) has no coma"
    fi
  done
  if [ "$version" = new ]; then
    grep -aq $'^META\ttwo_plutos' "$result" && fail "two Plutos: $(grep -a $'^META\ttwo_plutos' "$result" | cut -f3)"
    warns=$(grep -a $'^LOG\t\\[WARN\\]' "$result")
    while read -r sec; do
      if grep -qF -e "\"$sec\"" -e " $sec(" -e "section $sec" <<<"$warns"; then
        ours=$((ours + 1))
        [ "$mode" = extended ] && fail "warning about [$sec]: $(grep -F -e "\"$sec\"" -e " $sec(" -e "section $sec" <<<"$warns" | head -n1 | cut -f2)"
      fi
    done < <(sed -n 's/^\[\(.*\)\]\r\{0,1\}$/\1/p' "$WORK/$mode.ini")
  else
    grep -Eq '^name *= *Pluto *$' "$ini" && fail "the file holds a body named Pluto"
  fi
  printf '  %-4s %-9s %-7s loaded %-5s found %s/%s, warnings about our sections %s\n' "$version" "$mode" "$how" \
    "$(sed -n 's/^RESULT.*loaded_bodies=\([0-9?]*\).*/\1/p' "$result")" \
    "$(grep -ac $'^OBJ\t[^\t]*\t\\(yes\\|via\\)\t' "$result")" "$(( ${#NAMES[@]} + 1 ))" \
    "$( [ "$version" = new ] && echo "$ours" || echo -)"
}

for mode in default extended; do
  opts=(); [ "$mode" = extended ] && opts=(--exact --extended)
  "$BIN" "${opts[@]}" --comets "$DATA/CometEls_extract.txt" "$DATA/list.csv" \
    "$DATA/MPCORB_extract.txt" "$WORK/$mode.ini" >/dev/null 2>"$WORK/$mode.stderr" ||
    { echo "planetarium_check: orbitpick failed:"; cat "$WORK/$mode.stderr"; exit 1; }
  echo "orbitpick ${opts[*]:-(default)}: $(grep -c '^\[' "$WORK/$mode.ini") sections; its warnings:"
  sed 's/^/    /' "$WORK/$mode.stderr"
done

for version in old new; do
  for mode in default extended; do
    opts=(); [ "$mode" = extended ] && opts=(--exact --extended)
    "$BIN" "${opts[@]}" --base "${STOCK[$version]}" --comets "$DATA/CometEls_extract.txt" \
      "$DATA/list.csv" "$DATA/MPCORB_extract.txt" "$WORK/$version-$mode-merged.ini" >/dev/null 2>&1 ||
      { echo "planetarium_check: orbitpick --base failed"; exit 1; }
    for how in alone merged; do
      ini=$WORK/$mode.ini; [ "$how" = merged ] && ini=$WORK/$version-$mode-merged.ini
      result=$WORK/$version-$mode-$how.txt
      "${LOADER[$version]}" "$ini" "$result" "${NAMES[@]}" Pluto > "$WORK/$version-$mode-$how.log" 2>&1
      rc=$?
      [ -f "$result" ] || { fail "$version $mode $how: the planetarium did not run (exit $rc)"; continue; }
      v=$(sed -n 's/^META\tstellarium_version\t//p' "$result")
      [ $rc -eq 0 ] || fail "$version ($v) $mode $how: exit $rc, not found: $(awk -F'\t' '$1=="OBJ" && $3=="no" {printf "%s; ", $2}' "$result")"
      echo "Stellarium $v, $mode, $how:"
      check "$version" "$mode" "$how" "$ini" "$result"
    done
  done
done
[ $FAILED -eq 0 ] && echo "planetarium_check: every check passed" || echo "planetarium_check: some checks FAILED"
exit $FAILED
