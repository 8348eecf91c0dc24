#!/usr/bin/env bash
# Types three texts into the programs people type into, with Velmora's typist and with `xdotool type` at its
# default delay, each under a private Xvfb + openbox session:
#   mixed  2,000 characters: ASCII, symbols, accented Latin, CJK, an emoji, tabs, CR LF;
#   cjk    2,000 ideographs drawn from 300 (more than the free keycodes hold at once);
#   cyr    1,200 Cyrillic letters, both cases, and spaces.
# Targets: a raw xterm, the tests' Qt edit, mousepad (GTK), Firefox ESR and Chromium. Prints, for each: characters
# per second from the first key until the target holds the whole text, the keymap changes seen on the display, and
# how many runs arrived exact.
#
#   bench/typing_bench.sh [BUILD_DIR] [TARGETS] [TEXTS]     # default: build/, all targets, all texts
#   bench/typing_bench.sh build "xterm qt" "cjk"
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$(cd "${1:-$ROOT/build}" && pwd)
TARGETS=${2:-xterm qt mousepad firefox chromium}
TEXTS=${3:-mixed cjk cyr}
cmake --build "$BUILD" --target velmora_type_driver velmora_test_target velmora_keymap_watch >/dev/null
DRIVER="$BUILD/tests/e2e/driver/velmora_type_driver"
WATCH="$BUILD/bench/velmora_keymap_watch"
export VELMORA_TEST_TARGET="$BUILD/tests/e2e/target/velmora_test_target"

LIB="$ROOT/tests/e2e/lib"
. "$LIB/xsession.sh"
. "$LIB/targets.sh"
. "$LIB/texts.sh"
. "$LIB/clients.sh"
export LC_ALL=C.UTF-8

TEXTS_DIR=$(mktemp -d)
mixed_text 2000 4242 >"$TEXTS_DIR/mixed.in"
cjk_text 2000 300 300 >"$TEXTS_DIR/cjk.in"
perl -CS -e 'srand(1200); my @a = ((map { chr($_) } 0x410 .. 0x44F), " ");
    print join("", map { $a[int(rand(@a))] } 1 .. 1200)' >"$TEXTS_DIR/cyr.in"

