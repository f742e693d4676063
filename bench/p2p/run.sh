#!/usr/bin/env bash
# Engine benchmarks: a download of at least 512 MiB from a fixture server on 127.0.0.1 through p2p.so
# against `curl -o` of the same URL (ratio of throughputs, goal >= 0.9), and the speed limit held over
# 10 s at 1024 KB/s and at 200 KB/s (achieved/limit, goal within 5%).
# Usage: bench/p2p/run.sh BUILD_DIR [MEGABYTES] [ROUNDS]
set -euo pipefail
build=$(cd "${1:?usage: run.sh BUILD_DIR [MEGABYTES] [ROUNDS]}" && pwd)
cmake --build "$build" --target p2p p2p_bench >/dev/null
bench="$build/bench/p2p/p2p_bench"
"$bench" throughput "${2:-1024}" "${3:-3}"
"$bench" limit 1024 10
"$bench" limit 200 10
