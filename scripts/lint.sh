#!/usr/bin/env bash
# Checks the C++ sources: their layout against .clang-format (clang-format --dry-run
# --Werror) and clang-tidy with .clang-tidy over a build's compile database. Fails on any
# layout difference or clang-tidy finding.
# Usage: scripts/lint.sh [--format] [--tidy] [--build <dir>] [file...]
#   --format / --tidy  run only that check (default: both)
#   --build <dir>      the configured and built tree whose compile_commands.json clang-tidy
#                      reads (default build/release; generated headers must exist)
#   file...            the files to check (default: every tracked .cpp and .h)
set -euo pipefail
cd "$(dirname "$0")/.."

format=0 tidy=0 build=build/release files=()
while [[ $# -gt 0 ]]; do
  case "$1" in
    --format) format=1 ;;
    --tidy) tidy=1 ;;
    --build) build="$2"; shift ;;
    -*) echo "lint: unknown option $1" >&2; exit 2 ;;
    *) files+=("$1") ;;
  esac
  shift
done
[[ $format -eq 0 && $tidy -eq 0 ]] && format=1 tidy=1
# Every tracked .cpp and .h by default; outside a git checkout (or without git), every
# one in the tree but the build folder.
if [[ ${#files[@]} -eq 0 ]]; then
  if command -v git >/dev/null && git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    mapfile -t files < <(git ls-files '*.cpp' '*.h')
  else
    mapfile -t files < <(find . -path ./build -prune -o -type f \( -name '*.cpp' -o -name '*.h' \) -print |
                         sed 's|^\./||' | sort)
  fi
  if [[ ${#files[@]} -eq 0 ]]; then
    echo "lint: found no .cpp or .h file to check" >&2
    exit 2
  fi
fi
jobs=$(nproc)
status=0

if [[ $format -eq 1 ]]; then
  echo "lint: clang-format over ${#files[@]} file(s)"
  if ! printf '%s\0' "${files[@]}" | xargs -0 -n 16 -P "$jobs" clang-format --dry-run --Werror; then
    echo "lint: layout differs from .clang-format" >&2
    status=1
  fi
fi

# The literal reference route finder keeps the shape of its original: no complexity limit.
tidy_one() {
  local extra=()
  [[ "$1" == route/reference_route_finder.cpp ]] && extra=(--checks=-readability-function-cognitive-complexity)
  clang-tidy --quiet -p "$2" --extra-arg=-Wno-unknown-warning-option "${extra[@]}" "$1" 2>/dev/null
}
export -f tidy_one

if [[ $tidy -eq 1 ]]; then
  if [[ ! -f "$build/compile_commands.json" ]]; then
    echo "lint: no $build/compile_commands.json; configure and build that tree first" >&2
    exit 2
  fi
  sources=()
  for f in "${files[@]}"; do
    [[ "$f" == *.cpp ]] && grep -q "\"file\": \"$PWD/$f\"" "$build/compile_commands.json" && sources+=("$f")
  done
  echo "lint: clang-tidy over ${#sources[@]} translation unit(s)"
  report=$(mktemp)
  trap 'rm -f "$report"' EXIT
  printf '%s\0' "${sources[@]}" | xargs -0 -I{} -P "$jobs" bash -c 'tidy_one "$1" "$2"' _ {} "$build" >"$report" || true
  findings=$(grep -E ': (warning|error): ' "$report" | sort -u || true)
  if [[ -n "$findings" ]]; then
    cat "$report"
    echo "lint: $(wc -l <<<"$findings") clang-tidy finding(s):" >&2
    sed -E 's/.*\[([a-z0-9.,-]+)\]$/\1/' <<<"$findings" | sort | uniq -c | sort -rn >&2
    status=1
  fi
fi
exit $status
