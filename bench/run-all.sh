#!/usr/bin/env bash
# Runs every benchmark: bench/<area>/run.sh BUILD_DIR for each area that has one.
# Usage: bench/run-all.sh [build-dir]   (default: build)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build}" && pwd)
for script in "$here"/*/run.sh; do
  echo "== $(basename "$(dirname "$script")")"
  bash "$script" "$build"
done
