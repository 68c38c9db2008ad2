#!/usr/bin/env bash
# Compares two xlsdump builds byte for byte over every workbook we have: both shared corpora
# and the benchmark files (written on first use). A change that should not alter what the
# readers see (a split, a rename, a merged copy) must leave this silent.
#
#   scripts/compare_xlsdump.sh BEFORE_XLSDUMP AFTER_XLSDUMP [BENCH_DIR]
#
# BENCH_DIR defaults to /tmp/perf. The .xls benchmark files come from the shared
# make_bench_files.py with xlwt (python3-xlwt), multisheet.xls and the hostile cases from
# bench/xls; their .xlsx and .ods copies from LibreOffice when soffice is installed, else the
# .xlsx from openpyxl (python3-openpyxl). bigbook is used when present, never written here
# (it takes LibreOffice about a minute). Both the full JSON dump and --summary are compared,
# with stderr and the exit code. Exits with 1 on the first difference listed, after all files.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
before=${1:?xlsdump built before the change}
after=${2:?xlsdump built after the change}
bench=${3:-/tmp/perf}
shared=${MORVIK_SHARED_DIR:-$root/../shared}
python=/usr/bin/python3

mkdir -p "$bench"
for f in tiny typical maxcloud; do
    [ -f "$bench/$f.xls" ] || "$python" "$shared/bench/make_bench_files.py" "$f" --writer xlwt --out "$bench" >/dev/null
done
[ -f "$bench/multisheet.xls" ] || "$python" "$root/bench/xls/make_multisheet.py" "$shared/bench" "$bench"
[ -d "$bench/hostile" ] || "$python" "$root/bench/xls/make_hostile.py" "$bench/hostile" >/dev/null
for f in tiny typical maxcloud; do
    if command -v soffice >/dev/null; then
        for format in xlsx ods; do
            [ -f "$bench/$f.$format" ] && continue
            profile=$(mktemp -d)
            soffice -env:UserInstallation="file://$profile" --headless --convert-to "$format" \
                --outdir "$bench" "$bench/$f.xls" >/dev/null 2>&1
            rm -rf "$profile"
        done
    elif [ ! -f "$bench/$f.xlsx" ]; then
        # The same cells as the .xls, through openpyxl's writer.
        "$python" - "$shared/bench" "$f" "$bench/$f.xlsx" <<'EOF'
import datetime, sys
sys.path.insert(0, sys.argv[1])
import make_bench_files as mbf
from openpyxl import Workbook
book = Workbook(write_only=True)
for name, rows in mbf.workbook(sys.argv[2]):
    sheet = book.create_sheet(name)
    for row in rows():
        sheet.append([v.value if isinstance(v, mbf.Formula) else v for v in row])
book.save(sys.argv[3])
EOF
    fi
done

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
files=()
while IFS= read -r -d '' f; do files+=("$f"); done < <(
    find "$shared/corpus/xls" "$shared/corpus/xlsx" "$bench" -type f \
        \( -iname '*.xls' -o -iname '*.xlsx' -o -iname '*.xlsm' -o -iname '*.xltx' -o -iname '*.ods' \) \
        -print0 | sort -z)

differ=0
for f in "${files[@]}"; do
    for mode in full summary; do
        args=("$f")
        [ "$mode" = summary ] && args=(--summary "$f")
        for side in before after; do
            exe=$before
            [ "$side" = after ] && exe=$after
            set +e
            "$exe" "${args[@]}" >"$out/$side.out" 2>"$out/$side.err"
            echo "exit $?" >>"$out/$side.err"
            set -e
        done
        if ! cmp -s "$out/before.out" "$out/after.out" || ! cmp -s "$out/before.err" "$out/after.err"; then
            echo "differs ($mode): $f"
            differ=1
        fi
    done
done
echo "${#files[@]} files compared, full dump and --summary: $([ $differ = 0 ] && echo identical || echo DIFFERENT)"
exit $differ
