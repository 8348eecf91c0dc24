#!/usr/bin/env bash
# The whole program under Xvfb + openbox (+ trayer for the tray): a copy of the built program in a temporary folder
# with a list of three rows (one unchecked), Start through its access key, the hotkeys typed into an xterm, the
# unchecked row's hotkey doing nothing, Stop, Exit, and then the list file and the settings file as written.
# Also: the tray toggle, minimising into the tray, hotkeys while a dialog is open and while hidden, and SIGTERM
# saving. Screenshots of the main window, the definition dialog and the About box go to OUT_DIR.
#
#   whole_program.sh VELMORA_BINARY GRAB_PROBE OUT_DIR
set -euo pipefail

velmora_binary=$1
grab_probe=$2
out_dir=$3
mkdir -p "$out_dir"

here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib/xsession.sh"
. "$here/lib/targets.sh"

fail() {
    echo "FAIL: $*" >&2
    if [ -f "$tmp/velmora.log" ]; then
        echo "--- velmora's output:" >&2
        cat "$tmp/velmora.log" >&2
    fi
    exit 1
}


# --- The display, the window manager and the tray ---------------------------------------------------------------

unset WAYLAND_DISPLAY QT_QPA_PLATFORM SESSION_MANAGER
xsession_start || fail "no X session"
tmp=$XSESSION_DIR
xsession_spawn trayer --edge top --align right --widthtype pixel --width 100 --heighttype pixel --height 24 \
    >"$tmp/trayer.log" 2>&1
trayer_pid=$XSESSION_LAST_PID
wait_until 10 xdotool search --class trayer >/dev/null || fail "trayer did not start"

# --- The program in its own folder, with a list of three rows --------------------------------------------------

b64() { printf '%s' "$1" | base64 -w 0; }
app="$tmp/app"
mkdir "$app"
cp "$velmora_binary" "$app/velmora"
text1='Hello, World!'
text2='not typed'
text3=$'line one\r\nline two'
cat >"$app/mouses.xml" <<XML
<?xml version="1.0" encoding="utf-8" standalone="yes"?><list versionNo="1.0" generated="test"><item FStr="$(b64 "$text1")" FHKCtrl="1" FHKChar="116" checked="True"/><item FStr="$(b64 "$text2")" FHKCtrl="2" FHKChar="117" checked="False"/><item FStr="$(b64 "$text3")" FHKCtrl="0" FHKChar="118" checked="True"/></list>
XML

start_velmora() {
    xsession_spawn "$app/velmora" >"$tmp/velmora.log" 2>&1
    velmora_pid=$XSESSION_LAST_PID
    main_window=$(timeout 15 xdotool search --sync --onlyvisible --name '^Velmora 1\.1 $' | head -n 1) ||
        fail "the main window did not appear"
}

focus() {
    local tries=0
    until [ "$(xdotool getactivewindow 2>/dev/null)" = "$1" ]; do
        tries=$((tries + 1))
        [ "$tries" -le 100 ] || fail "could not give the focus to window $1"
        xdotool windowactivate --sync "$1" >/dev/null 2>&1 || true
        sleep 0.05
    done
}
grabbed() { "$grab_probe" "$1" "$2"; }
free() { ! "$grab_probe" "$1" "$2"; }
visible() { xdotool search --onlyvisible --name '^Velmora 1\.1 $' >/dev/null; }
hidden() { ! visible; }
target_holds() { [ "$(cat "$tmp/typed" 2>/dev/null)" = "$1" ]; }

start_velmora
sleep 0.5
import -window "$main_window" "$out_dir/main-window.png"

# --- A second copy in the same folder says so and ends, leaving the first one alone -----------------------------

xsession_spawn "$app/velmora" >"$tmp/second.log" 2>&1
second_pid=$XSESSION_LAST_PID
box=$(timeout 10 xdotool search --sync --onlyvisible --name '^Warning$' | head -n 1) ||
    fail "a second copy in the same folder did not warn"
focus "$box"
xdotool key Return
status=0
wait "$second_pid" || status=$?
[ "$status" -ne 0 ] || fail "a second copy in the same folder did not end with a failure status"
grep -q 'already running' "$tmp/second.log" || fail "a second copy said: $(cat "$tmp/second.log")"
kill -0 "$velmora_pid" 2>/dev/null || fail "the first copy ended when a second one started"

