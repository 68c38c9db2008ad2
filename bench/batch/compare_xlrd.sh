#!/usr/bin/env bash
# morvik-batch on 1,000 copies of the benchmark's typical workbook (22 landmarks, two clouds of
# 2,000 points), with one worker and with two, against xlrd merely opening the same files in
# one Python process, in the same hyperfine run; then each command's peak memory.
#   bench/batch/compare_xlrd.sh BUILD_DIR [SHARED_DIR] [OUT_DIR] [COUNT]
# BUILD_DIR is an optimised build (e.g. build/release) holding tools/morvik-batch.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$(cd "${1:?build directory with tools/morvik-batch}" && pwd)"
shared="${2:-$here/../../../shared}"
out="${3:-/tmp/perf-batch}"
count="${4:-1000}"
batch="$build/tools/morvik-batch"
python=/usr/bin/python3
settings="$here/../../examples/Settings.ini"

mkdir -p "$out"
if [ ! -f "$out/typical.xls" ]; then
    "$python" "$shared/bench/make_bench_files.py" typical --out "$out"
fi
files="$out/files"
if [ "$(find "$files" -name '*.xls' 2>/dev/null | wc -l)" -ne "$count" ]; then
    rm -rf "$files"
    mkdir -p "$files"
    for i in $(seq -w 1 "$count"); do cp "$out/typical.xls" "$files/skull$i.xls"; done
fi

echo "== load before the run: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
"$batch" --settings "$settings" --jobs 1 --quiet -o "$out/jobs1.csv" "$files" || true
"$batch" --settings "$settings" --jobs 2 --quiet -o "$out/jobs2.csv" "$files" || true
cmp "$out/jobs1.csv" "$out/jobs2.csv" && echo "jobs 1 and 2: identical CSV, $(($(wc -l <"$out/jobs1.csv") - 1)) rows"
"$python" "$here/open_xlrd.py" "$files"

hyperfine -N --warmup 1 --runs "${RUNS:-5}" --export-json "$out/batch.hyperfine.json" \
    -n "morvik-batch --jobs 1" "$batch --settings $settings --jobs 1 --quiet -o $out/jobs1.csv $files" \
    -n "morvik-batch --jobs 2" "$batch --settings $settings --jobs 2 --quiet -o $out/jobs2.csv $files" \
    -n "xlrd open_workbook" "$python $here/open_xlrd.py $files"

"$python" - "$out/batch.hyperfine.json" "$count" <<'PY'
import json, sys
results = json.load(open(sys.argv[1]))["results"]
count = int(sys.argv[2])
rates = {r["command"]: count / r["median"] for r in results}
for name, rate in rates.items():
    print("%-24s %8.1f files/s (median)" % (name, rate))
xlrd = rates["xlrd open_workbook"]
one, two = rates["morvik-batch --jobs 1"], rates["morvik-batch --jobs 2"]
print("jobs 1 / xlrd: %.1fx   jobs 2 / xlrd: %.1fx   jobs 2 / jobs 1: %.2fx" % (one / xlrd, two / xlrd, two / one))
PY

for jobs in 1 2; do
    /usr/bin/time -v "$batch" --settings "$settings" --jobs "$jobs" --quiet -o "$out/jobs$jobs.csv" "$files" 2>"$out/time$jobs.txt" || true
    echo "morvik-batch --jobs $jobs: peak $(grep 'Maximum resident' "$out/time$jobs.txt" | awk '{print $NF}') kB"
done
/usr/bin/time -v "$python" "$here/open_xlrd.py" "$files" >/dev/null 2>"$out/time-xlrd.txt"
echo "xlrd open_workbook: peak $(grep 'Maximum resident' "$out/time-xlrd.txt" | awk '{print $NF}') kB"
echo "== load after the run: $(cut -d' ' -f1-3 /proc/loadavg)"
