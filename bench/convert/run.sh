#!/usr/bin/env bash
# Times `kestrovan -a -o` against `cp` on a generated FLV of at least 200 MB and prints the throughput
# ratio and the converter's peak resident memory. Usage: bench/convert/run.sh BUILD_DIR [MEGABYTES]
set -euo pipefail
build=$(cd "${1:?usage: run.sh BUILD_DIR [MEGABYTES]}" && pwd)
cmake --build "$build" --target kestrovan kestrovan_bench >/dev/null
"$build/bench/convert/kestrovan_bench" "$build/bin/kestrovan" "${2:-220}"
