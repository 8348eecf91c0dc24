# Runs one benchmark program of the build in a fresh X session (Xvfb + openbox), building it first if needed.
# Sourced by the benchmark scripts here.
#
#   run_in_x_session BUILD_DIR TARGET ARGS...
run_in_x_session() {
    local build=$1 target=$2
    shift 2
    local program="$build/bench/$target"
    if [ ! -x "$program" ]; then
        cmake --build "$build" --target "$target" >&2
    fi
    . "$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/tests/e2e/lib/xsession.sh"
    xsession_start 2>/dev/null
    timeout 300 "$program" "$@"
}
