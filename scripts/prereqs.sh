#!/usr/bin/env bash
# Installs, on Debian or Ubuntu, what building orbitpick needs and is not
# there yet. Modes, one or several:
#   program   the program (the default)
#   tests     the program and its tests (GoogleTest)
#   windows   the Windows cross build, Wine to run it, zip to pack it
#   fuzz      clang and libFuzzer's runtime
#   package   the Debian package and its checks: dpkg-dev, lintian,
#             debootstrap, man
#   bench     the tools bench/run.sh times orbitpick against: ripgrep,
#             igzip (isal)
# When all is in place it does nothing, offline.
set -euo pipefail

usage() {
  echo "usage: scripts/prereqs.sh [program|tests|windows|fuzz|package|bench]..." >&2
  exit 2
}
[ $# -gt 0 ] || set -- program

installed() {
  [ "$(dpkg-query -W -f='${Status}' "$1" 2>/dev/null)" = \
    "install ok installed" ]
}
# libFuzzer's runtime comes with whichever clang version is installed.
fuzzer_runtime() {
  compgen -G "/usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a"
}

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
windows=(
  "g++-mingw-w64-x86-64-posix installed g++-mingw-w64-x86-64-posix"
  "libz-mingw-w64-dev installed libz-mingw-w64-dev"
  "wine installed wine"
  "wine64 installed wine64"
  "zip command -v zip"
  "unzip command -v unzip"
)
fuzz=(
  "clang command -v clang++"
  "libclang-rt-14-dev fuzzer_runtime"
)
# dpkg-shlibdeps (dpkg-dev) computes the package's dependencies; file is
# what CPack asks whether a file is a program to be stripped and scanned.
package=(
  "dpkg-dev command -v dpkg-shlibdeps"
  "file command -v file"
  "lintian command -v lintian"
  "debootstrap command -v debootstrap"
  "man-db command -v man"
)
bench=(
  "ripgrep command -v rg"
  "isal command -v igzip"
)

wanted=()
for mode in "$@"; do
  case $mode in
    program) wanted+=("${program[@]}") ;;
    tests) wanted+=("${program[@]}" "${tests[@]}") ;;
    windows) wanted+=("${windows[@]}") ;;
    fuzz) wanted+=("${fuzz[@]}") ;;
    package) wanted+=("${program[@]}" "${package[@]}") ;;
    bench) wanted+=("${program[@]}" "${bench[@]}") ;;
    *) usage ;;
  esac
done

missing=()
for entry in "${wanted[@]}"; do
  read -r package check <<<"$entry"
  case " ${missing[*]} " in *" $package "*) continue ;; esac
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
