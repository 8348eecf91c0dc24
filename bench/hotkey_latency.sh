#!/usr/bin/env bash
# Hotkey latency under Xvfb + openbox: from the key's release to the first character and to the whole text,
# median over 50 presses per scenario.
#
#   bench/hotkey_latency.sh [BUILD_DIR] [PRESSES]     (default: build, 50)
set -euo pipefail
BUILD=${1:-build}
PRESSES=${2:-50}
. "$(dirname "$0")/x_session_bench.sh"
run_in_x_session "$BUILD" velmora_bench_hotkey_latency "$PRESSES"
