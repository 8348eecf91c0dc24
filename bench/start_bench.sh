#!/usr/bin/env bash
# Start with 1,000 and 10,000 checked rows on the real X11 hotkey service under Xvfb + openbox.
#
#   bench/start_bench.sh [BUILD_DIR] [ROWS...]     (default: build, 1000 10000)
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD=${1:-build}
shift || true
BENCH="$BUILD/bench/velmora_bench_start"
if [ ! -x "$BENCH" ]; then
    cmake --build "$BUILD" --target velmora_bench_start >&2
fi
. "$ROOT/tests/e2e/lib/xsession.sh"
xsession_start 2>/dev/null
timeout 300 "$BENCH" "$@"
