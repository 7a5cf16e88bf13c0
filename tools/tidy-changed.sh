#!/usr/bin/env bash
# Runs clang-tidy (the repository's .clang-tidy, findings as errors) on the C++
# sources that differ from BASE: by default the last commit and whatever is
# not committed yet. BUILD is a configured build folder with
# compile_commands.json.
#   tools/tidy-changed.sh BUILD [BASE]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:?usage: tools/tidy-changed.sh BUILD [BASE]}
base=${2:-${VOCARRA_TIDY_BASE:-HEAD~1}}
git rev-parse -q --verify "$base^{commit}" >/dev/null || base=$(git rev-list --max-parents=0 HEAD | tail -n 1)
mapfile -t files < <({ git diff --name-only --diff-filter=AMR "$base" -- '*.cpp'
    git ls-files --others --exclude-standard -- '*.cpp'; } | sort -u |
    grep -E '^(src|tools)/' || true)
if [ ${#files[@]} -eq 0 ]; then
    echo "clang-tidy: no changed sources since $base"
    exit 0
fi
echo "clang-tidy: ${#files[@]} changed sources since $base"
printf '%s\0' "${files[@]}" |
    xargs -0 -n 1 -P "$(nproc)" clang-tidy -p "$build" --quiet --warnings-as-errors='*' 2>/dev/null
