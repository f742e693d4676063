#!/usr/bin/env bash
# Times the HTTP client and the marker search against plain libcurl and a plain byte search doing the
# same work in the same run, and prints the ratios.
# Usage: bench/web/run.sh BUILD_DIR
set -euo pipefail
build=$(cd "${1:?usage: run.sh BUILD_DIR}" && pwd)
cmake --build "$build" --target web_bench >/dev/null
"$build/bench/web/web_bench"
