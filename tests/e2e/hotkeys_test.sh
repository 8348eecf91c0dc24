#!/usr/bin/env bash
# System-wide hotkeys through the real X11 backend and the real typist, pressed with xdotool, typed into an xterm.
#
#   hotkeys_test.sh HOTKEY_DRIVER
set -euo pipefail

DRIVER=$1
LIB="$(dirname "$0")/lib"
. "$LIB/xsession.sh"
. "$LIB/targets.sh"
export LC_ALL=C.UTF-8

# No X server to talk to: the driver says what to do instead of crashing.
if message=$(DISPLAY=:9999 "$DRIVER" "1:1:116:x" </dev/null 2>&1); then
    echo "FAIL without a display the driver did not fail" >&2
    exit 1
elif [[ "$message" != *"Cannot open the X display"*"set DISPLAY"* ]]; then
    echo "FAIL without a display the message was: $message" >&2
    exit 1
fi

xsession_start
WORK="$XSESSION_DIR/hotkeys"
mkdir -p "$WORK"

# start_driver NAME ROW...: a driver registering the rows, its commands on fd 7 (the last one started), its output
# in $WORK/NAME.out; waits for READY.
start_driver() {
    local name=$1
    shift
    rm -f "$WORK/$name.in" "$WORK/$name.out"
    mkfifo "$WORK/$name.in"
    exec 7<>"$WORK/$name.in" # opened for writing first, so that the driver's open does not wait
    # A background job's standard input is /dev/null unless its own command redirects it.
    xsession_spawn bash -c 'exec "$@" <"$0"' "$WORK/$name.in" "$DRIVER" "$@" >"$WORK/$name.out" 2>"$WORK/$name.err"
    DRIVER_PID=$XSESSION_LAST_PID
    wait_for_line "$WORK/$name.out" READY || fail "the driver $name did not report READY"
}

# wait_for_line FILE LINE [SECONDS] [COUNT]: until FILE holds COUNT (default 1) lines that equal LINE.
wait_for_line() {
    local file=$1 line=$2 seconds=${3:-20} count=${4:-1}
    wait_until "$seconds" lines_at_least "$file" "$line" "$count" && return 0
    xsession_log "timed out waiting for \"$line\" in $file"
    cat "$file" "${file%.out}.err" >&2 2>/dev/null || true
    return 1
}

lines_at_least() {
    [ "$(grep -cx "$2" "$1" 2>/dev/null)" -ge "$3" ]
}

presses() {
    grep -c '^PRESS ' "$1" || true
}

# The driver hears nothing but its own grabs and handles the X events in order, and the typist types the texts in
# the order of their presses: once the text of a marker hotkey pressed last has arrived, every earlier press has
# been heard and typed. That is how this script shows that something did not happen.

# expect_text NAME TARGET_FILE TEXT: until the target holds exactly TEXT.
expect_text() {
    printf '%s' "$3" >"$WORK/$1.expected"
    wait_file_equals "$2" "$WORK/$1.expected" 20
}

# --- Ctrl+F5 types the upper of two rows with that combination; Stop gives the key back to the target.
target="$WORK/ctrl.txt"
start_xterm_target "$target" || fail "the xterm target did not start"
start_driver ctrl "1:1:116:Hello, hotkey! 123" "0:1:117:unchecked" "1:1:116:lower row" "1:2:117:alt six"
if ! grep -qx 'ROW 0 Registered' "$WORK/ctrl.out" || ! grep -qx 'ROW 2 HeldByEarlierRow' "$WORK/ctrl.out" ||
    ! grep -qx 'ROW 3 Registered' "$WORK/ctrl.out" || grep -q '^ROW 1 ' "$WORK/ctrl.out"; then
    fail "ctrl: unexpected registrations: $(tr '\n' ' ' <"$WORK/ctrl.out")"
fi
xdotool key ctrl+F5
expect_text ctrl1 "$target" "Hello, hotkey! 123" && ok "ctrl+F5 types the upper row's text" ||
    fail "ctrl+F5 did not type the upper row's text exactly"
xdotool key alt+F6
expect_text ctrl2 "$target" "Hello, hotkey! 123alt six" && ok "alt+F6 types its row" || fail "alt+F6"

# NumLock and CapsLock on: the same presses still match, and the text arrives in its own case.
xdotool key Num_Lock Caps_Lock
xdotool key ctrl+F5
expect_text locks "$target" "Hello, hotkey! 123alt sixHello, hotkey! 123" && ok "NumLock and CapsLock on still match" ||
    fail "with NumLock and CapsLock on"
xdotool key Num_Lock Caps_Lock

echo stop >&7
wait_for_line "$WORK/ctrl.out" STOPPED
before=$(presses "$WORK/ctrl.out")
xdotool key ctrl+F5
# xterm writes Ctrl+F5 as the escape sequence ESC [ 1 5 ; 5 ~. The server gives a key to a grab or to the focus,
# never to both: the key arriving in the target is the proof that the driver did not get it.
expect_text stopped "$target" "Hello, hotkey! 123alt sixHello, hotkey! 123"$'\e[15;5~' &&
    ok "after Stop ctrl+F5 reaches the target as a plain key" || fail "after Stop ctrl+F5 did not reach the target"
