#!/usr/bin/env bash
# Times the store's record operations against plain SQLite statements doing the same durable writes
# and reads on a keyed file, in the same run, and prints the ratios.
# Usage: bench/store/run.sh BUILD_DIR [TASKS]
set -euo pipefail
build=$(cd "${1:?usage: run.sh BUILD_DIR [TASKS]}" && pwd)
cmake --build "$build" --target store_bench >/dev/null
"$build/bench/store/store_bench" "${2:-100}"
