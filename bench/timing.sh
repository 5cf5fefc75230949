# Sourced by the benchmark scripts: wall-clock timing in nanoseconds (from
# bash's own clock, so that timing a command starts no other process).
now() { local t=${EPOCHREALTIME/[.,]/}; echo "${t}000"; }

# best_of N COMMAND...: the best wall time of N runs of COMMAND, in seconds.
best_of() {
  local n=$1 best= start end t
  shift
  for _ in $(seq "$n"); do
    start=$(now); "$@" >/dev/null; end=$(now)
    t=$((end - start))
    if [ -z "$best" ] || [ "$t" -lt "$best" ]; then best=$t; fi
  done
  awk -v ns="$best" 'BEGIN { printf "%.4f", ns / 1e9 }'
}