[ "$(presses "$WORK/ctrl.out")" = "$before" ] || fail "after Stop a press still reached the driver"
echo start >&7
wait_for_line "$WORK/ctrl.out" READY 20 2 || fail "a second Start did not report READY"
xdotool key ctrl+F5
expect_text restarted "$target" "Hello, hotkey! 123alt sixHello, hotkey! 123"$'\e[15;5~'"Hello, hotkey! 123" &&
    ok "a second Start registers again" || fail "a second Start"
echo delete 0 >&7 # a row above goes while running: ALT+F6 still types its own row
wait_for_line "$WORK/ctrl.out" DELETED || fail "the driver did not delete the row"
xdotool key alt+F6
expect_text deleted "$target" "Hello, hotkey! 123alt sixHello, hotkey! 123"$'\e[15;5~'"Hello, hotkey! 123alt six" &&
    ok "after a row above is deleted while running, alt+F6 still types its own row" ||
    fail "after a row above was deleted, alt+F6 typed another row's text"
echo quit >&7
exec 7>&-
xsession_stop "$DRIVER_PID"
xsession_stop "$TARGET_PID"

# --- A combination another client holds: reported as such, presses go to that client, nothing crashes.
target="$WORK/held.txt"
start_xterm_target "$target" || fail "the xterm target did not start"
start_driver other --no-typing "1:1:118:other's"
other_pid=$DRIVER_PID
exec 8>&7 7>&-
start_driver held "1:1:118:must not arrive" "1:1:119:F8 text"
if ! grep -qx 'ROW 0 HeldElsewhere' "$WORK/held.out" || ! grep -qx 'ROW 1 Registered' "$WORK/held.out"; then
    fail "held: unexpected registrations: $(tr '\n' ' ' <"$WORK/held.out")"
fi
xdotool key ctrl+F7
wait_for_line "$WORK/other.out" "PRESS 2 118" 5 || fail "held: the other client did not get its press"
# CTRL+F8 is the marker.
xdotool key ctrl+F8
expect_text held "$target" "F8 text" && ok "a combination held elsewhere is refused and nothing breaks" ||
    fail "held: the driver's own hotkey did not type"
if [ "$(presses "$WORK/held.out")" != 1 ] || ! kill -0 "$DRIVER_PID" 2>/dev/null; then
    fail "held: the driver heard the other client's combination or died"
fi
echo quit >&7
exec 7>&- 8>&-
xsession_stop "$DRIVER_PID"
xsession_stop "$other_pid"
xsession_stop "$TARGET_PID"

# --- A bare-key hotkey whose text holds its own key: typed exactly once, and nothing more before a marker.
target="$WORK/bare.txt"
start_xterm_target "$target" || fail "the xterm target did not start"
bare="a bare A: aAaA, and again a"
start_driver bare "1:0:65:$bare" "1:1:116:|"
xdotool key a
expect_text bare "$target" "$bare" || fail "bare key: the text did not arrive exact"
xdotool key ctrl+F5
expect_text bare_marker "$target" "$bare|" && [ "$(presses "$WORK/bare.out")" = 2 ] ||
    fail "bare key: more arrived after the text ($(presses "$WORK/bare.out") presses): $(od -c "$target" | head -5)"
ok "a bare-key hotkey types its text exactly once"
xdotool key a
expect_text bare2 "$target" "$bare|$bare" && ok "the bare key still works after its own text" ||
    fail "bare key: the grab did not come back after typing"

# --- Holding a hotkey: every auto-repeat types the text again, after the release.
echo quit >&7
exec 7>&-
xsession_stop "$DRIVER_PID"
start_driver repeat "1:1:116:r" "1:1:117:|"
xdotool keydown ctrl keydown F5
# Held for a while: the server repeats the key after 660 ms, 25 times a second. The repeats are reported only at the
# release, so no event tells the script that enough of them happened.
sleep 1.2
xdotool keyup F5 keyup ctrl
xdotool key ctrl+F6
wait_for_line "$WORK/repeat.out" "PRESS 2 117" 10 || fail "repeat: the marker was not heard"
count=$(($(presses "$WORK/repeat.out") - 1))
[ "$count" -ge 2 ] || fail "repeat: a held hotkey gave $count presses"
expect_text repeat "$target" "$bare|$bare$(printf 'r%.0s' $(seq "$count"))|" &&
    ok "a held hotkey typed its text $count times" || fail "repeat: $count presses did not type the text $count times"
echo quit >&7
exec 7>&-
xsession_stop "$DRIVER_PID"
xsession_stop "$TARGET_PID"

# --- The keyboard mapping changes in steps (F5 moves to another keycode): the hotkey follows the key.
target="$WORK/mapping.txt"
start_xterm_target "$target" || fail "the xterm target did not start"
start_driver mapping "1:1:116:moved" "1:1:117:|"
old=$(xmodmap -pk | awk '$3 == "(F5)" && !found { print $1; found = 1 }')
xmodmap -e "keycode $old = F9" -e "keycode 200 = F5"
# The marker's key kept its keycode; once its text arrives, the driver has handled the new mapping.
xdotool key ctrl+F6
expect_text mapping_marker "$target" "|" || fail "mapping: the marker hotkey did not type"
xdotool key ctrl+F5
expect_text mapping "$target" "|moved" && ok "the hotkey follows its key to a new keycode" ||
    fail "mapping: no text after F5 moved to another keycode"
xmodmap -e "keycode 200 =" -e "keycode $old = F5"
echo quit >&7
exec 7>&-
xsession_stop "$DRIVER_PID"
xsession_stop "$TARGET_PID"
