#!/usr/bin/env bash
# Types the same 2,000-character mixed text (ASCII, symbols, accented Latin, CJK, emoji, tabs, CR LF) into an
# xterm and into a Qt text edit, with Velmora's typist and with `xdotool type` at its default delay, each under a
# private Xvfb + openbox session. Prints, for each: characters per second from the first key until the target holds
# the whole text, the keymap changes seen on the display (in the last run), and how many runs arrived exact.
#
#   bench/typing_bench.sh [BUILD_DIR]        # default: build/ (the needed targets are built first)
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$(cd "${1:-$ROOT/build}" && pwd)
cmake --build "$BUILD" --target velmora_type_driver velmora_test_target velmora_keymap_watch >/dev/null
DRIVER="$BUILD/tests/e2e/driver/velmora_type_driver"
WATCH="$BUILD/bench/velmora_keymap_watch"
export VELMORA_TEST_TARGET="$BUILD/tests/e2e/target/velmora_test_target"

LIB="$ROOT/tests/e2e/lib"
. "$LIB/xsession.sh"
. "$LIB/targets.sh"
. "$LIB/texts.sh"
export LC_ALL=C.UTF-8

xsession_start 2>/dev/null
W="$XSESSION_DIR/bench"
mkdir -p "$W"
mixed_text 2000 4242 >"$W/text.in"
TEXT=$(cat "$W/text.in")
CHARS=${#TEXT}
for kind in xterm qt; do
    expected_for "$kind" <"$W/text.in" >"$W/text.$kind"
done

now_ns() {
    date +%s%N
}

# measure KIND TYPIST: sets RATE, CHANGES, EXACT.
measure() {
    local kind=$1 typist=$2
    local out="$W/$kind-$typist.out" expected="$W/text.$kind"
    start_target "$kind" "$out" 2>/dev/null
    xsession_spawn "$WATCH" >"$W/watch.log"
    local watch=$XSESSION_LAST_PID
    wait_for_file "$W/watch.log" 10
    until grep -q ready "$W/watch.log"; do sleep 0.01; done

    local start_ns done_ns="" pid last_size=-1 last_change_ns size now
    if [ "$typist" = velmora ]; then
        "$DRIVER" "$W/text.in" >"$W/driver.out" &
    else
        start_ns=$(now_ns)
        xdotool type -- "$TEXT" &
    fi
    pid=$!
    last_change_ns=$(now_ns)
    local deadline=$((SECONDS + 600))
    while [ "$SECONDS" -lt "$deadline" ]; do
        now=$(now_ns)
        if cmp -s "$out" "$expected"; then
            done_ns=$now
            break
        fi
        size=$(stat -c %s "$out" 2>/dev/null || echo 0)
        if [ "$size" != "$last_size" ]; then
            last_size=$size
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
    sleep 0.5 # the keymap is put back a little after the last key
    xsession_stop "$watch"
    xsession_stop "$TARGET_PID"
    CHANGES=$(grep -c keymap-change "$W/watch.log" || true)
    if [ -n "$done_ns" ]; then
        EXACT=yes
    else
        EXACT=no
        done_ns=$last_change_ns
    fi
    RATE=$((CHARS * 1000000000 / (done_ns - start_ns)))
}

# Velmora's typist is measured RUNS times (the median rate is shown, and how many runs were exact); xdotool, which
# takes about 15 s per run, once.
RUNS=3
printf 'Typing %d characters (mixed text) on %s\n\n' "$CHARS" "$DISPLAY"
printf '%-8s %-26s %10s %15s %7s\n' target typist "chars/s" "keymap changes" exact
declare -A rates
for kind in xterm qt; do
    for typist in velmora xdotool; do
        runs=1
        label="xdotool type (12 ms)"
        if [ "$typist" = velmora ]; then
            runs=$RUNS
            label="Velmora (XTest), median"
        fi
        all_rates=()
        exact_runs=0
        for ((run = 0; run < runs; run++)); do
            measure "$kind" "$typist"
            all_rates+=("$RATE")
            [ "$EXACT" = yes ] && exact_runs=$((exact_runs + 1))
        done
        RATE=$(printf '%s\n' "${all_rates[@]}" | sort -n | sed -n "$(((runs + 1) / 2))p")
        rates[$kind-$typist]=$RATE
        printf '%-8s %-26s %10d %15d %7s\n' "$kind" "$label" "$RATE" "$CHANGES" "$exact_runs/$runs"
    done
done
echo
for kind in xterm qt; do
    printf '%s: Velmora is %d times as fast as xdotool type\n' "$kind" \
        $((rates[$kind-velmora] / (rates[$kind-xdotool] > 0 ? rates[$kind-xdotool] : 1)))
done
