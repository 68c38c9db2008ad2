#!/usr/bin/env bash
# The layering check must fail on each kind of wrong include, and pass on a right one.
set -euo pipefail
check="$(dirname "$0")/../scripts/check_layers.sh"
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
mkdir -p "$tree"/{text,compute,xls,core,app}
printf '#include "text/Cp1250.h"\n#include "Local.h"\n' > "$tree/compute/Good.cpp"
touch "$tree/compute/Local.h"
bash "$check" "$tree" >/dev/null

printf '#include "core/Session.h"\n' > "$tree/compute/Up.cpp"
printf '#include <QWidget>\n' > "$tree/xls/Widget.cpp"
printf '#include "xls/XLSFile.h"\n' > "$tree/core/Import.cpp"
printf '#include "Missing.h"\n' > "$tree/text/Stray.cpp"
if output=$(bash "$check" "$tree" 2>&1); then
    echo "planted includes passed the check" >&2
    exit 1
fi
for expected in 'compute/Up.cpp:1 includes "core/Session.h": compute/ may not use core/' \
                'xls/Widget.cpp:1 includes Qt (QWidget) below the window' \
                'core/Import.cpp:1 includes "xls/XLSFile.h": core reaches a format only through its loader' \
                'text/Stray.cpp:1 includes "Missing.h", which names no layer' \
                '4 wrong include(s)'; do
    grep -qF "$expected" <<<"$output" || { echo "missing: $expected"; echo "$output"; exit 1; }
done
