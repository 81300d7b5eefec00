#!/usr/bin/env bash
# Runs every fuzz target for a bounded time: run.sh BUILD_FOLDER SECONDS JOBS.
# Each starts from its seeds and the inputs that once broke it (fuzz/corpus, fuzz/regressions); what it
# learns goes to BUILD_FOLDER/corpus/<target>, and an input that breaks it to BUILD_FOLDER/<target>-crash-...
# The run fails when any target finds a crash, a broken invariant, a leak or a hang.
set -uo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build="$1"
seconds="$2"
jobs="${3:-2}"
targets=(before_file_reader after_file_reader restore_lines record_path registry_reader companion_reader)

run_one() {
  local t="$1"
  mkdir -p "$build/corpus/$t" "$here/regressions/$t"
  "$build/${t}_fuzz" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$build/$t-" "$build/corpus/$t" "$here/corpus/$t" "$here/regressions/$t" \
    >"$build/$t.log" 2>&1
}

pids=()
names=()
failed=0
for t in "${targets[@]}"; do
  run_one "$t" &
  pids+=("$!")
  names+=("$t")
  if [ "${#pids[@]}" -ge "$jobs" ]; then
    wait "${pids[0]}" || { echo "fuzz target ${names[0]} FAILED:"; tail -n 40 "$build/${names[0]}.log"; failed=1; }
    pids=("${pids[@]:1}")
    names=("${names[@]:1}")
  fi
done
for i in "${!pids[@]}"; do
  wait "${pids[$i]}" || { echo "fuzz target ${names[$i]} FAILED:"; tail -n 40 "$build/${names[$i]}.log"; failed=1; }
done
for t in "${targets[@]}"; do
  echo "$t: $(grep -E '^#[0-9]+[[:space:]]+DONE' "$build/$t.log" | tail -n 1)"
done
exit "$failed"
