#!/usr/bin/env bash
# Prints the benchmark figures. Usage: scripts/run-bench.sh [build dir]
set -euo pipefail
build=${1:-build}
export QT_QPA_PLATFORM=offscreen LANG=C.UTF-8
exec "$build/bench/ruvaso_bench" --sqlite3 "$(command -v sqlite3)" --ruvaso "$build/ruvaso"
