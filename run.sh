#!/usr/bin/env bash
# Builds and starts the program.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/deps.sh

jobs=$(nproc 2>/dev/null || echo 2)
cmake --preset release >/dev/null
cmake --build --preset release -j "$jobs"

# The settings file lives beside the executable; a first start gets the demonstration one.
app_dir=./build/release/app
if [ ! -e "$app_dir/Settings.ini" ]; then
    cp examples/Settings.ini "$app_dir/Settings.ini"
    echo "Copied examples/Settings.ini (invented demonstration coefficients) to $app_dir/Settings.ini"
fi
echo "Starting $app_dir/morvik; try Načíst soubor / Open file with examples/skull.txt or examples/skull.xls"
exec "$app_dir/morvik" "$@"
