# Sourced by the benchmark scripts: wall-clock timing in nanoseconds.
now() { date +%s%N; }

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
