#!/usr/bin/env bash
# Our xlsdump --summary against other readers of .xlsx and .ods, in the same hyperfine rounds,
# with the peak memory of one run of each.
#
#   bench/ooxml/compare_peers.sh [BUILD_DIR] [WORK_DIR]
#
# BUILD_DIR defaults to build/release, WORK_DIR (the benchmark workbooks) to /tmp/perf. The
# workbooks are written on first use: the .xls by the shared make_bench_files.py, converted to
# .xlsx and .ods by LibreOffice. Needs Debian's hyperfine, liborcus-bin (orcus-xlsx, orcus-ods),
# python3-openpyxl and libreoffice-calc-nogui. orcus exits with 1 even after a good load, so
# failures are ignored: check its output once by hand (-f csv -o DIR). Machines are shared and noisy: read the ratios
# within one table, and subtract each reader's time on tiny.* (its start-up) from its others.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${1:-$root/build/release}
work=${2:-/tmp/perf}
shared=${MORVIK_SHARED_DIR:-$root/../shared}
xlsdump=$build/tools/xlsdump
files=${FILES:-"tiny maxcloud bigbook"}
runs=${RUNS:-5}

mkdir -p "$work"
for f in $files; do
    [ -f "$work/$f.xls" ] || /usr/bin/python3 "$shared/bench/make_bench_files.py" "$f" --out "$work"
    for format in xlsx ods; do
        if [ ! -f "$work/$f.$format" ]; then
            profile=$(mktemp -d)
            soffice -env:UserInstallation="file://$profile" --headless --convert-to "$format" \
                --outdir "$work" "$work/$f.xls" >/dev/null 2>&1
            rm -rf "$profile"
        fi
    done
done

for f in $files; do
    for format in xlsx ods; do
        file=$work/$f.$format
        commands=("$xlsdump --summary $file" "orcus-$format -f none $file")
        # openpyxl takes minutes on the big book; SLOW_PEERS=1 includes it there too.
        if [ "$format" = xlsx ] && { [ "$f" != bigbook ] || [ "${SLOW_PEERS:-0}" = 1 ]; }; then
            commands+=("/usr/bin/python3 $here/peer_openpyxl.py $file")
        fi
        echo "== $f.$format"
        # Slow peers on the big book get fewer rounds.
        n=$runs
        [ "$f" = bigbook ] && n=3
        hyperfine -N -i --warmup 1 --runs "$n" --export-json "$work/$f.$format.json" "${commands[@]}" \
            >/dev/null 2>&1 || true
        for c in "${commands[@]}"; do
            # shellcheck disable=SC2086
            /usr/bin/time -o "$work/time.txt" -f "%M" $c >/dev/null 2>&1 || true
            peak=$(tail -1 "$work/time.txt")
            /usr/bin/python3 - "$work/$f.$format.json" "$c" "$peak" <<'PY'
import json, statistics, sys
runs = {r["command"]: r for r in json.load(open(sys.argv[1]))["results"]}
r = runs[sys.argv[2]]
print("%-9s median %8.3f s  min %8.3f s  peak %7.1f MB  %s" % (
    "", statistics.median(r["times"]), min(r["times"]), int(sys.argv[3] or 0) / 1024, sys.argv[2]))
PY
        done
    done
done
