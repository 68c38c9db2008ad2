#!/usr/bin/env bash
# Cross-builds the layers without Qt (text, compute, xls, core), their tests and the
# command-line tools for 64-bit Windows with MinGW-w64, and runs the tests under Wine.
# Needs Debian's g++-mingw-w64-x86-64-posix, libz-mingw-w64-dev, wine64 and googletest (built
# from its sources for the cross target). Usage: test_windows.sh [--available]   (exit 0 when the tools are there)
set -euo pipefail
cd "$(dirname "$0")/.."

wine=$(command -v wine64 || command -v wine || true)
[ -z "$wine" ] && [ -x /usr/lib/wine/wine64 ] && wine=/usr/lib/wine/wine64
available() {
    command -v x86_64-w64-mingw32-g++-posix >/dev/null && [ -n "$wine" ] &&
        [ -f /usr/src/googletest/CMakeLists.txt ] && [ -f /usr/x86_64-w64-mingw32/lib/libz.a ]
}
if [ "${1:-}" = "--available" ]; then
    available
    exit
fi
if ! available; then
    echo "test_windows: needs g++-mingw-w64-x86-64-posix, libz-mingw-w64-dev, wine64 and googletest:" >&2
    echo "  apt-get install -y --no-install-recommends g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine64 googletest" >&2
    exit 2
fi

jobs=$(nproc 2>/dev/null || echo 2)
# A Wine prefix of our own in the build tree: the user's ~/.wine is never touched.
export WINEPREFIX=${WINEPREFIX:-$PWD/build/windows/wine}
export WINEDEBUG=-all
mkdir -p "$WINEPREFIX"

cmake --preset windows ${MORVIK_SHARED_DIR:+"-DMORVIK_SHARED_DIR=$MORVIK_SHARED_DIR"} >/dev/null
cmake --build --preset windows -j "$jobs"

# One Wine server for the whole run instead of one per test program.
wineserver=$(dirname "$(readlink -f "$wine")")/wineserver
[ -x "$wineserver" ] || wineserver=$(command -v wineserver || echo true)
"$wineserver" -p 60 || true
trap '"$wineserver" -k 2>/dev/null || true' EXIT
# Wine's own services start with the first program and would inherit the pipes ctest reads
# a test program's output from, holding them open: start them here, detached.
"$wine" wineboot >/dev/null 2>&1 </dev/null || true
ctest --preset windows -j "$jobs"
