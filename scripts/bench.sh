#!/usr/bin/env bash
# bench.sh - builds the benchmarks (Release, the bench preset), runs every
# family against its peer and writes bench/RESULTS.md, the table of ratios.
# What measures one thread (the single-threaded mutex pairs, allocation on
# one thread) runs first in a process of its own: once a process has started
# a thread, glibc and the library never take their single-thread paths again.
# QORB_BENCH_REPETITIONS (default 5) sets the repetitions per benchmark.
set -eu
cd "$(dirname "$0")/.."
. scripts/host-setup.sh

ensure_build_tools || exit 1
ensure_bench_tools || exit 1

cmake --preset bench >/dev/null
cmake --build --preset bench
program=build/bench/bench/qorb32n_bench
results=$(mktemp -d)
trap 'rm -rf "${results}"' EXIT
repetitions=${QORB_BENCH_REPETITIONS:-5}
run() {
  "${program}" --benchmark_repetitions="${repetitions}" --benchmark_report_aggregates_only=true \
    --benchmark_out_format=json "$@"
}
one_thread='single_thread|threads:1$'
run --benchmark_filter="${one_thread}" --benchmark_out="${results}/single.json"
run --benchmark_filter="-${one_thread}" --benchmark_out="${results}/rest.json"
python3 bench/ratio_table.py "${results}/single.json" "${results}/rest.json" >bench/RESULTS.md
echo "wrote bench/RESULTS.md"
