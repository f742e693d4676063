#!/usr/bin/env bash
# Times one PollTasks tick over N tasks and RestoreSavedState of N stored tasks, for N = 100 and 1000,
# with the fake engine and a real store; prints each against a baseline of the bare engine queries and
# record reads the same work needs, and the growth from 100 to 1000 tasks.
# Usage: bench/tasks/run.sh BUILD_DIR
set -euo pipefail
build=$(cd "${1:?usage: run.sh BUILD_DIR}" && pwd)
cmake --build "$build" --target tasks_bench >/dev/null
QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} "$build/bench/tasks/tasks_bench"
