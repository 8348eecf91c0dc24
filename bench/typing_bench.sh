#!/usr/bin/env bash
# Types four texts into the programs people type into, with Velmora's typist and with `xdotool type` at its
# default delay, each under a private Xvfb + openbox session:
#   plain  2,000 characters of ASCII prose: words, capitals, digits, punctuation (the yardstick for the others);
#   mixed  2,000 characters: ASCII, symbols, accented Latin, CJK, an emoji, tabs, CR LF;
#   cjk    2,000 ideographs drawn from 300 (more than the free keycodes hold at once with two levels of one group);
#   cyr    2,000 Cyrillic letters, both cases, and spaces.
# Targets: a raw xterm, the tests' Qt edit, mousepad (GTK), Firefox ESR and Chromium. Prints, for each: characters
# per second from the first key until the target holds the whole text (the median of the runs in which something
# arrived; for those not whole, until the last change seen in the target, and none in the editor), that rate against
# the plain text's in the same target, the keymap changes seen on the display, and how many runs arrived exact,
# arrived otherwise (what arrived is kept in $TMPDIR for a look), or could not be read at all (the target did not
# start or was not found, no first key was recorded: a fault of the harness or the machine, not of the typing).
#
#   bench/typing_bench.sh [BUILD_DIR] [TARGETS] [TEXTS] [TYPISTS]   # default: build/, all targets, texts, typists
#   bench/typing_bench.sh build "xterm qt" "plain cjk"
#   VELMORA_BASELINE_DRIVER=old/tests/e2e/driver/velmora_type_driver bench/typing_bench.sh build "" "" "velmora baseline"
# TYPISTS: velmora, xdotool, and baseline (the type driver of another build, to compare two builds in one run).
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$(cd "${1:-$ROOT/build}" && pwd)
TARGETS=${2:-xterm qt mousepad firefox chromium}
TEXTS=${3:-plain mixed cjk cyr}
TYPISTS=${4:-velmora xdotool}
cmake --build "$BUILD" --target velmora_type_driver velmora_test_target velmora_keymap_watch >/dev/null
DRIVER="$BUILD/tests/e2e/driver/velmora_type_driver"
WATCH="$BUILD/bench/velmora_keymap_watch"
export VELMORA_TEST_TARGET="$BUILD/tests/e2e/target/velmora_test_target"
case " $TYPISTS " in
*" baseline "*)
    [ -x "${VELMORA_BASELINE_DRIVER:-}" ] || {
        echo "typing_bench: the baseline typist needs VELMORA_BASELINE_DRIVER, a built velmora_type_driver" >&2
        exit 2
    }
    ;;
esac

LIB="$ROOT/tests/e2e/lib"
. "$LIB/xsession.sh"
. "$LIB/targets.sh"
. "$LIB/texts.sh"
. "$LIB/clients.sh"
export LC_ALL=C.UTF-8

TEXTS_DIR=$(mktemp -d)
perl -e 'srand(2000); my @w = qw(the quick brown fox jumps over lazy dog and then some more words of plain text
    typed into a window while we wait for it to arrive in full again today);
    my $t = ""; my $cap = 1;
    while (length($t) < 2000) {
        my $w = $w[int(rand(@w))]; $w = ucfirst($w) if $cap; $cap = 0;
        my $r = rand();
        $t .= $r < 0.06 ? "$w. " : $r < 0.1 ? "$w, " : $r < 0.13 ? int(rand(1000)) . " " : $r < 0.15 ? "($w) " : "$w ";
        $cap = 1 if $r < 0.06;
    }
    print substr($t, 0, 2000)' >"$TEXTS_DIR/plain.in"
mixed_text 2000 4242 >"$TEXTS_DIR/mixed.in"
cjk_text 2000 300 300 >"$TEXTS_DIR/cjk.in"
perl -CS -e 'srand(1200); my @a = ((map { chr($_) } 0x410 .. 0x44F), " ");
    print join("", map { $a[int(rand(@a))] } 1 .. 2000)' >"$TEXTS_DIR/cyr.in"

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

# start_kind KIND OUT: a fresh target of the kind; the raw ones write what arrives to OUT. False when it did not
# start (twice).
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
    return 1
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

# read_target KIND: what the target holds, on standard output; false when it cannot be read.
read_target() {
    case "$1" in
    xterm | qt) cat "$OUT" ;;
    *) read_client "$1" ;;
    esac
}

