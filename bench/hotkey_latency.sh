#!/usr/bin/env bash
# Hotkey latency under Xvfb + openbox: from the key's release to the first character and to the whole text,
# median over 50 presses per scenario.
#
#   bench/hotkey_latency.sh [BUILD_DIR] [PRESSES]     (default: build, 50)
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD=${1:-build}
PRESSES=${2:-50}
BENCH="$BUILD/bench/velmora_bench_hotkey_latency"
if [ ! -x "$BENCH" ]; then
    cmake --build "$BUILD" --target velmora_bench_hotkey_latency >&2
fi
. "$ROOT/tests/e2e/lib/xsession.sh"
xsession_start 2>/dev/null
timeout 300 "$BENCH" "$PRESSES"
