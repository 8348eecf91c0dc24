#!/usr/bin/env bash
# Typing through the real xdg-desktop-portal-gnome's RemoteDesktop on headless gnome-shell 43 with a German layout
# (AltGr characters), its permission dialog answered by the test: into a Qt edit (keys through the layout: its
# characters exact, the others named), into GTK 4 and GTK 3 text views with GTK's default input method (the text
# through Velmora's IBus engine: every character exact, capitals, symbols and characters the layout lacks alike),
# and into a GTK 4 form, where a Tab moves to the next entry and a Return activates it.
#
#   gnome_typing_test.sh RD_TYPE_DRIVER TEST_TARGET
set -euo pipefail

HERE="$(cd "$(dirname "$0")" && pwd)"
. "$HERE/../e2e/lib/xsession.sh"
. "$HERE/../e2e/lib/targets.sh"
. "$HERE/../e2e/lib/texts.sh"
. "$HERE/lib/gnome.sh"
export LC_ALL=C.UTF-8

gnome_require gnome-shell /usr/libexec/xdg-desktop-portal-gnome ibus-daemon dbus-daemon gsettings
for version in 3.0 4.0; do
    env PATH=/usr/local/bin:/usr/bin:/bin python3 -c "import gi; gi.require_version('Gtk', '$version')" 2>/dev/null &&
        continue
    echo "SKIP: python3-gi with gir1.2-gtk-$version is not installed"
    exit 77
done
gnome_start de
session_copy_program "$1" "$2"
DRIVER="$SESSION_DIR/bin/$(basename "$1")"
TARGET="$SESSION_DIR/bin/$(basename "$2")"

# start_edit KIND NAME: a Qt edit (qt), a GTK text view (3, 4) or a GTK 4 form (form) that has the focus.
start_edit() {
    local kind=$1 name=$2
    case "$kind" in
    qt) session_spawn env QT_QPA_PLATFORM=wayland "$TARGET" "$WORK/$name.out" "$name" ;;
    form) session_spawn python3 "$SESSION_DIR/gtk_target.py" 4 "$WORK/$name.out" "$name" form ;;
    *) session_spawn python3 "$SESSION_DIR/gtk_target.py" "$kind" "$WORK/$name.out" "$name" ;;
    esac
    { wait_for_file "$WORK/$name.out" 20 && gnome_focus_title "$name"; } || fail "$name: the edit did not start"
}

# The driver types the files named on its input, one at a time, all through one portal session.
fifo_open "$WORK/driver.in"
DRIVER_FD=$FIFO_FD
session_spawn_reading "$WORK/driver.in" env VELMORA_INPUT_METHOD=1 "$DRIVER" - >"$WORK/driver.out" \
    2>"$WORK/driver.err"
TYPED=0
FAIL_LOGS+=("$WORK/driver.out" "$WORK/driver.err")

# type_file NAME: types $WORK/NAME.in into the focused edit and waits until the driver is done.
type_file() {
    echo "$WORK/$1.in" >&"$DRIVER_FD"
    TYPED=$((TYPED + 1))
    wait_until 90 grep -qx "typed $TYPED" "$WORK/driver.out" || fail "$1: the driver did not finish typing"
}

# Qt takes keys: through the layout, AltGr included; the characters the layout lacks are named (the German
# layout has ^ and ` only as dead keys).
QT_TEXT=$'Hello World, THE QUICK brown fox 0123456789 !"#$%&\'()*+,-./:;<=>?[]^_`{|}~ end\tZ y\r\nÄÖÜäöüß @€{[]}\\~|µ²³ café ñ 漢 😀.'
printf '%s' "$QT_TEXT" >"$WORK/qt.in"
start_edit qt velmora-qt
echo "$WORK/qt.in" >&"$DRIVER_FD"
TYPED=1
# The first text opens the portal session, and the desktop asks.
gnome_accept_remote_desktop 30 || fail "the portal's permission dialog was not answered"
gnome_focus_title velmora-qt 10 || true
wait_until 90 grep -qx "typed 1" "$WORK/driver.out" || fail "qt: the driver did not finish typing"
printf '%s' "$QT_TEXT" | expected_for qt | sed 's/ café ñ 漢 😀\./ caf   ./; s/[`^]//g' >"$WORK/qt.expected"
wait_file_equals "$WORK/velmora-qt.out" "$WORK/qt.expected" 20 ||
    fail "qt: the text that arrived is not the layout's characters of the text"
grep -q '^problem: 6 characters could not be typed (^ ` é ñ 漢 😀)' "$WORK/driver.out" ||
    fail "qt: the characters the layout lacks were not named: $(cat "$WORK/driver.out")"
ok "[gnome] Qt: the layout's $(wc -m <"$WORK/qt.expected") characters exact (AltGr ones included), ^ \` é ñ 漢 😀 named"

# GTK with the default input method: everything, twice into GTK 4.
check_gtk() {
    local kind=$1 name=$2 text=$3
    printf '%s' "$text" >"$WORK/$name.in"
    start_edit "$kind" "$name"
    type_file "$name"
    printf '%s' "$text" | expected_for qt >"$WORK/$name.expected"
    wait_file_equals "$WORK/$name.out" "$WORK/$name.expected" 20 ||
        fail "$name: the text that arrived is not the text typed"
    ok "[gnome] GTK $kind: $(wc -m <"$WORK/$name.expected") characters exact"
}
check_gtk 4 velmora-gtk4-a "$(mixed_text 600 1801)$QT_TEXT"
check_gtk 4 velmora-gtk4-b "$(mixed_text 600 1802)"
check_gtk 3 velmora-gtk3 "$(mixed_text 600 1803)$QT_TEXT"
[ "$(grep -c '^problem' "$WORK/driver.out")" -eq 1 ] || fail "a GTK text was reported: $(cat "$WORK/driver.out")"

# A form: the Tab moves to the second entry, which gets the rest; the Return activates it.
printf 'user\tpässwörd 漢字\r\n' >"$WORK/form.in"
start_edit form velmora-form
type_file form
printf 'user|pässwörd 漢字|activated' >"$WORK/form.expected"
wait_file_equals "$WORK/velmora-form.out" "$WORK/form.expected" 20 || fail "form: the fields do not hold the text"
ok "[gnome] GTK 4 form: the Tab moved to the second entry, the Return activated it"

echo - >&"$DRIVER_FD"
wait_until 20 grep -q '^texts=' "$WORK/driver.out" || fail "the driver did not end"
xsession_log "driver: $(grep '^texts=' "$WORK/driver.out")"
