#!/usr/bin/env bash
# Builds the fuzz preset (Clang, libFuzzer, everything under ASan/UBSan/LSan) and runs
# every fuzz target, or those named, for a while each. A target's grown corpus is kept in
# build/fuzz-corpus/<target> (the committed seeds in fuzz/corpus/<target> are only read);
# an input that crashes, leaks, times out or trips a sanitizer is saved in
# build/fuzz-findings/<target>/ and makes the script fail.
# Usage: scripts/fuzz.sh [--seconds N] [--seeds] [target...]
#   --seconds N  fuzzing time per target (default 60)
#   --seeds      instead, rewrite the committed seed corpora with the seed programs
set -euo pipefail
cd "$(dirname "$0")/.."

all_targets=(containers_image_fuzz memory_image_fuzz strings_fuzz bmp_picture_fuzz track_file_fuzz)
seconds=60 seeds=0 targets=()
while [[ $# -gt 0 ]]; do
  case "$1" in
    --seconds) seconds="$2"; shift ;;
    --seeds) seeds=1 ;;
    -*) echo "fuzz: unknown option $1" >&2; exit 2 ;;
    *) targets+=("$1") ;;
  esac
  shift
done
[[ ${#targets[@]} -eq 0 ]] && targets=("${all_targets[@]}")

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
bin=build/fuzz/fuzz

if [[ $seeds -eq 1 ]]; then
  for t in "${targets[@]}"; do
    "$bin/${t}_seeds" "fuzz/corpus/$t"
    echo "fuzz: $t seeds in fuzz/corpus/$t: $(ls "fuzz/corpus/$t" | wc -l) file(s)"
  done
  exit 0
fi

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1
export LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
failed=()
summary=()
for t in "${targets[@]}"; do
  corpus=build/fuzz-corpus/$t findings=build/fuzz-findings/$t log=build/fuzz-findings/$t.log
  mkdir -p "$corpus" "$findings"
  options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=1024
           -max_len=65536 -print_final_stats=1 -artifact_prefix="$findings/")
  [[ -f fuzz/$t.dict ]] && options+=(-dict="fuzz/$t.dict")
  echo "fuzz: $t for ${seconds}s"
  status=0
  "$bin/$t" "${options[@]}" "$corpus" "fuzz/corpus/$t" >"$log" 2>&1 || status=$?
  # Every sanitizer report counts, also one that did not stop the run.
  if [[ $status -ne 0 ]] || grep -qE 'runtime error:|ERROR: (Address|Leak|UndefinedBehavior)Sanitizer|ERROR: libFuzzer' "$log"; then
    tail -n 60 "$log"
    failed+=("$t")
  fi
  execs=$(sed -nE 's/^stat::number_of_executed_units: *([0-9]+)/\1/p' "$log" | tail -n1)
  speed=$(sed -nE 's/^stat::average_exec_per_sec: *([0-9]+)/\1/p' "$log" | tail -n1)
  cov=$(grep -oE 'cov: [0-9]+' "$log" | tail -n1 | cut -d' ' -f2)
  summary+=("$(printf '%-22s %6ss %10s execs %7s/s  cov %5s  corpus %5s' "$t" "$seconds" "${execs:-?}" \
    "${speed:-?}" "${cov:-?}" "$(ls "$corpus" | wc -l)")")
done
printf 'fuzz: %s\n' "${summary[@]}"
if [[ ${#failed[@]} -gt 0 ]]; then
  echo "fuzz: findings in ${failed[*]} (inputs under build/fuzz-findings/)" >&2
  exit 1
fi
