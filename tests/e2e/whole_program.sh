#!/usr/bin/env bash
# The whole program under Xvfb + openbox (+ trayer for the tray): a copy of the built program in a temporary folder
# with a list of three rows (one unchecked), Start through its access key, the hotkeys typed into an xterm, the
# unchecked row's hotkey doing nothing, Stop, Exit, and then the list file and the settings file as written.
# Also: the tray toggle, minimising into the tray, hotkeys while a dialog is open and while hidden, and SIGTERM
# saving. The main window, the definition dialog and the About box must have their sizes; screenshots of them go to
# OUT_DIR for a person to look at and play no part in the verdict.
#
#   whole_program.sh VELMORA_BINARY GRAB_PROBE OUT_DIR
set -euo pipefail

velmora_binary=$1
export GRAB_PROBE=$2
out_dir=$3
mkdir -p "$out_dir"

here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib/xsession.sh"
. "$here/lib/targets.sh"
. "$here/lib/program.sh"

# --- The display, the window manager and the tray ---------------------------------------------------------------

unset WAYLAND_DISPLAY QT_QPA_PLATFORM SESSION_MANAGER
xsession_start || fail "no X session"
tmp=$XSESSION_DIR
xsession_spawn trayer --edge top --align right --widthtype pixel --width 100 --heighttype pixel --height 24 \
    >"$tmp/trayer.log" 2>&1
trayer_pid=$XSESSION_LAST_PID
FAIL_LOGS+=("$tmp/trayer.log")
wait_until 10 xdotool search --class trayer >/dev/null || fail "trayer did not start"

# --- The program in its own folder, with a list of three rows --------------------------------------------------

program_install "$velmora_binary"
text1='Hello, World!'
text2='not typed'
text3=$'line one\r\nline two'
items=("$(list_item "$text1" 1 116 True)" "$(list_item "$text2" 2 117 False)" "$(list_item "$text3" 0 118 True)")
program_write_list "${items[@]}"
printf '%s\n' "${items[@]}" >"$tmp/items.expected"

visible() { xdotool search --onlyvisible --name '^Velmora 1\.1 $' >/dev/null; }
hidden() { ! visible; }
target_holds() { [ "$(cat "$tmp/typed" 2>/dev/null)" = "$1" ]; }
window_gone() { ! xdotool search --onlyvisible --name "$1" >/dev/null; }

# inside_size_is WINDOW WIDTH HEIGHT: the window's own area (without the frame the window manager adds).
inside_size_is() {
    local size
    size=$(xwininfo -id "$1" | awk '/^  Width:/ { w = $2 } /^  Height:/ { h = $2 } END { print w "x" h }')
    [ "$size" = "$2x$3" ] || fail "window $1 is $size, not $2x$3"
}

# screenshot WINDOW NAME: a picture for a person to look at, taken once the window shows more than one colour; it
# plays no part in the verdict.
screenshot() {
    wait_until 5 painted "$1" "$out_dir/$2.png" || xsession_log "note: the screenshot $2 shows a blank window"
}
painted() {
    import -window "$1" "$2" 2>/dev/null && [ "$(identify -format '%k' "$2" 2>/dev/null || echo 0)" -gt 1 ]
}

program_start || fail "the main window did not appear"
main_window=$PROGRAM_WINDOW
# The client area is 556 x 343; the menu bar sits above it.
menu_height=$(($(xwininfo -id "$main_window" | awk '/^  Height:/ { print $2 }') - 343))
[ "$menu_height" -gt 0 ] && [ "$menu_height" -lt 60 ] || fail "the main window has a height of $((menu_height + 343))"
inside_size_is "$main_window" 556 $((343 + menu_height))
screenshot "$main_window" main-window

# --- A second copy in the same folder says so and ends, leaving the first one alone -----------------------------

xsession_spawn "$PROGRAM_DIR/velmora" >"$tmp/second.log" 2>&1
second_pid=$XSESSION_LAST_PID
box=$(timeout 10 xdotool search --sync --onlyvisible --name '^Warning$' | head -n 1) ||
    fail "a second copy in the same folder did not warn"
focus_window "$box" || fail "the warning did not take the focus"
xdotool key Return
status=0
wait "$second_pid" || status=$?
[ "$status" -ne 0 ] || fail "a second copy in the same folder did not end with a failure status"
grep -q 'already running' "$tmp/second.log" || fail "a second copy said: $(cat "$tmp/second.log")"
kill -0 "$PROGRAM_PID" 2>/dev/null || fail "the first copy ended when a second one started"

