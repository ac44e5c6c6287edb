#!/usr/bin/env bash
# Checks that every tracked C and C++ source is laid out as .clang-format says, without
# changing any file. Lists the files that differ and fails when there is one.
#
#   scripts/format-check.sh           every tracked source
#   scripts/format-check.sh --changed only the sources changed since the merge base with
#                                     the main branch (or since BASE=<rev>)
set -euo pipefail
cd "$(dirname "$0")/.."

files=()
if [[ "${1:-}" == "--changed" ]]; then
    base="${BASE:-$(git merge-base HEAD main 2>/dev/null || git rev-list --max-parents=0 HEAD)}"
    mapfile -t files < <(git diff --name-only --diff-filter=ACMR "$base" -- '*.cpp' '*.h')
else
    mapfile -t files < <(git ls-files -- '*.cpp' '*.h')
fi

failed=()
for f in "${files[@]}"; do
    [[ -f "$f" ]] || continue
    if ! clang-format --dry-run --Werror "$f" >/dev/null 2>&1; then
        failed+=("$f")
    fi
done

if ((${#failed[@]} > 0)); then
    echo "format-check: ${#failed[@]} of ${#files[@]} files differ from .clang-format (run clang-format -i on them):" >&2
    printf '  %s\n' "${failed[@]}" >&2
    exit 1
fi
echo "format-check: ${#files[@]} files match .clang-format"