# --- Start through its access key --------------------------------------------------------------------------------

focus "$main_window"
xdotool key alt+t
wait_until 5 grabbed ctrl F5 || fail "Start did not grab CTRL+F5"
wait_until 5 grabbed none F7 || fail "Start did not grab F7"
free alt F6 || fail "the unchecked row's ALT+F6 was grabbed"

# --- The target and the hotkeys ----------------------------------------------------------------------------------

start_xterm_target "$tmp/typed" || fail "the xterm target did not start"
target=$XSESSION_WINDOW

expected="$text1"
xdotool key ctrl+F5
wait_until 10 target_holds "$expected" || fail "CTRL+F5 typed '$(cat "$tmp/typed")', not '$expected'"

expected="$expected"$'line one\rline two'
xdotool key F7
wait_until 10 target_holds "$expected" || fail "F7 typed '$(cat "$tmp/typed")', not '$expected'"

# The unchecked row's hotkey is not ours: the key reaches the xterm as a key of its own, and nothing is typed.
xdotool key alt+F6
sleep 1
typed_now() { cat "$tmp/typed"; }
case "$(typed_now)" in
"$expected"*"$text2"*) fail "the unchecked row's ALT+F6 typed its text" ;;
"$expected"*) ;;
*) fail "after ALT+F6 the target holds '$(typed_now)'" ;;
esac
expected=$(cat "$tmp/typed"; printf x)
expected=${expected%x}

# --- The tray: a left click hides and shows; minimising hides into the tray; hotkeys work while hidden ----------

# The icon is the program's window that trayer embeds in its panel.
tray_icon=""
for window in $(xdotool search --class trayer 2>/dev/null); do
    icon=$(xwininfo -tree -id "$window" 2>/dev/null | awk '/"velmora": \("velmora"/ {print $1; exit}')
    if [ -n "$icon" ]; then
        tray_icon=$icon
    fi
done
if [ -n "$tray_icon" ]; then
    xdotool mousemove --window "$tray_icon" 8 8 click 1
    wait_until 5 hidden || fail "a click on the tray icon did not hide the window"
    xdotool key ctrl+F5
    expected="$expected$text1"
    focus "$target"
    wait_until 10 target_holds "$expected" || fail "CTRL+F5 while hidden typed '$(cat "$tmp/typed")'"
    xdotool mousemove --window "$tray_icon" 8 8 click 1
    wait_until 5 visible || fail "a second click on the tray icon did not show the window"

    xdotool windowminimize "$main_window"
    wait_until 5 hidden || fail "minimising did not hide the window into the tray"
    ! xprop -id "$main_window" WM_STATE 2>/dev/null | grep -q Iconic || fail "the window was only iconified"
    xdotool mousemove --window "$tray_icon" 8 8 click 1
    wait_until 5 visible || fail "the tray icon did not bring the minimised window back"
else
    echo "note: no tray icon found in trayer; the tray checks were skipped"
fi

# tray_toggles_with WHAT: with a dialog (WHAT) open, the tray icon still hides and shows the main window.
tray_toggles_with() {
    xdotool mousemove --window "$tray_icon" 8 8 click 1
    wait_until 5 hidden || fail "with $1 open, a click on the tray icon did not hide the window"
    xdotool mousemove --window "$tray_icon" 8 8 click 1
    wait_until 5 visible || fail "with $1 open, a second tray click did not show the window"
}

# --- A dialog open: the definition dialog's screenshot, and a hotkey typing meanwhile ----------------------------

focus "$main_window"
xdotool key alt+n
dialog=$(timeout 10 xdotool search --sync --onlyvisible --name '^New Text$' | head -n 1) ||
    fail "New did not open the definition dialog"
sleep 0.5
import -window "$dialog" "$out_dir/definition-dialog.png"
[ -z "$tray_icon" ] || tray_toggles_with "the definition dialog"
focus "$target"
xdotool key ctrl+F5
expected="$expected$text1"
wait_until 10 target_holds "$expected" || fail "CTRL+F5 with a dialog open typed '$(cat "$tmp/typed")'"
focus "$dialog"
xdotool key alt+c
wait_until 5 bash -c "! xdotool search --onlyvisible --name '^New Text$' >/dev/null" ||
    fail "Cancel did not close the definition dialog"

