#!/bin/bash
# Checks that every C++ source follows .clang-format (100 columns), or, with
# --fix, rewrites the ones that do not. Lists the files that differ; exits 1
# when there are any.
set -euo pipefail
cd "$(dirname "$0")/.."
FIX=0
[ "${1:-}" = --fix ] && FIX=1
mapfile -t files < <(git ls-files '*.cpp' '*.h' 2>/dev/null || find . -name '*.cpp' -o -name '*.h')
bad=()
for f in "${files[@]}"; do
  if ! clang-format --dry-run -Werror "$f" >/dev/null 2>&1; then
    if [ $FIX = 1 ]; then clang-format -i "$f"; else bad+=("$f"); fi
  fi
done
if [ ${#bad[@]} -gt 0 ]; then
  echo "not formatted as .clang-format says (tools/format.sh --fix rewrites them):" >&2
  printf '  %s\n' "${bad[@]}" >&2
  exit 1
fi
echo "format: ${#files[@]} files follow .clang-format"
