#!/usr/bin/env bash
# Installs, on Debian or Ubuntu, what building orbitpick needs and is not
# there yet: "scripts/prereqs.sh" for the program, "scripts/prereqs.sh tests"
# for its tests too. When all is in place it does nothing, offline.
set -euo pipefail

usage() { echo "usage: scripts/prereqs.sh [program|tests]" >&2; exit 2; }
[ $# -le 1 ] || usage
mode=${1:-program}

# Package, then the command that tells it is already there. A tool found on
# the PATH counts, wherever it came from; a library counts when its Debian
# package is installed. nlohmann-json3-dev reads Stellarium's observing
# lists (--list-format json). libisal-dev is optional (CMake uses ISA-L's faster
# inflater when it finds it) and installed for both.
program=(
  "cmake command -v cmake"
  "g++ command -v g++"
  "make command -v make"
  "zlib1g-dev installed zlib1g-dev"
  "libisal-dev installed libisal-dev"
  "nlohmann-json3-dev installed nlohmann-json3-dev"
)
tests=("libgtest-dev installed libgtest-dev")

case $mode in
  program) wanted=("${program[@]}") ;;
  tests) wanted=("${program[@]}" "${tests[@]}") ;;
  *) usage ;;
esac

installed() {
  [ "$(dpkg-query -W -f='${Status}' "$1" 2>/dev/null)" = \
    "install ok installed" ]
}

missing=()
for entry in "${wanted[@]}"; do
  read -r package check <<<"$entry"
  $check >/dev/null 2>&1 || missing+=("$package")
done
[ ${#missing[@]} -gt 0 ] || exit 0

if ! command -v apt-get >/dev/null; then
  echo "prereqs: no apt-get here; install yourself what is missing of:" \
    "${missing[*]} (CMake says what it cannot find)" >&2
  exit 0
fi
sudo=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || {
    echo "prereqs: run as root, or install sudo, to install: ${missing[*]}" >&2
    exit 1
  }
  sudo=(sudo)
fi
echo "prereqs: installing ${missing[*]}"
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive \
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
echo "prereqs: installed ${missing[*]}"
