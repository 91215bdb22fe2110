#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for a bounded time, all at once.
# Any crash, sanitizer report, broken invariant, timeout or memory blow-up
# fails the run; its input is kept under build-fuzz/fuzz/findings/.
#   FUZZ_SECONDS   seconds per target (default 60)
#   FUZZ_JOBS      targets run side by side (default: the number of processors)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-60}
jobs=${FUZZ_JOBS:-$(nproc)}
build=build-fuzz

CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKORVANE_FUZZ=ON -DKORVANE_WITH_QT=OFF -DKORVANE_TESTS=OFF -DKORVANE_BENCH=OFF
cmake --build "$build" -j "$(nproc)"

out="$build/fuzz"
mkdir -p "$out/findings" "$out/logs"
export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

# name, largest input, dictionary
targets=(
  "qfs_decompress 65536 -"
  "qfs_roundtrip 140000 -"
  "s3d_roundtrip 65536 fuzz/s3d.dict"
  "archive_load 65536 fuzz/archive.dict"
  "selection_list 4096 -"
)
[ -x "$out/fuzz_id_mask" ] && targets+=("id_mask 64 -")

run() {
  local name=$1 maxlen=$2 dict=$3
  local corpus="$out/corpus/$name"
  mkdir -p "$corpus"
  local args=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=1024
              -max_len="$maxlen" -print_final_stats=1 -artifact_prefix="$out/findings/$name-")
  [ "$dict" != - ] && args+=(-dict="$dict")
  local seeds="$out/seeds/$name"
  [ -d "$seeds" ] || seeds=
  "$out/fuzz_$name" "${args[@]}" "$corpus" $seeds >"$out/logs/$name.log" 2>&1
}

pids=()
names=()
passed=0
failed=0
for t in "${targets[@]}"; do
  read -r name maxlen dict <<<"$t"
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do sleep 1; done
  run "$name" "$maxlen" "$dict" &
  pids+=($!)
  names+=("$name")
done
for i in "${!pids[@]}"; do
  name=${names[$i]}
  if wait "${pids[$i]}"; then status=ok; passed=$((passed + 1)); else status=FAILED; failed=$((failed + 1)); fi
  runs=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$out/logs/$name.log" | tail -1 | awk '{print $2}')
  echo "fuzz $name: $status, ${runs:-?} executions (log: $out/logs/$name.log)"
  if [ "$status" = FAILED ]; then tail -n 40 "$out/logs/$name.log"; fi
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
