#!/usr/bin/env bash
# Types a 2,000-character mixed text (tests/e2e/lib/texts.sh: ASCII, symbols, accented Latin, CJK, an emoji, tabs,
# CR LF) through the virtual-keyboard typist on headless Sway (as tests/wayland/lib/sway.sh runs it: as the
# unprivileged test user when run as root) into foot (a raw tty copying every byte to a file), the tests' Qt edit,
# Firefox ESR and Chromium (Wayland), with each pacing of the typist asked for. Prints, for each target, pacing and
# start:
#   cold  the driver makes its keyboard and types at once: characters per second from the driver's start until the
#         target holds the whole text (what the typing test sees);
#   warm  the keyboard was made 1 s before the text (the running program's case): from the text queued until the
#         target holds it;
# the median of the runs that arrived exact, the typist's own time from its first request to its last key (median),
# and how many runs arrived exact. A browser keeps its page for the whole run and its field's count and hash (window
# title) are checked after each text; Chromium gets the text without the characters beyond U+FFFF, which its key
# events cannot carry.
#
#   bench/wayland_typing_bench.sh [BUILD_DIR] [TARGETS] [PACINGS]   # default: build/, all four targets, "default"
#   VELMORA_BENCH_RUNS=7 bench/wayland_typing_bench.sh build "foot qt" "old=500,0,100,30 default"
# PACINGS: NAME=NEW,BEFORE,AFTER,BREAK (milliseconds, see TVirtualKeyboardPacing) or "default" (the typist's own).
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$(cd "${1:-$ROOT/build}" && pwd)
TARGETS=${2:-foot qt firefox chromium}
PACINGS=${3:-default}
RUNS=${VELMORA_BENCH_RUNS:-5}
cmake --build "$BUILD" --target velmora_vk_type_driver velmora_test_target >/dev/null
. "$ROOT/tests/e2e/lib/clients.sh"
. "$ROOT/tests/wayland/lib/sway.sh"
. "$ROOT/bench/lib/figures.sh"
session_require "foot" foot

sway_test_start "$BUILD/tests/wayland/velmora_vk_type_driver" "$BUILD/tests/e2e/target/velmora_test_target" 2>/dev/null
DRIVER="$SESSION_DIR/bin/velmora_vk_type_driver"
TARGET="$SESSION_DIR/bin/velmora_test_target"
mixed_text 2000 4242 >"$WORK/mixed.in"
perl -CS -pe 's/[^\x{0}-\x{FFFF}]//g' <"$WORK/mixed.in" >"$WORK/bmp.in"
session_own "$WORK"

# type_text PACING START FILE: the driver types FILE with the pacing (cold or warm start) in the background; its
# output in $WORK/driver.out, its pid in DRIVER_PID.
type_text() {
    local pacing=() after=()
    [ "$1" = default ] || pacing=(env "VELMORA_VK_PACING=${1#*=}")
    [ "$2" = cold ] || after=(--after-ms 1000)
    session_run "${pacing[@]}" "$DRIVER" "${after[@]}" "$3" >"$WORK/driver.out" 2>"$WORK/driver.err" &
    DRIVER_PID=$!
}

# record PACING START END_NS EXACT: adds one run's figures (END_NS: when the target held the text; EXACT: 1 or 0).
record() {
    local key="$KIND $1 $2" from chars
    wait "$DRIVER_PID" || true
    from=$(sed -n "s/.* $([ "$2" = cold ] && echo start || echo queued)_ns=\([0-9]*\).*/\1/p" "$WORK/driver.out")
    chars=$(wc -m <"$TEXT")
    runs[$key]=$((${runs[$key]:-0} + 1))
    if [ "$4" = 1 ] && [ -n "$from" ]; then
        exact[$key]=$((${exact[$key]:-0} + 1))
        rates[$key]="${rates[$key]:-} $((chars * 1000000000 / ($3 - from)))"
    fi
    own[$key]="${own[$key]:-} $(sed -n 's/.*first_key_ns=\([0-9]*\) last_key_ns=\([0-9]*\).*/\1 \2/p' "$WORK/driver.out" |
        awk '{ printf "%d", ($2 - $1) / 1000000 }')"
}

