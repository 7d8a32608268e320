#!/usr/bin/env bash
# Fails when C++ code differs from .clang-format, printing the changes that
# would make it conform.
#
#   scripts/check-format.sh          the lines changed since BASE (committed or
#                                    not): $LUCIDRA_FORMAT_BASE, else where the
#                                    branch left main, else (on main) the last
#                                    commit's parent
#   scripts/check-format.sh --all    every tracked C++ file
#
# Fix what it reports with `git clang-format BASE` (changed lines) or
# `clang-format -i FILE`.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
clang_format=${CLANG_FORMAT:-clang-format}
command -v "$clang_format" >/dev/null || { echo "check-format: $clang_format is not installed" >&2; exit 2; }
extensions=cpp,h,hpp,cc,cxx

if [[ ${1:-} == --all ]]; then
  mapfile -t files < <(git ls-files -- '*.cpp' '*.h' '*.hpp' '*.cc' '*.cxx' ':!:third_party/**')
  bad=0
  for file in "${files[@]}"; do
    if ! "$clang_format" --dry-run --Werror "$file" 2>/dev/null; then
      echo "check-format: $file differs from .clang-format" >&2
      bad=1
    fi
  done
  ((bad == 0)) && echo "check-format: ${#files[@]} files follow .clang-format" >&2
  exit $bad
fi

base=${LUCIDRA_FORMAT_BASE:-}
if [[ -z $base ]]; then
  if [[ $(git rev-parse --abbrev-ref HEAD) != main ]] && git rev-parse --verify -q main >/dev/null; then
    base=$(git merge-base HEAD main)
  else
    base=$(git rev-parse HEAD^ 2>/dev/null || git hash-object -t tree /dev/null)
  fi
fi
# git clang-format looks at the lines changed since BASE only, so code that
# was never touched is not held against a change.
changes=$(git clang-format --binary "$(command -v "$clang_format")" --diff --extensions "$extensions" "$base" -- \
  ':!:third_party/**' 2>&1 || true)
if grep -q '^diff ' <<<"$changes"; then
  echo "$changes"
  echo "check-format: the lines above differ from .clang-format (changed since ${base:0:12});" \
    "run: git clang-format $base" >&2
  exit 1
fi
echo "check-format: the lines changed since ${base:0:12} follow .clang-format" >&2
