#!/usr/bin/env bash
# A target window frozen (SIGSTOP) while the whole program types a long text into it: the program stays
# responsive, Stop releases the hotkeys, Exit ends it promptly and the list is saved whole; and a SIGTERM while
# it types into the frozen window ends it just as promptly, the list saved.
#
#   frozen_target.sh VELMORA GRAB_PROBE
set -euo pipefail

VELMORA=$1
export GRAB_PROBE=$2
. "$(dirname "$0")/session.sh"
program_install "$VELMORA"

# Lower-case words only: should a key ever reach the main window, it could do nothing there.
long_text=$({ yes 'frozen target typing test' || true; } | head -c 1000000 | tr '\n' ' ')
printf '%s' "$long_text" >"$WORK/long.txt"
items=(
    "$(list_item "$long_text" 1 116 True)"
    "$(list_item "short" 2 117 True)"
    "$(list_item "unchecked row" 0 118 False)"
)
program_write_list "${items[@]}"
list_items "$PROGRAM_DIR/mouses.xml" >"$WORK/items.expected"

# run_frozen HOW: starts the program and a target, types the long text, freezes the target in the middle of it,
# then ends the program HOW ("keys": Stop and Exit through the main window; "sigterm").
run_frozen() {
    local how=$1
    local typed="$WORK/typed-$how"
    program_start || fail "$how: the program did not start"
    program_key alt+t
    wait_until 10 grabbed ctrl F5 || fail "$how: Start did not grab CTRL+F5"

    start_target xterm "$typed" || fail "$how: the target did not start"
    local target_pid=$TARGET_PID target_window=$XSESSION_WINDOW
    xdotool key ctrl+F5
    wait_until 20 size_at_least "$typed" 500 || fail "$how: the long text did not start arriving"
    kill -STOP "$target_pid"
    local frozen_at
    frozen_at=$(file_size "$typed")
    # The typist goes on into the frozen window for a while; it gives no sign of being stuck that could be awaited.
    sleep 1

    local started=$SECONDS
    xsession_log "the target froze at $frozen_at bytes"
    case "$how" in
    keys)
        program_key alt+p || fail "keys: the main window did not take the focus"
        xsession_log "Stop pressed"
        wait_until 5 released ctrl F5 || fail "keys: Stop did not release CTRL+F5 within 5 s"
        wait_until 5 released alt F6 || fail "keys: Stop did not release ALT+F6 within 5 s"
        program_key alt+x || fail "keys: the main window did not take the focus for Exit"
        program_wait_exit 10 || fail "keys: Exit did not end the program cleanly"
        ;;
    sigterm)
        kill -TERM "$PROGRAM_PID"
        program_wait_exit 10 || fail "sigterm: SIGTERM did not end the program cleanly"
        ;;
    esac
    xsession_log "ok   $how: the program ended $((SECONDS - started)) s after the target froze at $frozen_at bytes"

    list_items "$PROGRAM_DIR/mouses.xml" >"$WORK/items.saved"
    cmp -s "$WORK/items.saved" "$WORK/items.expected" ||
        fail "$how: the saved list differs: $(diff "$WORK/items.expected" "$WORK/items.saved")"
    [ -s "$PROGRAM_DIR/config.configxml" ] || fail "$how: the settings file was not written"

    # Thawed, the target reads what reached it: a beginning of the text, never anything else. A key pressed now is
    # the marker: once it arrives, so has everything the program sent before.
    kill -CONT "$target_pid"
    focus_window "$target_window" || fail "$how: the thawed target did not take the focus"
    xdotool key numbersign
    wait_until 20 ends_with_marker "$typed" || fail "$how: the marker key did not reach the thawed target"
    head -c -1 "$typed" >"$typed.text"
    typed="$typed.text"
    local got
    got=$(file_size "$typed")
    [ "$got" -ge "$frozen_at" ] || fail "$how: the target lost bytes it had"
    is_prefix "$typed" "$WORK/long.txt" ||
        fail "$how: the target holds something that is not the beginning of the text: $(cmp "$typed" "$WORK/long.txt" 2>&1)"
    [ "$got" -lt "${#long_text}" ] || fail "$how: the whole text arrived, so typing was not under way at the end"
    xsession_log "ok   $how: the target holds the first $got of ${#long_text} characters"
    xsession_stop "$target_pid"
}

ends_with_marker() {
    [ "$(tail -c 1 "$1")" = "#" ]
}

run_frozen keys
run_frozen sigterm
xsession_log "PASS: frozen target"
