#!/usr/bin/env bash
# Compares the QFS codec with the npm package qfs-compression 0.2.3 on the same
# model-shaped corpus, in one run: installs the package into the build folder
# (never into the sources), lets qfs_peer_bench write the corpus and time this
# codec, times the peer on the same files, and prints both speeds and the
# ratios. Without node or npm it says so and stops without failing.
#
# Usage: bench/qfs_peer_bench.sh [build folder]   (default: build)
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=$(cd "${1:-$here/../build}" && pwd)
program="$build/bench/qfs_peer_bench"
peer="$build/qfs_peer"
version=0.2.3

if ! command -v node >/dev/null 2>&1 || ! command -v npm >/dev/null 2>&1; then
    echo "qfs peer comparison skipped: node or npm is not installed"
    exit 0
fi
if [[ ! -x "$program" ]]; then
    echo "qfs peer comparison: $program is missing; build the benchmarks first" >&2
    exit 1
fi

installed=$(node -p "try { require('$peer/node_modules/qfs-compression/package.json').version } catch (e) { '' }")
if [[ "$installed" != "$version" ]]; then
    mkdir -p "$peer"
    npm install --prefix "$peer" --no-save --no-package-lock --no-audit --no-fund "qfs-compression@$version" >/dev/null
fi

corpus="$build/qfs_peer/corpus"
field() { sed -n "s/.*$1=\([0-9.]*\).*/\1/p" <<<"$2"; }
median() { printf '%s\n' "$@" | sort -g | sed -n "$(( ($# + 1) / 2 ))p"; }

# Three rounds, each codec in turn, so that a change in the machine's load
# falls on both; the medians are compared.
rounds=3
oe=() od=() pe=() pd=()
for ((r = 1; r <= rounds; ++r)); do
    ours=$("$program" "$corpus")
    theirs=$(node "$here/qfs_peer_bench.js" "$peer" "$corpus")
    echo "round $r: $ours"
    echo "round $r: $theirs"
    oe+=("$(field encode_MBps "$ours")") od+=("$(field decode_MBps "$ours")")
    pe+=("$(field encode_MBps "$theirs")") pd+=("$(field decode_MBps "$theirs")")
done

awk -v oe="$(median "${oe[@]}")" -v od="$(median "${od[@]}")" \
    -v pe="$(median "${pe[@]}")" -v pd="$(median "${pd[@]}")" 'BEGIN {
    printf "qfs encode: korvane %.1f MB/s, qfs-compression@'"$version"' %.1f MB/s, ratio %.2fx (medians of '"$rounds"' rounds)\n", oe, pe, oe / pe
    printf "qfs decode: korvane %.1f MB/s, qfs-compression@'"$version"' %.1f MB/s, ratio %.2fx (medians of '"$rounds"' rounds)\n", od, pd, od / pd
}'