# measure KIND TEXT TYPIST: sets OUTCOME (exact, inexact or unreadable), RATE (empty when unreadable) and CHANGES.
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
    OUTCOME=unreadable
    RATE=""
    CHANGES=0
    start_kind "$kind" "$OUT" || return 0
    xsession_spawn "$WATCH" >"$W/watch.log"
    local watch=$XSESSION_LAST_PID
    wait_until 10 grep -q ready "$W/watch.log"

    local start_ns="" done_ns="" pid last last_change_ns seen now
    last=$(progress "$kind")
    case "$typist" in
    velmora) "$DRIVER" "$W/$text.in" >"$W/driver.out" & ;;
    baseline) "$VELMORA_BASELINE_DRIVER" "$W/$text.in" >"$W/driver.out" & ;;
    *)
        start_ns=$(now_ns)
        xdotool type --file "$W/$text.in" &
        ;;
    esac
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
        elif ! kill -0 "$pid" 2>/dev/null && [ $((now - last_change_ns)) -gt 10000000000 ]; then
            break # the typist is done and the target has been quiet for 10 s: it will not get the text
        fi
        sleep 0.005
    done
    wait "$pid" || true
    if [ "$typist" != xdotool ]; then
        start_ns=$(sed -n 's/.*first_key_ns=\([1-9][0-9]*\).*/\1/p' "$W/driver.out")
    fi
    if read_target "$kind" >"$W/got" 2>/dev/null && [ -n "$start_ns" ]; then
        if [ -n "$done_ns" ] && cmp -s "$W/got" "$EXPECTED"; then
            OUTCOME=exact
        else # kept for a look
            OUTCOME=inexact
            cp "$W/got" "${TMPDIR:-/tmp}/typing-bench-$kind-$text-$typist.got"
            cp "$EXPECTED" "${TMPDIR:-/tmp}/typing-bench-$kind-$text-$typist.expected"
            cp "$W/driver.out" "${TMPDIR:-/tmp}/typing-bench-$kind-$text-$typist.driver" 2>/dev/null || true
        fi
        # A run that did not arrive whole is timed to the last change seen in the target, if anything arrived and
        # the target shows its progress (the editor's title does not).
        local end_ns=${done_ns:-$last_change_ns}
        if [ -s "$W/got" ] && [ "$end_ns" -gt "$start_ns" ] && { [ -n "$done_ns" ] || [ "$kind" != mousepad ]; }; then
            RATE=$((COUNT * 1000000000 / (end_ns - start_ns)))
        fi
    fi
    xsession_stop "$watch"
    stop_kind "$kind"
    CHANGES=$(grep -c keymap-change "$W/watch.log" || true)
}

# median NUMBER...: the median (the lower one of an even count); "-" for none.
median() {
    if [ "$#" -eq 0 ]; then
        echo -
        return
    fi
    printf '%s\n' "$@" | sort -n | sed -n "$((($# + 1) / 2))p"
}

# Velmora's typist (and a baseline build's) is measured RUNS times (VELMORA_BENCH_RUNS, 3 unless set); xdotool, which
# takes 15 s or more per run, once. The runs of one target go in rounds over every text and typist, so that the
# machine's load of the moment weighs on all of them alike.
RUNS=${VELMORA_BENCH_RUNS:-3}
printf '%-9s %-6s %-24s %9s %9s %15s %6s %8s %11s\n' target text typist "chars/s" "vs plain" "keymap changes" exact \
    inexact unreadable
for kind in $TARGETS; do
    declare -A rates=() exact=() inexact=() unreadable=() changes=()
    for ((run = 0; run < RUNS; run++)); do
        for text in $TEXTS; do
            for typist in $TYPISTS; do
                if [ "$typist" = xdotool ] && [ "$run" -gt 0 ]; then
                    continue
                fi
                key="$text/$typist"
                measure "$kind" "$text" "$typist"
                [ -n "$RATE" ] && rates[$key]="${rates[$key]:-} $RATE"
                case "$OUTCOME" in
                exact) exact[$key]=$((${exact[$key]:-0} + 1)) ;;
                inexact) inexact[$key]=$((${inexact[$key]:-0} + 1)) ;;
                *) unreadable[$key]=$((${unreadable[$key]:-0} + 1)) ;;
                esac
                changes[$key]=$CHANGES
            done
        done
    done
    for text in $TEXTS; do
        for typist in $TYPISTS; do
            case "$typist" in
            velmora) runs=$RUNS label="Velmora, median" ;;
            baseline) runs=$RUNS label="baseline build, median" ;;
            *) runs=1 label="xdotool type (12 ms)" ;;
            esac
            key="$text/$typist"
            # shellcheck disable=SC2086 # the rates are numbers separated by spaces
            rate=$(median ${rates[$key]:-})
            plain=$(median ${rates[plain/$typist]:-})
            share=-
            if [ "$text" != plain ] && [ "$rate" != - ] && [ "$plain" != - ]; then
                share="$((rate * 100 / plain))%"
            fi
            printf '%-9s %-6s %-24s %9s %9s %15d %6s %8d %11d\n' "$kind" "$text" "$label" "$rate" "$share" \
                "${changes[$key]:-0}" "${exact[$key]:-0}/$runs" "${inexact[$key]:-0}" "${unreadable[$key]:-0}"
        done
    done
    unset rates exact inexact unreadable changes
done
