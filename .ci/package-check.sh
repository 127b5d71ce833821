#!/usr/bin/env bash
# Packs the builds .ci/run already made, build/ as the Debian package and
# build-win/ as the Windows zip, and checks them as a user would meet them:
#  - the package names, --version, the report's last line, the manual page,
#    the changelog and the README agree on the version set in CMakeLists.txt;
#  - lintian reports no error and no warning on the .deb;
#  - the bash completion offers every option --help lists;
#  - the .deb installs with apt-get in a fresh minimal Debian (debootstrap),
#    runs the README's example there, and leaves no file behind once purged;
#  - the zip, unpacked, runs the README's example under Wine.
# The fresh Debian needs root and the Debian archive; without either that
# step is skipped with the reason. PACKAGE_CHECK_CACHE=0 builds the chroot
# anew instead of unpacking build/debian-*.tar.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/prereqs.sh package windows

say() { echo "package-check: $*"; }
fail() { echo "package-check: $*" >&2; exit 1; }
tmp=$(mktemp -d /tmp/orbitpick-package.XXXXXX)
root=""
cleanup() {
  if [ -n "$root" ]; then
    umount "$root/proc" 2>/dev/null || true
    rm -rf "$root"
  fi
  if declare -F wine_stop >/dev/null; then wine_stop; fi
  rm -rf "$tmp"
}
trap cleanup EXIT

# --- The packages ----------------------------------------------------------
[ -f build/CMakeCache.txt ] || cmake -S . -B build >/dev/null
cmake --build build -j2 --target orbitpick orbitpick_docs >/dev/null
if [ ! -f build-win/CMakeCache.txt ]; then
  cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DBUILD_TESTING=OFF --no-warn-unused-cli >/dev/null
fi
cmake --build build-win -j2 >/dev/null
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/CMakeCache.txt)
[ -n "$version" ] || fail "no project version in build/CMakeCache.txt"
deb="build/orbitpick_${version}_amd64.deb"
zip="build-win/orbitpick-${version}-windows-x86_64.zip"
rm -f build/orbitpick_*.deb build-win/orbitpick-*.zip
(cd build && cpack -G DEB >"$tmp/cpack-deb.log" 2>&1) || { cat "$tmp/cpack-deb.log"; fail "cpack -G DEB failed"; }
(cd build-win && cpack >"$tmp/cpack-zip.log" 2>&1) || { cat "$tmp/cpack-zip.log"; fail "cpack (zip) failed"; }
[ -f "$deb" ] || fail "cpack made no $deb: $(ls build/*.deb 2>/dev/null)"
[ -f "$zip" ] || fail "cpack made no $zip: $(ls build-win/*.zip 2>/dev/null)"
say "$deb: $(stat -c %s "$deb") bytes; $zip: $(stat -c %s "$zip") bytes"

# --- One version everywhere --------------------------------------------------
[ "$(dpkg-deb -f "$deb" Package)" = orbitpick ] || fail "the .deb's package is not orbitpick"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "the .deb's version is not $version"
[ "$(build/orbitpick --version)" = "orbitpick $version" ] ||
  fail "--version printed '$(build/orbitpick --version)', expected 'orbitpick $version'"
build/orbitpick examples/observing_list.csv examples/MPCORB.DAT "$tmp/out.ini" \
  >"$tmp/report" 2>/dev/null || fail "the example run failed"
tail -n 1 "$tmp/report" | grep -q "^ orbitpick $version - " ||
  fail "the report's last line does not name $version: $(tail -n 1 "$tmp/report")"
grep -q "^ orbitpick $version - " README.md ||
  fail "README's sample report does not name $version"
dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/man/man1/orbitpick.1.gz |
  zcat | head -n 1 | grep -qF "\"orbitpick $version\"" ||
  fail "the manual page in the .deb does not name $version"
latest=$(sed -n 's/^## \([0-9][0-9.]*\) .*/\1/p' CHANGELOG.md | head -n 1)
[ "$latest" = "$version" ] ||
  fail "CHANGELOG.md's newest section is '$latest', not $version"
say "version $version in the package names, --version, the report, the manual, CHANGELOG.md and README"

