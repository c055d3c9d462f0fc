#!/usr/bin/env bash
# Runs every fuzz target for a number of seconds on its corpus and its saved regressions, then
# prints one line per target: executions, executions per second, coverage and findings.
#
#   [FUZZ_OPTIONS=...] fuzz/run.sh BUILD_DIR SECONDS [TARGET...]
#
# The corpus of each target lives in BUILD_DIR/fuzz/corpus/TARGET: the seeds that make_seeds
# writes there before every run, and what earlier runs added. Inputs that make a target fail are
# written to BUILD_DIR/fuzz/findings/TARGET/. The exit status is 1 when any target found anything.
set -uo pipefail

if [ $# -lt 2 ]; then
  echo "usage: $0 BUILD_DIR SECONDS [TARGET...]" >&2
  exit 2
fi
source_dir=$(cd "$(dirname "$0")/.." && pwd)
build_dir=$(cd "$1" && pwd)
seconds=$2
shift 2
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(format list symbol sampler store map console startup peaks)

# The targets' scratch directories go under a directory of this run: under TMPDIR when it is
# set, else in memory when the system has a file system there, so that the file work of every
# input costs no disk journal. It is removed at the end, with whatever a target that stopped at a
# finding left behind.
parent=${TMPDIR:-/dev/shm}
[ -d "$parent" ] && [ -w "$parent" ] || parent=/tmp
run_directory=$(mktemp -d "$parent/mapconv-fuzz-run.XXXXXX") || exit 1
trap 'rm -rf "$run_directory"' EXIT
export TMPDIR=$run_directory

programs=$build_dir/fuzz
corpora=$programs/corpus
"$programs/make_seeds" "$corpora" >/dev/null || exit 1

# Leaks are checked per input; a run stops at the first finding. An input that takes longer than
# the timeout counts as a hang. FUZZ_OPTIONS adds libFuzzer options of the caller's, for example
# FUZZ_OPTIONS=-entropic=0 for long runs of a target with many features per input, where the
# entropic schedule's bookkeeping costs a quarter of the time.
options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
         -max_len=200000 ${FUZZ_OPTIONS:-})

printf '%-8s %12s %9s %8s %8s  %s\n' target executions exec/s cov ft findings
failed=0
for target in "${targets[@]}"; do
  findings=$programs/findings/$target
  log=$programs/logs/$target.log
  mkdir -p "$findings" "$programs/logs" "$corpora/$target"
  inputs=("$corpora/$target")
  [ -d "$source_dir/fuzz/regressions/$target" ] && inputs+=("$source_dir/fuzz/regressions/$target")
  "$programs/fuzz_$target" "${options[@]}" -artifact_prefix="$findings/" "${inputs[@]}" \
    </dev/null >"$log" 2>&1
  status=$?
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)
  coverage=$(grep -o 'cov: [0-9]*' "$log" | tail -n 1 | cut -d' ' -f2)
  features=$(grep -o 'ft: [0-9]*' "$log" | tail -n 1 | cut -d' ' -f2)
  if [ $status -eq 0 ]; then
    result=none
  else
    failed=1
    result="FOUND (exit $status): $(grep -a -m 1 -E '^(==[0-9]+==ERROR|SUMMARY|==== fuzz check failed|.*runtime error)' "$log")"
  fi
  printf '%-8s %12s %9s %8s %8s  %s\n' "$target" "${executions:--}" "${speed:--}" \
    "${coverage:--}" "${features:--}" "$result"
done
if [ $failed -ne 0 ]; then
  echo "Findings and logs: $programs/findings/ and $programs/logs/" >&2
fi
exit $failed
