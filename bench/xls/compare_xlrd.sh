#!/usr/bin/env bash
# Times xlsdump --summary against the other readers on the same workbooks, in the same rounds:
# xlrd (python3-xlrd), FreeXL (libfreexl-dev, built here from the shared peer) and catdoc's
# xls2csv, each when installed. tiny.xls (one number) shows each reader's start-up cost.
# Prints per file each reader's median wall time and mean processor time (user + system) with
# ours as a fraction of each, and its peak memory (max RSS of one run under /usr/bin/time -v).
#   [BASELINE=XLSDUMP] bench/xls/compare_xlrd.sh BUILD_DIR [SHARED_DIR] [OUT_DIR] [FILE...]
# BUILD_DIR is an optimised build (e.g. build/release) holding tools/xlsdump. FILEs default
# to tiny typical maxcloud multisheet bigbook; bigbook.xls is only measured when present
# (make_bench_files.py bigbook writes it with LibreOffice, about a minute).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="${1:?build directory with tools/xlsdump}"
shared="${2:-$here/../../../shared}"
out="${3:-/tmp/perf}"
shift $(($# < 3 ? $# : 3))
files=("$@")
[ ${#files[@]} -gt 0 ] || files=(tiny typical maxcloud multisheet bigbook)
xlsdump="$build/tools/xlsdump"
python=/usr/bin/python3

if [ ! -f "$out/maxcloud.xls" ] || [ ! -f "$out/tiny.xls" ] || [ ! -f "$out/typical.xls" ]; then
    "$python" "$shared/bench/make_bench_files.py" tiny maxcloud typical --writer xlwt --out "$out"
fi
if [ ! -f "$out/multisheet.xls" ]; then
    "$python" "$here/make_multisheet.py" "$shared/bench" "$out"
fi

peers=(xlrd)
declare -A command
command[ours]="$xlsdump --summary"
# BASELINE=path/to/another/xlsdump adds it as reader "before": a change measured against the
# build it started from in the same rounds.
if [ -n "${BASELINE:-}" ]; then
    peers=(before xlrd)
    command[before]="$BASELINE --summary"
fi
command[xlrd]="$python $shared/bench/peer_xlrd.py"
if [ -f /usr/include/freexl.h ] && cc -O2 -o "$out/peer_freexl" "$shared/bench/peer_freexl.c" -lfreexl 2>/dev/null; then
    peers+=(freexl)
    command[freexl]="$out/peer_freexl"
fi
if command -v xls2csv >/dev/null; then
    peers+=(xls2csv)
    command[xls2csv]="$(command -v xls2csv)"
fi

for f in "${files[@]}"; do
    file="$out/$f.xls"
    if [ ! -f "$file" ]; then
        echo "== $f.xls: not found in $out, skipped"
        continue
    fi
    echo "== $f.xls"
    runs=()
    # The slow peers take seconds on the big files: fewer rounds there.
    size=$(stat -c %s "$file")
    [ "$size" -gt 50000000 ] && runs=(--runs 3)
    [ "$size" -gt 5000000 ] && [ "$size" -le 50000000 ] && runs=(--runs 5)
    list=()
    for r in ours "${peers[@]}"; do
        [ "$r" = xls2csv ] || echo "   $r: $(${command[$r]} "$file" 2>&1 | head -1)"
        list+=(-n "$r" "${command[$r]} $file")
    done
    hyperfine -N --warmup 1 "${runs[@]}" --style basic --export-json "$out/$f.hyperfine.json" \
        "${list[@]}" >"$out/$f.hyperfine.txt" 2>&1 || { cat "$out/$f.hyperfine.txt"; exit 1; }
    for r in ours "${peers[@]}"; do
        rss=$(/usr/bin/time -v ${command[$r]} "$file" 2>&1 >/dev/null |
            sed -n 's/.*Maximum resident set size (kbytes): //p')
        echo "$r ${rss:-0}" >>"$out/$f.rss.$$"
    done
    "$python" - "$out/$f.hyperfine.json" "$out/$f.rss.$$" <<'EOF'
import json, statistics, sys
results = json.load(open(sys.argv[1]))["results"]
rss = dict(line.split() for line in open(sys.argv[2]))
# Wall time is what a user waits for; on a shared, loaded machine the processor time (user +
# system, hyperfine's means) moves less with the other load, so both are shown.
wall = {r["command"]: statistics.median(r["times"]) for r in results}
cpu = {r["command"]: r["user"] + r["system"] for r in results}
print("   %-8s %9s %9s %9s %9s %10s" % ("reader", "wall ms", "ours/peer", "cpu ms", "ours/peer", "max RSS MB"))
for name in wall:
    print("   %-8s %9.1f %9.3f %9.1f %9.3f %10.1f" % (
        name, wall[name] * 1000, wall["ours"] / wall[name], cpu[name] * 1000,
        cpu["ours"] / cpu[name], int(rss.get(name, 0)) / 1024))
EOF
    rm -f "$out/$f.rss.$$"
done