# --- Start through its access key --------------------------------------------------------------------------------

program_key alt+t || fail "the main window did not take the focus"
wait_until 5 grabbed ctrl F5 || fail "Start did not grab CTRL+F5"
wait_until 5 grabbed none F7 || fail "Start did not grab F7"
released alt F6 || fail "the unchecked row's ALT+F6 was grabbed"

# --- The target and the hotkeys ----------------------------------------------------------------------------------

start_xterm_target "$tmp/typed" || fail "the xterm target did not start"
target=$XSESSION_WINDOW

expected="$text1"
xdotool key ctrl+F5
wait_until 10 target_holds "$expected" || fail "CTRL+F5 typed '$(cat "$tmp/typed")', not '$expected'"

expected="$expected"$'line one\rline two'
xdotool key F7
wait_until 10 target_holds "$expected" || fail "F7 typed '$(cat "$tmp/typed")', not '$expected'"

# The unchecked row's hotkey is not ours: the key reaches the xterm as a key of its own (ESC [ 1 7 ; 3 ~), and
# nothing is typed. CTRL+F5 after it is the marker: the program handles its presses in order and types their texts
# in order, so had ALT+F6 typed anything, it would come before the marker's text.
xdotool key alt+F6
xdotool key ctrl+F5
expected="$expected"$'\e[17;3~'"$text1"
wait_until 10 target_holds "$expected" || fail "after ALT+F6 and CTRL+F5 the target holds '$(cat "$tmp/typed")'"

# --- The tray: a left click hides and shows; minimising hides into the tray; hotkeys work while hidden ----------

# The icon is the program's window that trayer embeds in its panel; trayer runs, so there must be one.
tray_icon=""
find_tray_icon() {
    local window
    for window in $(xdotool search --class trayer 2>/dev/null); do
        tray_icon=$(xwininfo -tree -id "$window" 2>/dev/null | awk '/"velmora": \("velmora"/ {print $1; exit}')
        [ -z "$tray_icon" ] || return 0
    done
    return 1
}
wait_until 10 find_tray_icon || fail "no tray icon of the program in trayer's panel"
click_tray() { xdotool mousemove --window "$tray_icon" 8 8 click 1; }

click_tray
wait_until 5 hidden || fail "a click on the tray icon did not hide the window"
xdotool key ctrl+F5
expected="$expected$text1"
focus_window "$target" || fail "the target did not take the focus"
wait_until 10 target_holds "$expected" || fail "CTRL+F5 while hidden typed '$(cat "$tmp/typed")'"
click_tray
wait_until 5 visible || fail "a second click on the tray icon did not show the window"

xdotool windowminimize "$main_window"
wait_until 5 hidden || fail "minimising did not hide the window into the tray"
! xprop -id "$main_window" WM_STATE 2>/dev/null | grep -q Iconic || fail "the window was only iconified"
click_tray
wait_until 5 visible || fail "the tray icon did not bring the minimised window back"

# tray_toggles_with WHAT: with a dialog (WHAT) open, the tray icon still hides and shows the main window.
tray_toggles_with() {
    click_tray
    wait_until 5 hidden || fail "with $1 open, a click on the tray icon did not hide the window"
    click_tray
    wait_until 5 visible || fail "with $1 open, a second tray click did not show the window"
}

# --- A dialog open: its size, the tray, a hotkey typing meanwhile ----------------------------------------------------------

program_key alt+n || fail "the main window did not take the focus for New"
dialog=$(timeout 10 xdotool search --sync --onlyvisible --name '^New Text$' | head -n 1) ||
    fail "New did not open the definition dialog"
# The dialog keeps its controls' places and grows below them for a row's options (wider where the font needs it).
size=$(xwininfo -id "$dialog" | awk '/^  Width:/ { w = $2 } /^  Height:/ { h = $2 } END { print w, h }')
[ "${size#* }" = 392 ] && [ "${size% *}" -ge 293 ] || fail "the definition dialog is $size, not at least 293 by 392"
screenshot "$dialog" definition-dialog
tray_toggles_with "the definition dialog"
focus_window "$target" || fail "the target did not take the focus"
xdotool key ctrl+F5
expected="$expected$text1"
wait_until 10 target_holds "$expected" || fail "CTRL+F5 with a dialog open typed '$(cat "$tmp/typed")'"
focus_window "$dialog" || fail "the dialog did not take the focus"
xdotool key alt+c
wait_until 5 window_gone '^New Text$' || fail "Cancel did not close the definition dialog"

