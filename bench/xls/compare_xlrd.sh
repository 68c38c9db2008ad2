#!/usr/bin/env bash
# Times xlsdump --summary against xlrd (python3-xlrd) on the same workbooks in one run, and
# against FreeXL too when libfreexl-dev is installed. tiny.xls (one number) shows each
# reader's start-up cost, to be subtracted from the others for load times.
#   bench/xls/compare_xlrd.sh BUILD_DIR [SHARED_DIR] [OUT_DIR]
# BUILD_DIR is an optimised build (e.g. build/release) holding tools/xlsdump.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="${1:?build directory with tools/xlsdump}"
shared="${2:-$here/../../../shared}"
out="${3:-/tmp/perf}"
xlsdump="$build/tools/xlsdump"
python=/usr/bin/python3

if [ ! -f "$out/maxcloud.xls" ] || [ ! -f "$out/tiny.xls" ]; then
    "$python" "$shared/bench/make_bench_files.py" tiny maxcloud typical --writer xlwt --out "$out"
fi
if [ ! -f "$out/multisheet.xls" ]; then
    "$python" "$here/make_multisheet.py" "$shared/bench" "$out"
fi

freexl=()
if [ -f /usr/include/freexl.h ] && cc -O2 -o "$out/peer_freexl" "$shared/bench/peer_freexl.c" -lfreexl 2>/dev/null; then
    freexl=("$out/peer_freexl")
fi

for f in tiny maxcloud multisheet; do
    echo "== $f.xls"
    echo "   ours:   $("$xlsdump" --summary "$out/$f.xls")"
    echo "   xlrd:   $("$python" "$shared/bench/peer_xlrd.py" "$out/$f.xls")"
    commands=("$xlsdump --summary $out/$f.xls" "$python $shared/bench/peer_xlrd.py $out/$f.xls")
    if [ ${#freexl[@]} -gt 0 ]; then
        echo "   freexl: $("${freexl[0]}" "$out/$f.xls")"
        commands+=("${freexl[0]} $out/$f.xls")
    fi
    hyperfine -N --warmup 1 --export-json "$out/$f.hyperfine.json" "${commands[@]}"
done
