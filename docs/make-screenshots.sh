#!/usr/bin/env bash
# Redraws docs/main-window.png and docs/batch-window.png with the offscreen platform.
# Usage: docs/make-screenshots.sh <build dir>
set -euo pipefail
build=${1:?build directory}
docs=$(cd "$(dirname "$0")" && pwd)
cmake --build "$build" --target window_screenshots
QT_QPA_PLATFORM=offscreen "$build/resolve/window_screenshots" "$docs"