# --- The About box ----------------------------------------------------------------------------------------------

focus_window "$main_window" || fail "the main window did not take the focus"
xdotool mousemove --window "$main_window" 20 8 click 1
about=$(timeout 10 xdotool search --sync --onlyvisible --name '^About Velmora$' | head -n 1) ||
    fail "the menu's About did not open the About box"
inside_size_is "$about" 322 140
screenshot "$about" about-box
tray_toggles_with "the About box"
focus_window "$about" || fail "the About box did not take the focus"
xdotool mousemove --window "$about" 300 8 click 1
wait_until 5 window_gone '^About Velmora$' || fail "a click on the About box's background did not close it"

# --- Stop, Exit, and what the files hold ------------------------------------------------------------------------

program_key alt+p || fail "the main window did not take the focus for Stop"
wait_until 5 released ctrl F5 || fail "Stop did not release CTRL+F5"
wait_until 5 released none F7 || fail "Stop did not release F7"

program_key alt+x || fail "the main window did not take the focus for Exit"
program_wait_exit 10 || fail "Exit did not end the program cleanly"

check_files() {
    list_items "$PROGRAM_DIR/mouses.xml" >"$tmp/items.saved"
    cmp -s "$tmp/items.saved" "$tmp/items.expected" || fail "$1: the list file holds: $(cat "$PROGRAM_DIR/mouses.xml")"
    grep -Eq '^<config versionNo="1\.0" generated="[^"]+"><running minimize="false" stayontop="True" ?/></config>$' \
        "$PROGRAM_DIR/config.configxml" || fail "$1: the settings file holds: $(cat "$PROGRAM_DIR/config.configxml")"
}
check_files "after Exit"

# --- SIGTERM saves as Exit does -----------------------------------------------------------------------------------

# Without a tray, minimising only minimises: the window stays minimised. A hotkey typing after the minimising is the
# marker that the program has handled it. Then SIGTERM, while an action waits in a dialog: the dialog closes, the
# action ends, and the program saves and ends.
xsession_stop "$trayer_pid"
wait_until 10 bash -c "! xdotool search --class trayer >/dev/null 2>&1" || fail "trayer did not end"
program_start || fail "the main window did not appear without a tray"
main_window=$PROGRAM_WINDOW
program_key alt+t || fail "the main window did not take the focus"
wait_until 5 grabbed ctrl F5 || fail "Start did not grab CTRL+F5 without a tray"
xdotool windowminimize "$main_window"
iconic() { xprop -id "$main_window" WM_STATE 2>/dev/null | grep -q Iconic; }
wait_until 5 iconic || fail "without a tray, minimising did not minimise the window"
focus_window "$target" || fail "the target did not take the focus"
xdotool key ctrl+F5
expected="$expected$text1"
wait_until 10 target_holds "$expected" || fail "CTRL+F5 with the window minimised typed '$(cat "$tmp/typed")'"
iconic || fail "without a tray, the minimised window did not stay minimised"
program_key alt+n || fail "the minimised window did not come back to take the focus"
timeout 10 xdotool search --sync --onlyvisible --name '^New Text$' >/dev/null || fail "New did not open the dialog"
rm "$PROGRAM_DIR/mouses.xml" "$PROGRAM_DIR/config.configxml"
kill -TERM "$PROGRAM_PID"
program_wait_exit 10 || fail "SIGTERM did not end the program cleanly"
check_files "after SIGTERM"

# --- No display: one clear line and a failure status ------------------------------------------------------------

status=0
env -u DISPLAY "$PROGRAM_DIR/velmora" >"$tmp/nodisplay.log" 2>&1 || status=$?
[ "$status" -ne 0 ] || fail "without a display the program did not fail"
[ "$(wc -l <"$tmp/nodisplay.log")" -eq 1 ] && grep -q DISPLAY "$tmp/nodisplay.log" ||
    fail "without a display the program said: $(cat "$tmp/nodisplay.log")"

echo "PASS: the whole program; screenshots in $out_dir"
