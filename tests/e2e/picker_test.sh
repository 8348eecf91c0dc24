#!/usr/bin/env bash
# The picker of all rows under Xvfb + openbox + trayer, the main window hidden in the tray: opened by
# "velmora --pick" and by its hotkey CTRL+ALT+Space, it types the row chosen by words of it into the Qt edit that had
# the focus before, an unchecked row included and without Start; the row typed last comes first the next time; Esc
# types nothing (a row typed after it is the marker).
#
#   picker_test.sh VELMORA_BINARY TEST_TARGET GRAB_PROBE
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib/xsession.sh"
. "$here/lib/targets.sh"
. "$here/lib/program.sh"
export VELMORA_TEST_TARGET=$2 GRAB_PROBE=$3

unset WAYLAND_DISPLAY QT_QPA_PLATFORM SESSION_MANAGER
xsession_start || fail "no X session"
tmp=$XSESSION_DIR
xsession_spawn trayer --edge top --align right --widthtype pixel --width 100 --heighttype pixel --height 24 \
    >"$tmp/trayer.log" 2>&1
wait_until 10 xdotool search --class trayer >/dev/null || fail "trayer did not start"

program_install "$1"
hello='Hello, World!'
greeting='Grüße aus Köln, Ελλάδα'
program_write_list "$(list_item "$hello" 1 116 True)" "$(list_item "$greeting"$'\nsecond line' 0 0 False)"
program_start || fail "the main window did not appear"
program_key alt+t || fail "the main window did not take the focus"
wait_until 5 grabbed ctrl+alt space || fail "Start did not grab the picker's CTRL+ALT+Space"
xdotool windowminimize "$PROGRAM_WINDOW"
wait_until 5 bash -c "! xdotool search --onlyvisible --name '^Velmora 1\.1 \$' >/dev/null" ||
    fail "the main window did not go into the tray"

start_qt_target "$tmp/typed" || fail "the Qt target did not start"
target=$XSESSION_WINDOW
target_holds() { [ "$(cat "$tmp/typed" 2>/dev/null)" = "$1" ]; }
picker_active() { [ "$(xdotool getactivewindow getwindowname 2>/dev/null)" = "Velmora: type a row" ]; }

# pick HOW KEYS...: opens the picker (by the command or by the hotkey), waits until it has the focus, types the keys.
pick() {
    if [ "$1" = command ]; then
        "$PROGRAM_DIR/velmora" --pick || fail "velmora --pick failed"
    else
        xdotool key ctrl+alt+space
    fi
    wait_until 10 picker_active || fail "the picker ($1) did not take the focus"
    shift
    xdotool "$@"
}

# The unchecked second row, by words of its first line in any case, without its hotkey.
# xdotool's first remapped key may reach Qt before the new map does (seen: 'kln' for 'köln'): an ASCII word, then
# a Greek one whose first letter may go (λλ is in row 2 alone).
pick command type --delay 30 'AUS ελλ'
xdotool key Return
expected="$greeting"$'\nsecond line'
wait_until 10 target_holds "$expected" || fail "the picker typed '$(cat "$tmp/typed")', not '$expected'"
[ "$(xdotool getactivewindow)" = "$target" ] || fail "the target did not keep the focus"

# The row typed last comes first: Return alone types it again; Down then Return the first row.
pick hotkey key Return
expected="$expected$expected"
wait_until 10 target_holds "$expected" || fail "the hotkey's picker typed '$(cat "$tmp/typed")'"
pick hotkey key Down Return
expected="$expected$hello"
wait_until 10 target_holds "$expected" || fail "Down and Return typed '$(cat "$tmp/typed")'"

# Esc types nothing: the row the command types after it is the marker.
pick command key Escape
wait_until 5 bash -c "[ \"\$(xdotool getactivewindow)\" = $target ]" || fail "Esc did not give the focus back"
"$PROGRAM_DIR/velmora" --type-row 1 || fail "velmora --type-row 1 failed"
expected="$expected$hello"
wait_until 10 target_holds "$expected" || fail "after Esc the target holds '$(cat "$tmp/typed")'"
# Into a terminal: the picker's text follows the focus back to an xterm.
start_xterm_target "$tmp/term" || fail "the xterm did not start"
pick command type --delay 30 'hello'
xdotool key Return
wait_until 10 bash -c "[ \"\$(cat '$tmp/term')\" = '$hello' ]" || fail "the xterm got '$(cat "$tmp/term")'"
ok "the picker types the chosen row into the window that had the focus (a Qt edit, an xterm)"
