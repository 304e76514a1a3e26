#!/usr/bin/env bash
# Builds the fuzz preset (clang, libFuzzer, ASan + UBSan) and runs every fuzz target for SECONDS each
# (default 60), one after another, printing one line per target:
#   fuzz_<surface>: <runs> runs, <n> crashes
# New inputs go to build-fuzz/corpus/<surface>/ (the stored seeds in fuzz/corpus/ are only read);
# a crashing input and the target's log land in build-fuzz/artifacts/<surface>/, and each line, with
# the coverage reached, is added to build-fuzz/fuzz-summary.txt.
# Exits non-zero when any target crashed. Set FUZZ_TARGETS="regex_matcher cookies" to run only some.
set -uo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"

source scripts/deps.sh
TOLLENBY_PACKAGES+=(clang)  # libFuzzer comes with clang
tollenby_ensure_packages
cmake --preset fuzz >/dev/null || exit 2
cmake --build --preset fuzz >/dev/null || { cmake --build --preset fuzz; exit 2; }

targets="${FUZZ_TARGETS:-$(cd build-fuzz/fuzz && ls fuzz_* | sed 's/^fuzz_//')}"
failed=0
for surface in $targets; do
  work="build-fuzz/corpus/$surface"
  artifacts="build-fuzz/artifacts/$surface"
  mkdir -p "$work" "$artifacts"
  rm -f "$artifacts"/crash-* "$artifacts"/timeout-* "$artifacts"/oom-* "$artifacts"/leak-*
  args=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
        -artifact_prefix="$artifacts/")
  [ -f "fuzz/dict/$surface.dict" ] && args+=(-dict="fuzz/dict/$surface.dict")
  case "$surface" in
    search_page|detail_page) args+=(-dict=fuzz/dict/pages.dict) ;;
  esac
  seeds=()
  [ -d "fuzz/corpus/$surface" ] && seeds+=("fuzz/corpus/$surface")
  log="$artifacts/log.txt"
  "build-fuzz/fuzz/fuzz_$surface" "${args[@]}" "$work" "${seeds[@]}" >"$log" 2>&1
  runs=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*$')
  crashes=$(find "$artifacts" -name 'crash-*' -o -name 'timeout-*' -o -name 'oom-*' -o -name 'leak-*' | wc -l)
  coverage=$(grep -o 'cov: [0-9]* ft: [0-9]*' "$log" | tail -1)
  line="fuzz_$surface: ${runs:-0} runs, $crashes crashes"
  echo "$line"
  echo "$line, $seconds s, ${coverage:-no coverage line}" >>build-fuzz/fuzz-summary.txt
  [ "$crashes" -gt 0 ] && failed=1
done
exit $failed