# Every measurement gets a fresh X session: after thousands of keymap changes (xdotool changes the map for every
# character it lacks) the window manager is busy for minutes refetching the map.
fresh_session() {
    xsession_cleanup
    xsession_start 2>/dev/null
    trap 'xsession_cleanup; rm -rf "$TEXTS_DIR"' EXIT
    W="$XSESSION_DIR/bench"
    mkdir -p "$W"
    cp "$TEXTS_DIR"/*.in "$W/"
}

now_ns() {
    date +%s%N
}

# start_kind KIND OUT: a fresh target of the kind; the raw ones write what arrives to OUT.
start_kind() {
    local tries
    for tries in 1 2; do
        case "$1" in
        xterm | qt) start_target "$1" "$2" 2>>"$W/start.log" && return 0 ;;
        *) start_client "$1" "$W/$1" 2>>"$W/start.log" && return 0 ;;
        esac
        stop_kind "$1"
    done
    echo "typing_bench: the $1 target did not start:" >&2
    tail -n 20 "$W/start.log" >&2
    exit 1
}

stop_kind() {
    case "$1" in
    xterm | qt) xsession_stop "$TARGET_PID" ;;
    *) xsession_stop "$CLIENT_PID" ;;
    esac
}

# holds_whole KIND: whether the target holds the whole expected text (raw targets: byte for byte; programs: the
# character count, checked byte for byte at the end).
holds_whole() {
    case "$1" in
    xterm | qt) cmp -s "$OUT" "$EXPECTED" ;;
    # The editor is read by saving (Ctrl+S): only once the typist is done, so as not to press keys among its keys.
    mousepad) ! kill -0 "$pid" 2>/dev/null && client_holds "$1" "$COUNT" ;;
    *) client_holds "$1" "$COUNT" ;;
    esac
}

# progress KIND: something that changes while characters arrive.
progress() {
    case "$1" in
    xterm | qt) stat -c %s "$OUT" 2>/dev/null || echo 0 ;;
    *) xdotool getwindowname "$CLIENT_WINDOW" 2>/dev/null || true ;;
    esac
}

# measure KIND TEXT TYPIST: sets RATE, CHANGES, EXACT.
measure() {
    local kind=$1 text=$2 typist=$3
    fresh_session
    OUT="$W/$kind.out"
    EXPECTED="$W/$text.$kind"
    case "$kind" in
    xterm) expected_for xterm <"$W/$text.in" >"$EXPECTED" ;;
    *) expected_for qt <"$W/$text.in" >"$EXPECTED" ;;
    esac
    COUNT=$(wc -m <"$EXPECTED")
    start_kind "$kind" "$OUT"
    xsession_spawn "$WATCH" >"$W/watch.log"
    local watch=$XSESSION_LAST_PID
    wait_until 10 grep -q ready "$W/watch.log"

    local start_ns done_ns="" pid last="" last_change_ns seen now
    if [ "$typist" = velmora ]; then
        "$DRIVER" "$W/$text.in" >"$W/driver.out" &
    else
        start_ns=$(now_ns)
        xdotool type --file "$W/$text.in" &
    fi
    pid=$!
    last_change_ns=$(now_ns)
    local deadline=$((SECONDS + 600))
    while [ "$SECONDS" -lt "$deadline" ]; do
        now=$(now_ns)
        if holds_whole "$kind"; then
            done_ns=$now
            break
        fi
        seen=$(progress "$kind")
        if [ "$seen" != "$last" ]; then
            last=$seen
            last_change_ns=$now
        elif ! kill -0 "$pid" 2>/dev/null && [ $((now - last_change_ns)) -gt 3000000000 ]; then
            break # the typist is done and the target has been quiet for 3 s: it will not get the text
        fi
        sleep 0.005
    done
    wait "$pid" || true
    if [ "$typist" = velmora ]; then
        start_ns=$(sed -n 's/.*first_key_ns=\([0-9]*\).*/\1/p' "$W/driver.out")
    fi
    EXACT=no
    if [ -n "$done_ns" ]; then
        case "$kind" in
        xterm | qt) EXACT=yes ;;
        *)
            read_client "$kind" >"$W/got"
            if cmp -s "$W/got" "$EXPECTED"; then
                EXACT=yes
            else # kept for a look
                cp "$W/got" "${TMPDIR:-/tmp}/typing-bench-$kind-$text-$typist.got"
                cp "$EXPECTED" "${TMPDIR:-/tmp}/typing-bench-$kind-$text-$typist.expected"
            fi
            ;;
        esac
    else
        done_ns=$last_change_ns
    fi
    xsession_stop "$watch"
    stop_kind "$kind"
    CHANGES=$(grep -c keymap-change "$W/watch.log" || true)
    RATE=$((COUNT * 1000000000 / (done_ns - start_ns)))
}

# Velmora's typist is measured RUNS times (the median rate is shown, and how many runs were exact); xdotool, which
# takes 15 s or more per run, once.
RUNS=3
printf '%-9s %-6s %-24s %9s %15s %6s\n' target text typist "chars/s" "keymap changes" exact
for kind in $TARGETS; do
    for text in $TEXTS; do
        for typist in velmora xdotool; do
            runs=1
            label="xdotool type (12 ms)"
            if [ "$typist" = velmora ]; then
                runs=$RUNS
                label="Velmora, median"
            fi
            all_rates=()
            exact_runs=0
            for ((run = 0; run < runs; run++)); do
                measure "$kind" "$text" "$typist"
                all_rates+=("$RATE")
                [ "$EXACT" = yes ] && exact_runs=$((exact_runs + 1))
            done
            RATE=$(printf '%s\n' "${all_rates[@]}" | sort -n | sed -n "$(((runs + 1) / 2))p")
            printf '%-9s %-6s %-24s %9d %15d %6s\n' "$kind" "$text" "$label" "$RATE" "$CHANGES" "$exact_runs/$runs"
        done
    done
done
