# Sourced by the benchmark scripts: wall-clock timing in nanoseconds, from
# bash's own clock (reading it starts no process, so it adds nothing to the
# time of a short command).
now() { local t=${EPOCHREALTIME/[.,]/}; echo "${t}000"; }

# best_of N COMMAND...: the best wall time of N runs of COMMAND, in seconds.
best_of() {
  local n=$1 best= start end t
  shift
  for _ in $(seq "$n"); do
    start=${EPOCHREALTIME/[.,]/}; "$@" >/dev/null; end=${EPOCHREALTIME/[.,]/}
    t=$((end - start))
    if [ -z "$best" ] || [ "$t" -lt "$best" ]; then best=$t; fi
  done
  awk -v us="$best" 'BEGIN { printf "%.4f", us / 1e6 }'
}

# best_of_pair N "COMMAND A" "COMMAND B": runs A and B in turn N times (so
# that both meet the same load on a shared machine); prints the best wall
# time of each, in seconds. The commands are evaluated by bash.
best_of_pair() {
  local n=$1 a=$2 b=$3 best_a= best_b= start t
  for _ in $(seq "$n"); do
    start=${EPOCHREALTIME/[.,]/}; eval "$a" >/dev/null; t=$((${EPOCHREALTIME/[.,]/} - start))
    if [ -z "$best_a" ] || [ "$t" -lt "$best_a" ]; then best_a=$t; fi
    start=${EPOCHREALTIME/[.,]/}; eval "$b" >/dev/null; t=$((${EPOCHREALTIME/[.,]/} - start))
    if [ -z "$best_b" ] || [ "$t" -lt "$best_b" ]; then best_b=$t; fi
  done
  awk -v a="$best_a" -v b="$best_b" 'BEGIN { printf "%.4f %.4f", a / 1e6, b / 1e6 }'
}