# --- lintian -------------------------------------------------------------------
if ! lintian --fail-on error,warning "$deb" >"$tmp/lintian" 2>&1; then
  cat "$tmp/lintian"
  fail "lintian reports errors or warnings"
fi
grep -v 'running with root privileges' "$tmp/lintian" || true
say "lintian: no error, no warning"

# --- bash completion -------------------------------------------------------
# complete WORDS...: what the completion offers for the last word.
complete_words() {
  bash -c 'source packaging/orbitpick.bash
           COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _orbitpick
           printf "%s\n" "${COMPREPLY[@]}"' complete "$@"
}
offered=$(complete_words orbitpick -)
for option in $(build/orbitpick --help | grep -oE -- '(^|[[:space:]])--?[a-z][a-z-]*' |
                 sort -u); do
  grep -qx -- "$option" <<<"$offered" ||
    fail "the bash completion does not offer $option, which --help lists"
done
check_completion() {  # expected (one line per word), then the words
  local expected=$1 got
  shift
  got=$(complete_words "$@")
  [ "$got" = "$expected" ] ||
    fail "completing '$*' offered '$got', expected '$expected'"
}
check_completion $'--exact\n--extended' orbitpick --ex
check_completion json orbitpick --list-format j
check_completion $'quoted\ncsv\ntext\njson\nedb\nauto' orbitpick --list-format = ''
check_completion examples/observing_list.csv orbitpick --exact examples/obs
check_completion examples/MPCORB.DAT orbitpick --comets = examples/MPC  # bash splits at =
check_completion '' orbitpick -- --ex
say "bash completion: every option of --help, formats and file names"

# --- The .deb in a fresh Debian ------------------------------------------------
# The README's command for the installed example, and for the unpacked zip.
readme_command() {
  local line
  line=$(awk -v start="    $1" 'index($0, start) == 1 { print substr($0, 5); exit }' README.md)
  [ -n "$line" ] || fail "README has no example command starting with '$1'"
  echo "$line"
}
fresh_debian() {
  if [ "$(id -u)" -ne 0 ]; then
    say "SKIPPED the install in a fresh Debian: it needs root"
    return
  fi
  local mirror suite cache
  mirror=$(sed -n 's/^URIs: *\([^ ]*\).*/\1/p' /etc/apt/sources.list.d/debian.sources \
             2>/dev/null | head -n 1)
  [ -n "$mirror" ] || mirror=$(awk '$1 == "deb" && $2 !~ /^\[/ {print $2; exit}' \
                                 /etc/apt/sources.list 2>/dev/null)
  mirror=${mirror:-http://deb.debian.org/debian}
  suite=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  if [ -z "$suite" ] || [ ! -f "/usr/share/debootstrap/scripts/$suite" ]; then
    say "SKIPPED the install in a fresh Debian: debootstrap has no script for '$suite'"
    return
  fi
  cache="$PWD/build/debian-$suite-minbase.tar"
  root="$PWD/build/debian-root"
  rm -rf "$root"
  mkdir "$root"
  if [ -f "$cache" ] && [ "${PACKAGE_CHECK_CACHE:-1}" != 0 ]; then
    tar -xf "$cache" -C "$root"
    say "fresh Debian $suite unpacked from $cache"
  else
    if ! timeout 30 wget -q -O /dev/null "$mirror/dists/$suite/Release"; then
      say "SKIPPED the install in a fresh Debian: debootstrap cannot reach $mirror"
      return
    fi
    local started=$SECONDS
    timeout 900 debootstrap --variant=minbase "$suite" "$root" "$mirror" \
      >"$tmp/debootstrap.log" 2>&1 ||
      { tail -n 30 "$tmp/debootstrap.log"; fail "debootstrap $suite failed"; }
    tar -cf "$cache" -C "$root" .
    say "fresh Debian $suite from $mirror in $((SECONDS - started)) s (kept in $cache)"
  fi
  cp /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true
  mount -t proc proc "$root/proc" 2>/dev/null || true
  in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin \
                DEBIAN_FRONTEND=noninteractive LC_ALL=C.UTF-8 "$@"; }
  in_root apt-get update -qq >"$tmp/apt.log" 2>&1 ||
    { cat "$tmp/apt.log"; fail "apt-get update in the fresh Debian failed"; }

  # Every path but apt's and dpkg's own records, logs and the scratch /tmp.
  snapshot() {
    in_root find / -xdev \( -path /proc -o -path /dev -o -path /tmp \
      -o -path /var/lib/apt -o -path /var/lib/dpkg -o -path /var/cache \
      -o -path /var/log \) -prune -o -print | LC_ALL=C sort
  }
  snapshot >"$tmp/before"
  cp "$deb" "$root/tmp/"
  in_root apt-get install -y -q "/tmp/$(basename "$deb")" >"$tmp/install.log" 2>&1 ||
    { cat "$tmp/install.log"; fail "apt-get install of the .deb failed"; }
  say "installed: $(sed -n '/^The following NEW packages/,/^[^ ]/{/^ /p}' "$tmp/install.log" | xargs)"

  [ "$(in_root orbitpick --version)" = "orbitpick $version" ] ||
    fail "the installed orbitpick --version printed '$(in_root orbitpick --version)'"
  local command
  command=$(readme_command "orbitpick /usr/share/doc/orbitpick/examples/")
  in_root sh -c "cd /tmp && $command" >"$tmp/chroot.out" 2>"$tmp/chroot.err" ||
    fail "'$command' failed in the fresh Debian: $(cat "$tmp/chroot.err")"
  cmp examples/ssystem_minor.ini "$root/tmp/ssystem_minor.ini" ||
    fail "the installed example's INI differs from examples/ssystem_minor.ini"
  in_root bash -c '. /usr/share/bash-completion/completions/orbitpick &&
                   complete -p orbitpick' >/dev/null ||
    fail "the installed bash completion does not load"
  in_root test -f /usr/share/man/man1/orbitpick.1.gz || fail "no manual page installed"
  say "the installed orbitpick ran the README's example: $command"

  in_root apt-get purge -y -q --autoremove orbitpick >"$tmp/purge.log" 2>&1 ||
    { cat "$tmp/purge.log"; fail "apt-get purge orbitpick failed"; }
  rm -f "$root/tmp/$(basename "$deb")" "$root/tmp/ssystem_minor.ini"
  snapshot >"$tmp/after"
  if ! diff "$tmp/before" "$tmp/after"; then
    fail "files left or lost after apt-get purge --autoremove orbitpick (above)"
  fi
  in_root dpkg-query -W -f='${Status}' orbitpick 2>/dev/null | grep -q installed &&
    fail "dpkg still lists orbitpick after the purge"
  say "removed: apt-get purge --autoremove orbitpick left no file behind"
  umount "$root/proc" 2>/dev/null || true
  rm -rf "$root"
  root=""
}
fresh_debian

