#!/usr/bin/env bash
# The cost of recording the history: the same benchmarks with
# TQ_REGISTRY_HISTORY=off and with the default (100,000 changes kept), and
# the ratio of their real times:
#   - one durable flag write (registry_service_bench, FlagWrite);
#   - a recursive copy and a restore of trees of 1k and 10k keys
#     (maintenance_bench).
# usage: bench/history_cost.sh BUILD_DIR
set -euo pipefail
build=$(cd "${1:?usage: history_cost.sh BUILD_DIR}" && pwd)

# times BENCH FILTER HISTORY: "name real_time_ns" lines
times() {
  TQ_REGISTRY_HISTORY=$3 "$build/bench/$1" --benchmark_filter="$2" --benchmark_format=csv \
      --benchmark_min_time=1 2>/dev/null |
    awk -F, '/^"/ { gsub(/"/, "", $1); sub(/\/iterations:[0-9]+/, "", $1);
                    scale = $5 == "ms" ? 1e6 : $5 == "us" ? 1e3 : 1; print $1, $3 * scale }'
}

for bench in "registry_service_bench FlagWrite" \
             "maintenance_bench ^(Copy|Restore)/tree/(1000|10000)/"; do
  set -- $bench
  join <(times "$1" "$2" off | sort) <(times "$1" "$2" 100000 | sort)
done | awk '{ printf "%-40s off %10.0f ns   on %10.0f ns   %.2fx\n", $1, $2, $3, $3 / $2 }'
