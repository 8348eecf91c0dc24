#!/usr/bin/env bash
# The whole program on headless gnome-shell 43 with gsd-media-keys: Start adds the rows' hotkeys as GNOME custom
# shortcuts (one the desktop uses and a bare letter are refused, the user's own shortcut stays); a press types the
# row through the real RemoteDesktop portal (its dialog answered by the test) into a GTK 4 view (every character)
# and a Qt edit (the layout's characters; the others in one Warning that leaves the focus where it is); Stop removes
# the shortcuts; those of a killed copy go when the next copy starts.
#
#   gnome_hotkeys_test.sh VELMORA TEST_TARGET
set -euo pipefail

HERE="$(cd "$(dirname "$0")" && pwd)"
. "$HERE/../e2e/lib/xsession.sh"
. "$HERE/../e2e/lib/targets.sh"
. "$HERE/../e2e/lib/texts.sh"
. "$HERE/../e2e/lib/program.sh"
. "$HERE/lib/gnome.sh"
export LC_ALL=C.UTF-8

gnome_require gnome-shell /usr/libexec/xdg-desktop-portal-gnome /usr/libexec/gsd-media-keys ibus-daemon gsettings
env PATH=/usr/local/bin:/usr/bin:/bin python3 -c "import gi; gi.require_version('Gtk', '4.0')" 2>/dev/null || {
    echo "SKIP: python3-gi with gir1.2-gtk-4.0 is not installed"
    exit 77
}
gnome_start us
gnome_settings_daemon
session_copy_program "$1" "$2"
VELMORA="$SESSION_DIR/bin/$(basename "$1")"
TARGET="$SESSION_DIR/bin/$(basename "$2")"
FAIL_LOGS+=("$WORK/velmora.log")

FOLDER=/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings
MEDIA_KEYS=org.gnome.settings-daemon.plugins.media-keys
shortcut_set() { # PATH_NAME KEY VALUE
    session_run gsettings set "$MEDIA_KEYS.custom-keybinding:$FOLDER/$1/" "$2" "$3"
}
shortcuts() {
    session_run gsettings get "$MEDIA_KEYS" custom-keybindings
}
shortcuts_are() {
    [ "$(shortcuts)" = "$1" ]
}
shortcuts_have() {
    [[ "$(shortcuts)" == *"$1"* ]]
}
# The user's own shortcut, and one a killed copy left behind.
shortcut_set custom0 name "mine" && shortcut_set custom0 command "true" && shortcut_set custom0 binding "<Control>F6"
shortcut_set velmora-999999-row1 command "true" && shortcut_set velmora-999999-row1 binding "<Control>F7"
session_run gsettings set "$MEDIA_KEYS" custom-keybindings "['$FOLDER/custom0/', '$FOLDER/velmora-999999-row1/']"

GTK_TEXT="$(mixed_text 400 1804)"
# Row 1 CTRL+F5, row 2 CTRL+F6 (the user's), row 3 bare A, row 4 ALT+F9, row 5 unchecked.
PROGRAM_DIR="$SESSION_DIR/bin"
program_write_list "$(list_item "$GTK_TEXT" 1 116 True)" "$(list_item "held" 1 117 True)" \
    "$(list_item "bare" 0 65 True)" "$(list_item "qt row: é 漢 x" 2 120 True)" "$(list_item "never" 1 119 False)"
[ -z "$SESSION_USER" ] || chown "$SESSION_USER" "$PROGRAM_DIR/mouses.xml"

start_velmora() {
    session_spawn env QT_QPA_PLATFORM=wayland "$VELMORA" >>"$WORK/velmora.log" 2>&1
    VELMORA_PID=$XSESSION_LAST_PID
    gnome_focus_title "Velmora 1.1 " 30 || fail "the main window did not show"
}
start_velmora
grep -q "otkeys are keyboard shortcuts of GNOME's settings, added at Start" "$WORK/velmora.log" ||
    fail "the status line does not say how hotkeys work here: $(grep 'Wayland session' "$WORK/velmora.log")"
