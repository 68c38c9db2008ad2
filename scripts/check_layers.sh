#!/usr/bin/env bash
# Keeps the layers pointing one way: a file may include only from its own folder and the
# folders its layer sits on, and nothing below the window includes Qt. A format reader is
# reached from core/ only through that format's loader (core/*Loader.*).
# Usage: check_layers.sh [ROOT]   (default: the checkout this script belongs to)
set -euo pipefail
root=${1:-"$(dirname "$0")/.."}
cd "$root"

declare -A uses=(
    [text]=""
    [compute]="text"
    [xls]="text"
    [zip]="text"
    [xlsx]="text zip xls"
    [ods]="text zip xls"
    [pdf]="text"
    [landmarks]="text zip"
    [core]="text compute xls zip xlsx ods landmarks pdf"
    [app]="text compute core"
    [tools]="text compute xls zip xlsx ods landmarks pdf core"
)
formats=" xls zip xlsx ods landmarks "
layers=" ${!uses[*]} "

failures=0
fail() {
    echo "layering: $1" >&2
    failures=$((failures + 1))
}

for layer in "${!uses[@]}"; do
    [ -d "$layer" ] || continue
    allowed=" $layer ${uses[$layer]} "
    while IFS= read -r -d '' file; do
        while IFS= read -r line; do
            number=${line%%:*}
            text=${line#*:}
            if [[ $text =~ \#[[:space:]]*include[[:space:]]*\<(Q[A-Za-z]*)[/\>] ]]; then
                [ "$layer" = app ] || fail "$file:$number includes Qt (${BASH_REMATCH[1]}) below the window"
                continue
            fi
            [[ $text =~ \#[[:space:]]*include[[:space:]]*\"([^\"]+)\" ]] || continue
            target=${BASH_REMATCH[1]}
            # Same folder, by bare name.
            [ -e "$(dirname "$file")/$target" ] && continue
            top=${target%%/*}
            if [[ $layers != *" $top "* ]]; then
                fail "$file:$number includes \"$target\", which names no layer"
            elif [[ $allowed != *" $top "* ]]; then
                fail "$file:$number includes \"$target\": $layer/ may not use $top/"
            elif [ "$layer" = core ] && [[ $formats == *" $top "* ]] &&
                 [[ $(basename "$file") != *Loader.* ]]; then
                fail "$file:$number includes \"$target\": core reaches a format only through its loader"
            fi
        done < <(grep -n '^[[:space:]]*#[[:space:]]*include' "$file" || true)
    done < <(find "$layer" -type f \( -name '*.h' -o -name '*.cpp' \) -print0)
done

if [ "$failures" -ne 0 ]; then
    echo "layering: $failures wrong include(s)" >&2
    exit 1
fi
echo "layering: every include points down"
