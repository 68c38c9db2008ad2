#!/usr/bin/env bash
# Times xlsdump --summary against xlrd (python3-xlrd) on the same workbooks in one run.
#   bench/xls/compare_xlrd.sh BUILD_DIR [SHARED_DIR] [OUT_DIR]
# BUILD_DIR is an optimised build (e.g. build/release) holding xls/xlsdump.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="${1:?build directory with xls/xlsdump}"
shared="${2:-$here/../../../shared}"
out="${3:-/tmp/perf}"
xlsdump="$build/xls/xlsdump"
python=/usr/bin/python3

if [ ! -f "$out/maxcloud.xls" ]; then
    "$python" "$shared/bench/make_bench_files.py" maxcloud typical --writer xlwt --out "$out"
fi
if [ ! -f "$out/multisheet.xls" ]; then
    "$python" "$here/make_multisheet.py" "$shared/bench" "$out"
fi

for f in maxcloud multisheet; do
    echo "== $f.xls"
    echo "   ours: $("$xlsdump" --summary "$out/$f.xls")"
    echo "   xlrd: $("$python" "$shared/bench/peer_xlrd.py" "$out/$f.xls")"
    hyperfine -N --warmup 1 --export-json "$out/$f.hyperfine.json" \
        "$xlsdump --summary $out/$f.xls" \
        "$python $shared/bench/peer_xlrd.py $out/$f.xls"
done
