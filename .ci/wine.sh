# Sourced by the CI scripts that run orbitpick.exe: finds Wine and readies
# one prefix under build-win/, kept between the scripts of a run since
# creating it is the slow part.
#   wine_start EXE WHO   sets wine_bin; returns 1, with the reason, when
#                        Wine cannot run EXE here (the caller then skips)
#   wine_stop            ends the prefix's wineserver
export WINEPREFIX="$PWD/build-win/wineprefix" WINEDEBUG=-all \
  WINEDLLOVERRIDES="mscoree,mshtml="
wine_bin=""

wine_stop() {
  local server
  server=$(command -v wineserver || echo /usr/lib/wine/wineserver64)
  "$server" -k >/dev/null 2>&1 || true
}

wine_start() {
  local exe=$1 who=$2 candidate log
  for candidate in "$(command -v wine64 || true)" /usr/lib/wine/wine64 \
                   "$(command -v wine || true)"; do
    if [ -n "$candidate" ] && [ -x "$candidate" ]; then
      wine_bin=$candidate
      break
    fi
  done
  if [ -z "$wine_bin" ]; then
    echo "$who: no wine binary found; skipping the run under Wine"
    return 1
  fi
  log=$(mktemp -d /tmp/orbitpick-wine.XXXXXX)
  # Only a Wine that cannot run at all is a reason to skip the rest.
  if [ ! -d "$WINEPREFIX" ]; then
    timeout 600 "$wine_bin" wineboot --init >"$log/wineboot.log" 2>&1 || true
  fi
  if ! timeout 300 "$wine_bin" "$exe" --version >"$log/probe.out" 2>"$log/probe.err" ||
     ! grep -q '^orbitpick ' "$log/probe.out"; then
    echo "$who: Wine cannot run $(basename "$exe") here; skipping:"
    cat "$log"/*
    rm -rf "$log"
    return 1
  fi
  rm -rf "$log"
}