# --- The zip under Wine ------------------------------------------------------
unzip -q "$zip" -d "$tmp/unpacked"
folder="$tmp/unpacked/orbitpick-${version}-windows-x86_64"
expected=$'CHANGELOG.md\nLICENSE.txt\nREADME.md\nexamples/MPCORB.DAT\nexamples/observing_list.csv\nexamples/ssystem_minor.ini\norbitpick.exe\norbitpick.txt'
got=$(cd "$folder" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)
[ "$got" = "$expected" ] || fail "the zip holds: $got"
grep -q "orbitpick $version" "$folder/orbitpick.txt" ||
  fail "the zip's manual text does not name $version"
source .ci/wine.sh
if wine_start "$folder/orbitpick.exe" package-check; then
  [ "$(timeout 300 "$wine_bin" "$folder/orbitpick.exe" --version | tr -d '\r')" = \
    "orbitpick $version" ] || fail "orbitpick.exe --version does not print $version"
  command=$(readme_command 'orbitpick.exe examples')
  read -ra words <<<"$command"
  (cd "$folder" && timeout 300 "$wine_bin" "${words[@]}" >"$tmp/wine.out" \
     2>"$tmp/wine.err") || fail "'$command' failed under Wine: $(cat "$tmp/wine.err")"
  cmp <(sed 's/$/\r/' examples/ssystem_minor.ini) "$folder/ssystem_minor.ini" ||
    fail "the zip's example INI differs from examples/ssystem_minor.ini in CR LF"
  say "the unpacked zip ran the README's example under Wine: $command"
fi
say "OK"
