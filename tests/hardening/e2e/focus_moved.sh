#!/usr/bin/env bash
# The focus moved to another window in the middle of a long text, for an xterm and for a Qt edit: the typist stops,
# nothing of the text arrives in the window that took the focus, and what the first window got is the text's
# beginning.
#
#   focus_moved.sh TYPE_DRIVER TEST_TARGET
set -euo pipefail

DRIVER=$1
export VELMORA_TEST_TARGET=$2
. "$(dirname "$0")/session.sh"

# moved_case KIND TEXT_FILE: the driver types the text into a first window; once 500 bytes arrived, the focus moves
# to a second window.
moved_case() {
    local kind=$1 text=$2
    local first="$WORK/$kind-first.out" second="$WORK/$kind-second.out" expected="$WORK/$kind.expected"
    expected_for "$kind" <"$text" >"$expected"
    start_target "$kind" "$second" || fail "$kind: the second target did not start"
    local second_window=$XSESSION_WINDOW second_pid=$TARGET_PID
    start_target "$kind" "$first" || fail "$kind: the first target did not start"
    local first_pid=$TARGET_PID

    "$DRIVER" "$text" >"$WORK/driver.out" 2>"$WORK/driver.err" &
    local driver_pid=$!
    wait_until 20 size_at_least "$first" 500 ||
        fail "$kind: the text did not start arriving: $(cat "$WORK/driver.out" "$WORK/driver.err")"
    # The Qt edit answers the typist's pings at once: held still while the focus moves, it keeps the typist waiting,
    # so that the move falls in the middle of the text however fast the edit is.
    [ "$kind" != qt ] || kill -STOP "$first_pid"
    xdotool windowactivate --sync "$second_window" >/dev/null 2>&1 || xdotool windowfocus --sync "$second_window"
    [ "$kind" != qt ] || kill -CONT "$first_pid"
    local moved_at
    moved_at=$(file_size "$first")

    local status=0
    timeout 30 tail --pid="$driver_pid" -f /dev/null || fail "$kind: the typist did not stop after the focus moved"
    wait "$driver_pid" || status=$?
    [ "$status" -eq 0 ] || fail "$kind: the driver failed: $(cat "$WORK/driver.err")"

    # A key pressed now is the marker: whatever the typist sent came before it.
    xdotool key numbersign
    wait_until 10 [ -s "$second" ] || fail "$kind: the marker key did not reach the window that took the focus"
    [ "$(cat "$second")" = "#" ] ||
        fail "$kind: the window that took the focus received: $(head -c 200 "$second")"
    local got
    got=$(file_size "$first")
    [ "$got" -lt "$(file_size "$expected")" ] || fail "$kind: the whole text was typed although the focus moved"
    is_prefix "$first" "$expected" ||
        fail "$kind: the first window holds something that is not the beginning of the text"
    grep -q 'interrupted=1' "$WORK/driver.out" ||
        fail "$kind: the typist did not count the text as cut short: $(cat "$WORK/driver.out")"
    ok "$kind: the focus moved after $moved_at bytes; the first window holds $got, the second none"
    xsession_stop "$first_pid"
    xsession_stop "$second_pid"
}

# For the xterm, a text long enough that the faster typist cannot finish it before the focus moves; for the Qt edit,
# many distinct characters, so that the typist waits for the edit's answer between runs.
{ yes 'focus moves away now' || true; } | head -c 1000000 | tr '\n' ' ' >"$WORK/long.in"
moved_case xterm "$WORK/long.in"
distinct_cjk 2000 >"$WORK/distinct.in"
moved_case qt "$WORK/distinct.in"
xsession_log "PASS: focus moved"