# --- The About box ----------------------------------------------------------------------------------------------

focus "$main_window"
xdotool mousemove --window "$main_window" 20 8 click 1
about=$(timeout 10 xdotool search --sync --onlyvisible --name '^About Velmora$' | head -n 1) ||
    fail "the menu's About did not open the About box"
sleep 0.5
import -window "$about" "$out_dir/about-box.png"
if [ -n "$tray_icon" ]; then
    tray_toggles_with "the About box"
    focus "$about"
fi
xdotool mousemove --window "$about" 300 8 click 1
wait_until 5 bash -c "! xdotool search --onlyvisible --name '^About Velmora$' >/dev/null" ||
    fail "a click on the About box's background did not close it"

# --- Stop, Exit, and what the files hold ------------------------------------------------------------------------

focus "$main_window"
xdotool key alt+p
wait_until 5 free ctrl F5 || fail "Stop did not release CTRL+F5"
wait_until 5 free none F7 || fail "Stop did not release F7"

focus "$main_window"
xdotool key alt+x
wait_until 10 bash -c "! kill -0 $velmora_pid 2>/dev/null" || fail "Exit did not end the program"
wait "$velmora_pid" || fail "the program ended with status $?"

check_files() {
    local items
    items=$(grep -o '<item [^>]*>' "$app/mouses.xml" | tr -d '\n')
    local want
    want="<item FStr=\"$(b64 "$text1")\" FHKCtrl=\"1\" FHKChar=\"116\" checked=\"True\"/>"
    want+="<item FStr=\"$(b64 "$text2")\" FHKCtrl=\"2\" FHKChar=\"117\" checked=\"False\"/>"
    want+="<item FStr=\"$(b64 "$text3")\" FHKCtrl=\"0\" FHKChar=\"118\" checked=\"True\"/>"
    [ "$(echo "$items" | sed 's# />#/>#g')" = "$want" ] || fail "$1: the list file holds: $(cat "$app/mouses.xml")"
    grep -Eq '^<config versionNo="1\.0" generated="[^"]+"><running minimize="false" stayontop="True" ?/></config>$' \
        "$app/config.configxml" || fail "$1: the settings file holds: $(cat "$app/config.configxml")"
}
check_files "after Exit"

# --- SIGTERM saves as Exit does -----------------------------------------------------------------------------------

# Without a tray, minimising only minimises: the window stays reachable. Then SIGTERM, while an action waits in a
# dialog: the dialog closes, the action ends, and the program saves and ends.
xsession_stop "$trayer_pid"
wait_until 10 bash -c "! xdotool search --class trayer >/dev/null 2>&1" || fail "trayer did not end"
start_velmora
xdotool windowminimize "$main_window"
iconic() { xprop -id "$main_window" WM_STATE 2>/dev/null | grep -q Iconic; }
wait_until 5 iconic || fail "without a tray, minimising did not minimise the window"
sleep 1
iconic || fail "without a tray, the minimised window did not stay minimised"
focus "$main_window"
focus "$main_window"
xdotool key alt+n
timeout 10 xdotool search --sync --onlyvisible --name '^New Text$' >/dev/null || fail "New did not open the dialog"
rm "$app/mouses.xml" "$app/config.configxml"
kill -TERM "$velmora_pid"
wait_until 10 bash -c "! kill -0 $velmora_pid 2>/dev/null" || fail "SIGTERM did not end the program"
wait "$velmora_pid" || fail "the program ended with status $? after SIGTERM"
check_files "after SIGTERM"

# --- No display: one clear line and a failure status ------------------------------------------------------------

status=0
env -u DISPLAY "$app/velmora" >"$tmp/nodisplay.log" 2>&1 || status=$?
[ "$status" -ne 0 ] || fail "without a display the program did not fail"
[ "$(wc -l <"$tmp/nodisplay.log")" -eq 1 ] && grep -q DISPLAY "$tmp/nodisplay.log" ||
    fail "without a display the program said: $(cat "$tmp/nodisplay.log")"

echo "PASS: the whole program; screenshots in $out_dir"
