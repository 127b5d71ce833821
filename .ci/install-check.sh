#!/usr/bin/env bash
# Installs the build in build/ (or the directory given) under a scratch
# prefix and checks that the program runs from there, that the manual page
# is in place, renders without warnings and names the program's version.
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=${1:-build}
tmp=$(mktemp -d /tmp/orbitpick-install.XXXXXX)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "install-check: $*" >&2; exit 1; }

cmake --install "$build_dir" --prefix "$tmp" >/dev/null

[ -x "$tmp/bin/orbitpick" ] || fail "bin/orbitpick is missing"
version=$("$tmp/bin/orbitpick" --version) ||
  fail "bin/orbitpick --version failed"
case $version in
  "orbitpick "[0-9]*) ;;
  *) fail "bin/orbitpick --version printed '$version'" ;;
esac
page="$tmp/share/man/man1/orbitpick.1.gz"
[ -f "$page" ] || fail "share/man/man1/orbitpick.1.gz is missing"
zcat "$page" | cmp -s "$build_dir/orbitpick.1" - ||
  fail "the installed manual page differs from $build_dir/orbitpick.1"
zcat "$page" | head -n 1 | grep -qF "\"$version\"" ||
  fail "the manual page's title line does not name $version"

# The render check needs man; without it the page is only checked to exist.
if command -v man >/dev/null; then
  warnings=$(MANWIDTH=80 LC_ALL=C.UTF-8 MAN_KEEP_STDERR=1 \
             man --warnings=w -l "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "man reports: $warnings"
  MANWIDTH=80 man -l "$page" 2>/dev/null |
    grep -q 'orbitpick' || fail "the manual page renders empty"
else
  echo "install-check: man not installed; render check skipped"
fi
echo "install-check: OK"