# raw_case PACING START: a fresh foot or Qt edit, the text typed into it, polled until it holds the text.
raw_case() {
    local out="$WORK/$KIND.out" title="velmora-bench-$KIND" end="" deadline=$((SECONDS + 30))
    rm -f "$out"
    case "$KIND" in
    foot)
        expected_for xterm <"$TEXT" >"$WORK/expected"
        session_spawn foot -T "$title" -- sh -c \
            'stty -icanon -echo -icrnl -ixon -isig -iexten min 1; exec cat > "$1"' sh "$out" >/dev/null 2>&1
        ;;
    qt)
        expected_for qt <"$TEXT" >"$WORK/expected"
        session_spawn "$TARGET" "$out" "$title"
        ;;
    esac
    local target=$XSESSION_LAST_PID
    wait_for_file "$out" 20 && sway_focus_title "$title" || { echo "the $KIND target did not start" >&2; exit 1; }
    type_text "$1" "$2" "$TEXT"
    end=$(arrival_ns "$out" "$WORK/expected" "$deadline")
    record "$1" "$2" "${end:-0}" "$([ -n "$end" ] && echo 1 || echo 0)"
    [ -n "$end" ] || cp "$out" "${TMPDIR:-/tmp}/wayland-bench-$KIND-${1%%=*}-$2.got"
    xsession_stop "$target"
}

# browser_start: the browser shows the test page and has taken a key (it drops those of its first moments).
browser_start() {
    local dir="$WORK/$KIND" tries=0
    rm -rf "$dir"
    mkdir -p "$dir"
    write_client_page "$dir/page.html"
    printf x >"$dir/probe.in"
    browser_command "$KIND" "$dir" "file://$dir/page.html"
    session_own "$dir"
    case "$KIND" in
    chromium) BROWSER_COMMAND+=(--ozone-platform=wayland) ;;
    firefox) BROWSER_COMMAND=(env MOZ_ENABLE_WAYLAND=1 "${BROWSER_COMMAND[@]}") ;;
    esac
    session_spawn "${BROWSER_COMMAND[@]}" >"$dir/browser.log" 2>&1
    BROWSER_PID=$XSESSION_LAST_PID
    sway_focus_title "velmora 0 .*" 90 || { echo "the $KIND page did not show" >&2; exit 1; }
    until session_run "$DRIVER" "$dir/probe.in" >/dev/null && wait_until 3 sway_title_is "velmora [1-9].*"; do
        ((++tries < 20)) || { echo "no key arrived in $KIND" >&2; exit 1; }
    done
    printf 'x%.0s' $(seq "$(swaymsg_run -t get_tree | grep -o '"name": "velmora [0-9]*' | sed 's/.* //')") \
        >"$WORK/expected"
}

# browser_case PACING START: the text typed into the page; polled until its title shows the whole field's count and
# hash, or shows no change for 15 s after the driver ended.
browser_case() {
    local title last="" seen changed=$SECONDS end=""
    expected_for qt <"$TEXT" >>"$WORK/expected"
    title="velmora $(wc -m <"$WORK/expected") $(text_hash <"$WORK/expected")"
    type_text "$1" "$2" "$TEXT"
    while [ $((SECONDS - changed)) -lt 15 ] || kill -0 "$DRIVER_PID" 2>/dev/null; do
        seen=$(swaymsg_run -t get_tree | grep -o '"name": "velmora [^"]*' || true)
        if [[ "$seen" == "\"name\": \"$title" || "$seen" == "\"name\": \"$title "* ]]; then # Firefox adds its name
            end=$(now_ns)
            break
        fi
        [ "$seen" = "$last" ] || { last=$seen changed=$SECONDS; }
        sleep 0.01
    done
    record "$1" "$2" "${end:-0}" "$([ -n "$end" ] && echo 1 || echo 0)"
    if [ -z "$end" ]; then # the page holds something else from now on: a fresh one for the next text
        echo "$KIND ${1%%=*} $2: expected \"$title\", the page shows ${last#*: }" >&2
        xsession_stop "$BROWSER_PID"
        browser_start
    fi
}

declare -A runs=() exact=() rates=() own=()
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg); $RUNS runs" >&2
for ((run = 0; run < RUNS; run++)); do
    for KIND in $TARGETS; do
        TEXT="$WORK/mixed.in"
        [ "$KIND" != chromium ] || TEXT="$WORK/bmp.in"
        case "$KIND" in firefox | chromium) browser_start ;; esac
        for pacing in $PACINGS; do
            for start in cold warm; do
                case "$KIND" in
                foot | qt) raw_case "$pacing" "$start" ;;
                *) browser_case "$pacing" "$start" ;;
                esac
            done
        done
        case "$KIND" in firefox | chromium) xsession_stop "$BROWSER_PID" ;; esac
    done
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)" >&2

printf '%-9s %-28s %-5s %9s %14s %6s\n' target pacing start "chars/s" "typist ms" exact
for KIND in $TARGETS; do
    for pacing in $PACINGS; do
        for start in cold warm; do
            key="$KIND $pacing $start"
            # shellcheck disable=SC2086 # numbers separated by spaces
            printf '%-9s %-28s %-5s %9s %14s %6s\n' "$KIND" "$pacing" "$start" "$(median ${rates[$key]:-})" \
                "$(median ${own[$key]:-})" "${exact[$key]:-0}/${runs[$key]:-0}"
        done
    done
done
