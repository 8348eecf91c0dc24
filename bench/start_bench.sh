#!/usr/bin/env bash
# Start with 1,000 and 10,000 checked rows on the real X11 hotkey service under Xvfb + openbox.
#
#   bench/start_bench.sh [BUILD_DIR] [ROWS...]     (default: build, 1000 10000)
set -euo pipefail
BUILD=${1:-build}
shift || true
. "$(dirname "$0")/x_session_bench.sh"
run_in_x_session "$BUILD" velmora_bench_start "$@"