[[ "$(shortcuts)" == "['$FOLDER/custom0/']" ]] || fail "the killed copy's shortcut is still there: $(shortcuts)"
gnome_input keys 56+20 # Alt+T: Start
wait_until 10 shortcuts_have "-row4/']" || fail "Start added no shortcuts: $(shortcuts)"
# The program's process: runuser's child, or the process itself without runuser.
own=$(pgrep -P "$VELMORA_PID" || echo "$VELMORA_PID")
[[ "$(shortcuts)" == "['$FOLDER/custom0/', '$FOLDER/velmora-$own-row1/', '$FOLDER/velmora-$own-row4/']" ]] ||
    fail "unexpected shortcuts after Start: $(shortcuts)"
grep -q "Velmora row 2: another shortcut of the desktop has <Control>F6" "$WORK/velmora.log" ||
    fail "row 2's combination was not reported as held"
grep -q "Velmora row 3: a is not bound" "$WORK/velmora.log" || fail "the bare A of row 3 was not refused"
ok "[gnome] Start added rows 1 and 4 as GNOME shortcuts; CTRL+F6 held by the user's, bare A refused, leftover gone"

# CTRL+F5 in a GTK 4 view: gsd-media-keys runs the row command; the first text asks for the portal's permission.
session_spawn python3 "$SESSION_DIR/gtk_target.py" 4 "$WORK/gtk.out" velmora-gnome-gtk
{ wait_for_file "$WORK/gtk.out" 20 && gnome_focus_title velmora-gnome-gtk; } || fail "the GTK view did not start"
gnome_input keys 29+63
gnome_accept_remote_desktop 30 || fail "the portal's permission dialog was not answered"
printf '%s' "$GTK_TEXT" | expected_for qt >"$WORK/gtk.expected"
wait_file_equals "$WORK/gtk.out" "$WORK/gtk.expected" 60 || fail "row 1 did not arrive exactly in the GTK view"
ok "[gnome] CTRL+F5 typed row 1 ($(wc -m <"$WORK/gtk.expected") characters) exactly into GTK 4"

# ALT+F9 twice in a Qt edit: the layout's characters arrive, the others are named in one Warning per Start, shown
# once the text is typed (a new window takes the focus on GNOME).
session_spawn env QT_QPA_PLATFORM=wayland "$TARGET" "$WORK/qt.out" velmora-gnome-qt
{ wait_for_file "$WORK/qt.out" 20 && gnome_focus_title velmora-gnome-qt; } || fail "the Qt edit did not start"
gnome_input keys 56+67
printf 'qt row:   x' >"$WORK/qt.expected"
wait_file_equals "$WORK/qt.out" "$WORK/qt.expected" 30 || fail "row 4 did not arrive in the Qt edit"
warnings() {
    gnome_eval "global.get_window_actors().filter(a => a.meta_window.title === 'Warning').length"
}
one_warning() {
    [ "$(warnings)" = 1 ]
}
wait_until 10 one_warning || fail "no Warning about é 漢"
gnome_focus_title velmora-gnome-qt 10 || fail "the Qt edit did not take the focus back"
gnome_input keys 56+67
printf 'qt row:   xqt row:   x' >"$WORK/qt.expected"
wait_file_equals "$WORK/qt.out" "$WORK/qt.expected" 30 || fail "row 4 did not arrive a second time"
sleep 1
one_warning || fail "$(warnings) Warnings for two texts in one Start"
ok "[gnome] ALT+F9 typed row 4 into Qt twice; é 漢 named in one Warning, after the text"

# Stop (Alt+P) removes the shortcuts; a killed copy leaves them, and the next copy removes them.
gnome_focus_title "Velmora 1.1 " 10 || fail "the main window did not take the focus"
gnome_input keys 56+25
wait_until 10 shortcuts_are "['$FOLDER/custom0/']" || fail "Stop left shortcuts: $(shortcuts)"
gnome_input keys 56+20
wait_until 10 shortcuts_have "velmora-$own-row4/']" || fail "the second Start added no shortcuts"
kill -KILL "$own"
xsession_stop "$VELMORA_PID"
shortcuts_have "velmora-$own-row1" || fail "the killed copy's shortcuts vanished by themselves"
start_velmora
[[ "$(shortcuts)" == "['$FOLDER/custom0/']" ]] || fail "the next copy did not remove the killed one's: $(shortcuts)"
ok "[gnome] Stop removed the shortcuts; those of a killed copy went when the next copy started"
