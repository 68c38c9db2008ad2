#!/usr/bin/env bash
# Builds and runs every test twice: an optimised build and an AddressSanitizer +
# UndefinedBehaviorSanitizer build.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/deps.sh
./scripts/check_layers.sh

jobs=$(nproc 2>/dev/null || echo 2)
export QT_QPA_PLATFORM=offscreen

for preset in release asan; do
    echo "=== $preset ==="
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$jobs"
    ctest --preset "$preset" -j "$jobs"
done

# The engine cross-built for Windows and tested under Wine, when the cross tools are installed
# (scripts/deps.sh does not install them: see the README).
if scripts/test_windows.sh --available; then
    echo "=== windows ==="
    scripts/test_windows.sh
else
    echo "=== windows: skipped (no MinGW-w64 / Wine; see scripts/test_windows.sh) ==="
fi
