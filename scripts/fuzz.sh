#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan+UBSan; preset "fuzz") and runs them one after the
# other, each for the given number of seconds (default 600), printing one line per target.
#   scripts/fuzz.sh [seconds] [target...]      e.g. scripts/fuzz.sh 60 cookie_fuzz
#   scripts/fuzz.sh --coverage [target...]     source coverage of the corpora grown so far
# Each target starts from its seeds and kept findings in fuzz/corpus/<target>/ and grows its
# working corpus in build/fuzz/corpus/<target>/; a failing input lands in
# build/fuzz/artifacts/<target>/ and the run's output in build/fuzz/logs/<target>.log.
# Exits non-zero when a target fails.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
coverage=0
if [ "${1:-}" = "--coverage" ]; then
  coverage=1
  shift
else
  seconds=${1:-600}
  shift $(( $# > 0 ? 1 : 0 ))
fi
./scripts/setup.sh

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for source in fuzz/*_fuzz.cpp; do targets+=("$(basename "$source" .cpp)"); done
fi

# The functions each target is about, as "file (under src/):regular expression of names".
covered_functions() {
  case "$1" in
    text_fuzz) echo "text/text_search.cpp:." "text/text.cpp:FindText|ReplaceAll|SplitText|Spaces|Bytes|TextBetween|CountOccurrences|IsSpaceAt|CharLength" ;;
    number_fuzz) echo "text/text.cpp:FoldFullWidth|ReadNumber|ReadInteger|Skip|IsDigit" ;;
    header_fuzz) echo "web/header_text.cpp:." ;;
    cookie_fuzz) echo "web/cookies.cpp:." ;;
    page_fuzz) echo "text/text.cpp:DecodeUtf8Page|BodyToText" "platform/code_page_utf8.cpp:." "platform/code_page_posix.cpp:." ;;
  esac
}

# Replays each target's corpus once in a build with source coverage and prints the lines and
# branches of its functions that the corpus reaches.
report_coverage() {
  cmake --preset fuzz-coverage >/dev/null
  cmake --build --preset fuzz-coverage
  local folder=build/fuzz-coverage
  mkdir -p "$folder/profiles"
  for name in "${targets[@]}"; do
    local exe=$folder/fuzz/$name profile=$folder/profiles/$name
    mkdir -p "build/fuzz/corpus/$name"
    LLVM_PROFILE_FILE=$profile.profraw "$exe" -runs=0 "build/fuzz/corpus/$name" \
      "fuzz/corpus/$name" >"$profile.log" 2>&1
    llvm-profdata merge -sparse "$profile.profraw" -o "$profile.profdata"
    local entry totals="0 0 0 0"
    for entry in $(covered_functions "$name"); do
      totals=$(llvm-cov report "$exe" -instr-profile="$profile.profdata" -show-functions \
          "$folder/gbk/src/${entry%%:*}" |
        awk -v pattern="${entry#*:}" -v sums="$totals" '
          BEGIN { split(sums, t, " ") }
          $1 ~ /^(_Z|[a-z_]+\.cpp:_Z)/ && $1 ~ pattern { t[1] += $5; t[2] += $6; t[3] += $8; t[4] += $9 }
          END { print t[1], t[2], t[3], t[4] }')
    done
    read -r lines missedLines branches missedBranches <<<"$totals"
    awk -v n="$name" -v l="$lines" -v ml="$missedLines" -v b="$branches" -v mb="$missedBranches" \
      'BEGIN { printf "%-12s lines %d/%d (%.1f%%)  branches %d/%d (%.1f%%)\n", n, l - ml, l,
               l ? 100 * (l - ml) / l : 0, b - mb, b, b ? 100 * (b - mb) / b : 0 }'
  done
}

if [ "$coverage" = 1 ]; then
  report_coverage
  exit 0
fi

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

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
