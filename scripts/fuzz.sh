#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for a bounded time, all at once.
# Any crash, sanitizer report, broken invariant, timeout or memory blow-up
# fails the run; its input is kept under build-fuzz/fuzz/findings/.
#   FUZZ_SECONDS   seconds per target, a second run of large inputs included
#                  (default 60)
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

# name, largest input, largest input of a second run (- for none), dictionary.
# Inputs cost time in proportion to their size, so the targets that take
# whole streams and archives run most of their time on small inputs, which
# finds far more per second, then a quarter of it on large ones, for the long
# match distances and the big entries. The qfs_decompress and archive_load
# targets treat an input up to their first limit as one of the main run
# (kShortStream, kShortArchive).
targets=(
  "qfs_decompress 4096 65536 -"
  "qfs_roundtrip 1536 140000 -"
  "s3d_roundtrip 65536 - fuzz/s3d.dict"
  "archive_load 4096 65536 fuzz/archive.dict"
  "selection_list 4096 - -"
)
[ -x "$out/fuzz_id_mask" ] && targets+=("id_mask 64 - -")

# One run of a target: name, log, seconds, largest input, dictionary.
fuzz_run() {
  local name=$1 log=$2 time=$3 maxlen=$4 dict=$5
  local corpus="$out/corpus/$name"
  mkdir -p "$corpus"
  local args=(-max_total_time="$time" -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=1024
              -max_len="$maxlen" -print_final_stats=1 -artifact_prefix="$out/findings/$name-")
  [ "$dict" != - ] && args+=(-dict="$dict")
  local seeds="$out/seeds/$name"
  [ -d "$seeds" ] || seeds=
  "$out/fuzz_$name" "${args[@]}" "$corpus" $seeds >"$log" 2>&1
}

# A target's runs one after the other, so that each target takes its
# seconds however many run side by side; both share the corpus.
run() {
  local name=$1 maxlen=$2 longlen=$3 dict=$4
  rm -f "$out/logs/$name.log" "$out/logs/$name-long.log"
  if [ "$longlen" = - ]; then
    fuzz_run "$name" "$out/logs/$name.log" "$seconds" "$maxlen" "$dict"
    return
  fi
  local long=$((seconds / 4 > 0 ? seconds / 4 : 1))
  local main=$((seconds - long > 0 ? seconds - long : 1))
  fuzz_run "$name" "$out/logs/$name.log" "$main" "$maxlen" "$dict" &&
    fuzz_run "$name" "$out/logs/$name-long.log" "$long" "$longlen" "$dict"
}

# What a run's log says: executions and executions a second.
summary() {
  local runs rate
  runs=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$1" 2>/dev/null | tail -1 | awk '{print $2}')
  rate=$(grep -o 'stat::average_exec_per_sec: *[0-9]*' "$1" 2>/dev/null | tail -1 | awk '{print $2}')
  echo "${runs:-?} executions, ${rate:-?}/s"
}

pids=()
names=()
passed=0
failed=0
for t in "${targets[@]}"; do
  read -r name maxlen longlen dict <<<"$t"
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do sleep 1; done
  run "$name" "$maxlen" "$longlen" "$dict" &
  pids+=($!)
  names+=("$name")
done
for i in "${!pids[@]}"; do
  name=${names[$i]}
  if wait "${pids[$i]}"; then status=ok; passed=$((passed + 1)); else status=FAILED; failed=$((failed + 1)); fi
  line="fuzz $name: $status, $(summary "$out/logs/$name.log")"
  [ -f "$out/logs/$name-long.log" ] && line+="; large inputs $(summary "$out/logs/$name-long.log")"
  echo "$line (logs: $out/logs/$name*.log)"
  if [ "$status" = FAILED ]; then
    for log in "$out/logs/$name.log" "$out/logs/$name-long.log"; do
      [ -f "$log" ] && { echo "--- $log"; tail -n 40 "$log"; }
    done
  fi
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
