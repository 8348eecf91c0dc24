#!/usr/bin/env bash
# The focus moved to another window in the middle of a long text: the typist stops, the rest of the text is not
# typed there, and what the first window got is the text's beginning.
#
#   focus_moved.sh TYPE_DRIVER
set -euo pipefail

DRIVER=$1
. "$(dirname "$0")/session.sh"

{ yes 'focus moves away now' || true; } | head -c 1000000 | tr '\n' ' ' >"$WORK/text.in"

start_target xterm "$WORK/second.out" || fail "the second target did not start"
second_window=$XSESSION_WINDOW
second_pid=$TARGET_PID
start_target xterm "$WORK/first.out" || fail "the first target did not start"
first_window=$XSESSION_WINDOW

"$DRIVER" "$WORK/text.in" >"$WORK/driver.out" 2>"$WORK/driver.err" &
driver_pid=$!
wait_until 20 size_at_least "$WORK/first.out" 500 ||
    fail "the text did not start arriving: $(cat "$WORK/driver.out" "$WORK/driver.err")"
xdotool windowactivate --sync "$second_window" >/dev/null 2>&1 || xdotool windowfocus --sync "$second_window"
moved_at=$(file_size "$WORK/first.out")

status=0
timeout 30 tail --pid="$driver_pid" -f /dev/null || fail "the typist did not stop after the focus moved"
wait "$driver_pid" || status=$?
[ "$status" -eq 0 ] || fail "the driver failed: $(cat "$WORK/driver.err")"
sleep 1

[ "$(file_size "$WORK/second.out")" -eq 0 ] ||
    fail "the window that took the focus received: $(head -c 200 "$WORK/second.out")"
got=$(file_size "$WORK/first.out")
[ "$got" -lt "$(file_size "$WORK/text.in")" ] || fail "the whole text was typed although the focus moved"
is_prefix "$WORK/first.out" "$WORK/text.in" ||
    fail "the first window holds something that is not the beginning of the text"
grep -q 'interrupted=1' "$WORK/driver.out" || fail "the typist did not count the text as cut short: $(cat "$WORK/driver.out")"
xsession_log "ok: the focus moved after $moved_at bytes; the first window holds $got, the second none"
xsession_stop "$second_pid"
[ "$first_window" != "$second_window" ]
xsession_log "PASS: focus moved"
