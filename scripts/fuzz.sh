#!/usr/bin/env bash
# Fuzzes the Access file reader (records/jet) for a bounded time.
# Usage: scripts/fuzz.sh [SECONDS] [WORK_DIR] [SEEDER]
#   SECONDS   how long libFuzzer runs (default 60)
#   WORK_DIR  build and corpus folder (default build/fuzz)
#   SEEDER    the fuzz_seeds program (default build/tests/fuzz/fuzz_seeds)
# The corpus starts from the sample files fuzz_seeds writes (and the files
# Access wrote, in $ZORVANE_FIXTURES or ../shared/fixtures/access2000, where
# there are some) and grows in WORK_DIR/corpus.
# Every input that crashes the reader is copied to tests/fuzz/regressions/,
# where a normal ctest (tst_fuzz_regressions) replays it from then on; commit it.
set -euo pipefail
cd "$(dirname "$0")/.."
src=$(pwd)
seconds=${1:-60}
work=${2:-build/fuzz}
seeder=${3:-build/tests/fuzz/fuzz_seeds}
fixtures=${ZORVANE_FIXTURES:-$src/../shared/fixtures/access2000}
mkdir -p "$work/corpus" "$work/artifacts"
work=$(cd "$work" && pwd)

if ! command -v clang++ >/dev/null; then
  echo "fuzz.sh: clang++ is not installed (scripts/deps.sh --test installs it)" >&2
  [ "${CI:-}" = "true" ] && exit 1
  exit 77
fi

# The fuzz target: the reader library (zorvane_jet_reader) in a clang build
# of its own (CMake option ZORVANE_FUZZ).
echo "fuzz.sh: building the fuzz target"
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S "$src" -B "$work/build" -G Ninja -DZORVANE_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" "${launcher[@]}" >/dev/null
cmake --build "$work/build" --target jet_fuzz
cp "$work/build/jet_fuzz" "$work/jet_fuzz"

# Seeds: the sample files, the Access-written files, and the inputs that once
# crashed the reader.
mkdir -p "$work/seeds"
"$seeder" "$work/seeds"
cp -n "$work"/seeds/*.mdb "$work/corpus/"
if [ -d "$fixtures" ]; then
  cp -n "$fixtures"/*.mdb "$work/corpus/" 2>/dev/null || true
fi
cp -n "$src"/tests/fuzz/regressions/* "$work/corpus/" 2>/dev/null || true

echo "fuzz.sh: fuzzing for ${seconds}s"
status=0
"$work/jet_fuzz" "$work/corpus" -max_total_time="$seconds" -max_len=262144 -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$work/artifacts/" \
    >"$work/fuzz.log" 2>&1 || status=$?
tail -n 25 "$work/fuzz.log"

found=0
for f in "$work"/artifacts/crash-* "$work"/artifacts/timeout-* "$work"/artifacts/oom-* \
         "$work"/artifacts/leak-*; do
  [ -e "$f" ] || continue
  cp "$f" "$src/tests/fuzz/regressions/$(basename "$f")"
  echo "fuzz.sh: kept $(basename "$f") in tests/fuzz/regressions/" >&2
  rm -f "$f"
  found=1
done
if [ "$found" -ne 0 ] || [ "$status" -ne 0 ]; then
  echo "fuzz.sh: the fuzzer found a fault (exit $status); see $work/fuzz.log" >&2
  exit 1
fi
echo "fuzz.sh: no faults found"
