#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan+UBSan; preset "fuzz") and runs them one after the
# other, each for the given number of seconds (default 600), printing one line per target.
#   scripts/fuzz.sh [seconds] [target...]      e.g. scripts/fuzz.sh 60 cookie_fuzz
# Each target starts from its seeds and kept findings in fuzz/corpus/<target>/ and grows its
# working corpus in build/fuzz/corpus/<target>/; a failing input lands in
# build/fuzz/artifacts/<target>/ and the run's output in build/fuzz/logs/<target>.log.
# Exits non-zero when a target fails.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
seconds=${1:-600}
shift $(( $# > 0 ? 1 : 0 ))
./scripts/setup.sh

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for exe in build/fuzz/fuzz/*_fuzz; do targets+=("$(basename "$exe")"); done
fi

failed=0
for name in "${targets[@]}"; do
  exe=build/fuzz/fuzz/$name
  work=build/fuzz/corpus/$name
  artifacts=build/fuzz/artifacts/$name
  log=build/fuzz/logs/$name.log
  mkdir -p "$work" "$artifacts" "$(dirname "$log")" "fuzz/corpus/$name"
  options=(-max_total_time="$seconds" -timeout=10 -use_value_profile=1 -print_final_stats=1
    -artifact_prefix="$artifacts/")
  [ -f "fuzz/$name.dict" ] && options+=(-dict="fuzz/$name.dict")
  status=0
  "$exe" "${options[@]}" "$work" "fuzz/corpus/$name" >"$log" 2>&1 || status=$?

  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  last=$(grep -E '^#[0-9]+.*cov: ' "$log" | tail -n 1 || true)
  cov=$(sed -n 's/.*cov: \([0-9]*\).*/\1/p' <<<"$last")
  features=$(sed -n 's/.*ft: \([0-9]*\).*/\1/p' <<<"$last")
  corpus=$(sed -n 's/.*corp: \([0-9]*\/[0-9]*[a-zA-Z]*\).*/\1/p' <<<"$last")
  if [ "$status" -eq 0 ]; then
    printf '%-12s ok      %ss  %s runs  cov %s  ft %s  corpus %s\n' \
      "$name" "$seconds" "${runs:-?}" "${cov:-?}" "${features:-?}" "${corpus:-?}"
  else
    failed=1
    finding=$(grep -m 1 -E 'property broken|ERROR: |runtime error|SUMMARY' "$log" || echo "exit $status")
    printf '%-12s FAILED  %s (input in %s, log %s)\n' "$name" "$finding" "$artifacts" "$log"
  fi
done
exit "$failed"
