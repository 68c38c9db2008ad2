#!/usr/bin/env bash
# Plants small faults one at a time and tells which the tests catch.
#
#   scripts/planted_faults.sh [FAULTS_FILE] [BUILD_DIR]
#
# FAULTS_FILE (default scripts/planted_faults.txt) holds one fault a line:
#   file<TAB>old text<TAB>new text<TAB>test targets (space separated)
# The first occurrence of "old text" in the file is replaced ("\n" stands for a line end), the
# targets are built and run, and the file is put back from git whatever happens. A fault is
# caught when a test fails or crashes; one that does not build is counted apart. The worktree
# must be clean in the files it touches. Results go to stdout, one line a fault, then the rate.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
faults=${1:-$root/scripts/planted_faults.txt}
build=${2:-$root/build/release}
cd "$root"
caught=0 survived=0 broken=0
while IFS=$'\t' read -r file old new targets; do
    [[ -z "$file" || "$file" == \#* ]] && continue
    if ! git diff --quiet -- "$file"; then
        echo "SKIP (uncommitted changes) $file"
        continue
    fi
    if ! OLD="$old" NEW="$new" /usr/bin/python3 - "$file" <<'PY'; then
import os, sys
path = sys.argv[1]
old = os.environ["OLD"].replace("\\n", "\n")
new = os.environ["NEW"].replace("\\n", "\n")
text = open(path).read()
if old not in text:
    sys.exit(1)
open(path, "w").write(text.replace(old, new, 1))
PY
        echo "NOT FOUND $file: $old"
        continue
    fi
    verdict=survived
    if ! cmake --build "$build" -j2 --target $targets >/tmp/planted_build.log 2>&1; then
        verdict=broken
    else
        for t in $targets; do
            bin=$(find "$build" -name "$t" -type f -executable | head -1)
            if ! QT_QPA_PLATFORM=offscreen timeout 300 "$bin" >/tmp/planted_test.log 2>&1; then
                verdict=caught
                break
            fi
        done
    fi
    git checkout -q -- "$file"
    case $verdict in
        caught) caught=$((caught + 1)) ;;
        survived) survived=$((survived + 1)) ;;
        broken) broken=$((broken + 1)) ;;
    esac
    echo "$verdict	$file	$old"
done <"$faults"
# Leave the build as the sources are.
cmake --build "$build" -j2 --target $(cut -f4 "$faults" | grep -v '^#' | tr ' ' '\n' | sort -u | tr '\n' ' ') >/dev/null 2>&1
total=$((caught + survived))
echo "caught $caught of $total ($((total ? 100 * caught / total : 0)) %), $broken did not build"
