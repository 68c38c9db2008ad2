#!/usr/bin/env bash
# Cross-builds the layers without Qt (text, compute, xls, core), their tests and the
# command-line tools for 64-bit Windows with MinGW-w64, and runs the tests under Wine.
# Needs Debian's g++-mingw-w64-x86-64-posix, libz-mingw-w64-dev, wine64 and googletest (built
# from its sources for the cross target), and the host's libeigen3-dev and libboost-math-dev:
# both are header-only and portable, so the cross-build includes Debian's headers.
# Usage: test_windows.sh [--available]   (exit 0 when the tools are there)
set -euo pipefail
cd "$(dirname "$0")/.."

wine=$(command -v wine64 || command -v wine || true)
[ -z "$wine" ] && [ -x /usr/lib/wine/wine64 ] && wine=/usr/lib/wine/wine64
available() {
    command -v x86_64-w64-mingw32-g++-posix >/dev/null && [ -n "$wine" ] &&
        [ -f /usr/src/googletest/CMakeLists.txt ] && [ -f /usr/x86_64-w64-mingw32/lib/libz.a ] &&
        [ -f /usr/include/eigen3/Eigen/Core ] && [ -f /usr/include/boost/math/distributions/fisher_f.hpp ]
}
if [ "${1:-}" = "--available" ]; then
    available
    exit
fi
if ! available; then
    echo "test_windows: needs g++-mingw-w64-x86-64-posix, libz-mingw-w64-dev, wine64, googletest, libeigen3-dev and libboost-math-dev:" >&2
    echo "  apt-get install -y --no-install-recommends g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine64 googletest libeigen3-dev libboost-math-dev" >&2
    exit 2
fi

jobs=$(nproc 2>/dev/null || echo 2)
# A Wine prefix of our own in the build tree: the user's ~/.wine is never touched.
export WINEPREFIX=${WINEPREFIX:-$PWD/build/windows/wine}
export WINEDEBUG=-all
mkdir -p "$WINEPREFIX"

# Boost's headers lie in /usr/include beside glibc's, which must not reach the MinGW compiler:
# a folder of their own holds a link to them. Eigen's have a folder of their own already.
mkdir -p build/windows/include
ln -sfn /usr/include/boost build/windows/include/boost
cmake --preset windows ${MORVIK_SHARED_DIR:+"-DMORVIK_SHARED_DIR=$MORVIK_SHARED_DIR"} \
    -DEIGEN3_INCLUDE_DIR=/usr/include/eigen3 -DBoost_INCLUDE_DIR="$PWD/build/windows/include" \
    -DBoost_NO_BOOST_CMAKE=ON >/dev/null
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
