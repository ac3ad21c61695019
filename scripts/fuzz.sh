#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time
# (default 60 s) from the seed corpus kept in fuzz/corpus. A crash leaves
# its input in fuzz/regressions/<target>/, where the ordinary test build
# replays it from then on; the script then fails.
#   scripts/fuzz.sh [seconds]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
cmake --preset linux-fuzz >/dev/null
cmake --build --preset linux-fuzz
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
for target in build/linux-fuzz/fuzz/fuzz_*; do
  case "$target" in *fuzz_replay_*) continue ;; esac
  name=${target##*/fuzz_}
  mkdir -p "$work/$name" "$work/crash-$name"
  cp fuzz/corpus/"$name"/* "$work/$name"/
  echo "=== fuzzing $name for ${seconds}s ==="
  if ! "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -artifact_prefix="$work/crash-$name/" -print_final_stats=1 "$work/$name" \
      >"$work/$name.log" 2>&1; then
    tail -40 "$work/$name.log"
    mkdir -p fuzz/regressions/"$name"
    cp "$work/crash-$name"/* fuzz/regressions/"$name"/ 2>/dev/null || true
    echo "fuzz target $name failed; its input is in fuzz/regressions/$name/" >&2
    status=1
  else
    grep -E "^stat::number_of_executed_units|DONE" "$work/$name.log" | tail -2
  fi
done
exit $status
