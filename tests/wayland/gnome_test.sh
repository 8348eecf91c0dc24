#!/usr/bin/env bash
# The whole program on headless gnome-shell 43 (German layout) with gsd-media-keys and the real
# xdg-desktop-portal-gnome, its permission dialog answered by the test: rows as GNOME custom shortcuts, typed through
# Velmora's IBus engine into GTK 4, GTK 3 and a GTK 4 form and as keys into Qt; what Start refuses and why, one
# Warning for the characters the layout lacks; Stop and the next start after a killed copy remove the shortcuts.
#
#   gnome_test.sh VELMORA TEST_TARGET
set -euo pipefail

HERE="$(cd "$(dirname "$0")" && pwd)"
. "$HERE/lib/gnome.sh"

gnome_start de
gnome_settings_daemon
user_engine=$(session_run ibus engine)

FOLDER=/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings
MEDIA_KEYS=org.gnome.settings-daemon.plugins.media-keys
shortcut() { session_run gsettings set "$MEDIA_KEYS.custom-keybinding:$FOLDER/$1/" binding "$2"; }
shortcuts() { session_run gsettings get "$MEDIA_KEYS" custom-keybindings; }
shortcuts_are() { [ "$(shortcuts)" = "$1" ]; }
shortcuts_have() { [[ "$(shortcuts)" == *"$1"* ]]; }
# The user's own shortcut, and those killed copies left behind (an earlier version named them by process id).
shortcut custom0 "<Control>F6" && shortcut velmora-999999-row1 "<Control>F7" &&
    shortcut velmora-00000000000000aa-row2 "<Control>F8"
session_run gsettings set "$MEDIA_KEYS" custom-keybindings \
    "['$FOLDER/custom0/', '$FOLDER/velmora-999999-row1/', '$FOLDER/velmora-00000000000000aa-row2/']"

# The German layout has ^ and ` as dead keys only.
QT_TEXT=$'Hello World, THE QUICK brown fox 0123456789 !"#$%&\'()*+,-./:;<=>?[]^_`{|}~ end\tZ y\r\nÄÖÜäöüß @€{[]}\\~|µ²³ café ñ 漢 😀.'
GTK_TEXT="$(mixed_text 500 1804)$QT_TEXT"
HELD_TEXT='Held Ctrl: Hello World, THE QUICK brown fox 0123456789 ÄÖÜäöüß @€{[]}\~| end.'
# Row 1 CTRL+F5, row 2 CTRL+F6 (the user's), row 3 bare A, row 4 ALT+F9, row 5 CTRL+F7, row 6 unchecked, 7-9 keys
# (row 7 paced at 40 ms), row 10 CTRL+F9 (a Tab first, which a Ctrl still held would make Ctrl+Tab).
keys_item() { list_item "$1" "$2" "$3" True | sed 's#/>$# keys="True"/>#'; }
session_program "$1" "$2" "$(list_item "$GTK_TEXT" 1 116 True)" "$(list_item "held" 1 117 True)" \
    "$(list_item "bare" 0 65 True)" "$(list_item "$QT_TEXT" 2 120 True)" \
    "$(list_item $'user\tpässwörd 漢字\r\n' 1 118 True)" "$(list_item "never" 1 119 False)" \
    "$(keys_item 'user{TAB}pass{ENTER}' 1 121 | sed 's#/>$# delay="40"/>#')" "$(keys_item '{KEY ctrl+a}new' 1 122)" \
    "$(keys_item 'ab{CURSOR}cd' 1 123)" \
    "$(keys_item "{TAB}${HELD_TEXT//[\{\}]/&&}" 1 120)"
session_start_program gnome_focus_title
grep -q "otkeys are keyboard shortcuts of GNOME's settings, added at Start" "$WORK/velmora.log" ||
    fail "the status line does not say how hotkeys work here"
shortcuts_are "['$FOLDER/custom0/']" || fail "the killed copy's shortcut is still there: $(shortcuts)"
gnome_input keys 56+20 # Alt+T: Start
wait_until 10 shortcuts_have "-row0/']" || fail "Start added no shortcuts: $(shortcuts)"
own=$(session_program_pid)
tag=$(shortcuts | grep -o 'velmora-[0-9a-f]\{16\}-row1/' | cut -d- -f2)
shortcuts_are "['$FOLDER/custom0/', '$FOLDER/velmora-$tag-row1/', '$FOLDER/velmora-$tag-row4/', \
'$FOLDER/velmora-$tag-row5/', '$FOLDER/velmora-$tag-row7/', '$FOLDER/velmora-$tag-row8/', \
'$FOLDER/velmora-$tag-row9/', '$FOLDER/velmora-$tag-row10/', '$FOLDER/velmora-$tag-row0/']" ||
    fail "unexpected shortcuts after Start: $(shortcuts)"
# The picker's shortcut (row0) runs "velmora --pick".
session_run gsettings get "$MEDIA_KEYS.custom-keybinding:$FOLDER/velmora-$tag-row0/" command | grep -q -- "--pick.$" ||
    fail "the picker's shortcut does not run --pick"
grep -q "Velmora row 2: another shortcut of the desktop has <Control>F6" "$WORK/velmora.log" ||
    fail "row 2's combination was not reported as held"
grep -q "Velmora row 3: a is not bound" "$WORK/velmora.log" || fail "the bare A of row 3 was not refused"
ok "[gnome] Start added rows 1, 4, 5, 7-10 and the picker as GNOME shortcuts; CTRL+F6 held by the user's, bare A" \
    "refused, leftover gone"

# press NAME KIND CHORD EXPECTED_FILE: a fresh edit (4, 3: GTK views, form: GTK 4 entries, qt), the hotkey (HELD/KEY:
# HELD down 1.5 s over KEY), the text.
press() {
    local name=$1 kind=$2 chord=$3 expected=$4
    case "$kind" in
    qt) session_spawn "$TARGET" "$WORK/$name.out" "$name" ;;
    form) session_spawn python3 "$SESSION_DIR/gtk_target.py" 4 "$WORK/$name.out" "$name" form ;;
    *) session_spawn python3 "$SESSION_DIR/gtk_target.py" "$kind" "$WORK/$name.out" "$name" ;;
    esac
    { wait_for_file "$WORK/$name.out" 20 && gnome_focus_title "$name"; } || fail "$name: the edit did not start"
    if [[ "$chord" == */* ]]; then
        gnome_input down "${chord%/*}" && gnome_input keys "${chord#*/}" && sleep 1.5 && gnome_input up "${chord%/*}"
    else
        gnome_input keys "$chord"
    fi
    # The first text of each copy opens its portal session, and the desktop asks.
    [ "$name" != gtk4 ] && [ "$name" != other ] || gnome_accept_remote_desktop 30 ||
        fail "the portal's permission dialog was not answered"
    wait_file_equals "$WORK/$name.out" "$expected" 60 || fail "$name: the text that arrived is not the one expected"
}
# After a text the application's shortcuts work as before: Ctrl held as people hold it, A selects all, X replaces it.
# (Ctrl and A sent at once can reach a GTK application as a bare "a": mutter 43 tells it the modifiers of the moment
# its input method hands the key on, with or without Velmora.)
printf x >"$WORK/x.expected"
select_all_then_x() {
    { gnome_input down 29 && gnome_input keys 30 && gnome_input up 29 && gnome_input keys 45; } &&
        wait_file_equals "$WORK/$1.out" "$WORK/x.expected" 20 || fail "$1: Ctrl+A after the text did not select all"
}
printf '%s' "$GTK_TEXT" | expected_for qt >"$WORK/gtk.expected"
press gtk4 4 29+63 "$WORK/gtk.expected"
press gtk3 3 29+63 "$WORK/gtk.expected"
select_all_then_x gtk3
ok "[gnome] CTRL+F5 typed row 1 ($(wc -m <"$WORK/gtk.expected") characters) exactly into GTK 4 and GTK 3; Ctrl+A" \
    "selected all in GTK 3 after it"
printf 'user|pässwörd 漢字|activated' >"$WORK/form.expected"
press form form 29+65 "$WORK/form.expected"
ok "[gnome] CTRL+F7 into a GTK 4 form: the Tab moved to the second entry, the Return activated it"

# Keys inside a text, into a fresh edit (evdev F10 68, F11 87, F12 88): a Tab and a Return; ab{CURSOR}cd leaves the
# caret after ab, where row 7 goes again; Ctrl+A selects all and "new" replaces it; then the user's own Ctrl+A.
keys_into() {
    local name=$1
    [ "$2" = qt ] && session_spawn "$TARGET" "$WORK/$name.out" "$name" ||
        session_spawn python3 "$SESSION_DIR/gtk_target.py" 4 "$WORK/$name.out" "$name"
    { wait_for_file "$WORK/$name.out" 20 && gnome_focus_title "$name"; } || fail "$name: the edit did not start"
    local keys=(29+68 29+88 29+68 29+87) i
    local texts=($'user\tpass\n' $'user\tpass\nabcd' $'user\tpass\nabuser\tpass\ncd' new)
    for i in 0 1 2 3; do
        gnome_input keys "${keys[i]}"
        printf '%s' "${texts[i]}" >"$WORK/$name.expected"
        wait_file_equals "$WORK/$name.out" "$WORK/$name.expected" 20 ||
            fail "$name: after ${keys[i]} the edit holds: $(od -c "$WORK/$name.out" | head -4)"
        # The caret's Left keys follow the last character unseen: a person's next Ctrl comes later than that.
        sleep 0.5
    done
    select_all_then_x "$name"
}
keys_into keys4 4
engine_back() { [ "$(session_run ibus engine)" = "$user_engine" ]; }
wait_until 5 engine_back || fail "the IBus engine is $(session_run ibus engine), not the user's $user_engine"
keys_into keysqt qt
ok "[gnome] Tab, Return, Ctrl+A, {CURSOR} into GTK 4 and Qt; then their own Ctrl+A and the IBus engine $user_engine"

# The picker, opened by its shortcut (CTRL+ALT+Space) over a fresh Qt edit, types the row a word of it chooses (row 3,
# "bare", whose own hotkey is refused) into that edit once the edit has the focus back.
session_spawn "$TARGET" "$WORK/picked.out" picked
{ wait_for_file "$WORK/picked.out" 20 && gnome_focus_title picked; } || fail "picked: the edit did not start"
gnome_input keys 29+56+57
picker_focused() { [ "$(gnome_focused)" = '"Velmora: type a row"' ]; }
wait_until 10 picker_focused || fail "the picker did not take the focus (it has: $(gnome_focused))"
gnome_input keys 48 30 19 18 28
printf bare >"$WORK/picked.expected"
wait_file_equals "$WORK/picked.out" "$WORK/picked.expected" 20 || fail "the picker typed: $(cat "$WORK/picked.out")"
ok "[gnome] the picker's shortcut opened it over a Qt edit; \"bare\" and Return typed row 3 into the edit"

printf '%s' "$QT_TEXT" | expected_for qt | sed 's/ café ñ 漢 😀\./ caf   ./; s/[`^]//g' >"$WORK/qt.expected"
press qt qt 56+67 "$WORK/qt.expected"
grep -q "6 characters could not be typed (^ \` é ñ 漢 😀)" "$WORK/velmora.log" || fail "qt: the lacking were not named"
warnings() { gnome_eval "global.get_window_actors().filter(a => a.meta_window.title === 'Warning').length"; }
one_warning() { [ "$(warnings)" = 1 ]; }
wait_until 10 one_warning || fail "no Warning after the Qt text"
# GNOME gives a new window the focus, a moment after it appears; the user then clicks back into the edit. Taken back
# before that moment, the focus went to the Warning again, and the second text with it.
warning_focused() { [ "$(gnome_focused)" = '"Warning"' ]; }
wait_until 10 warning_focused || fail "the Warning did not take the focus (it has: $(gnome_focused))"
# A second text in the same Start: no second Warning.
gnome_focus_title qt 10 && gnome_input keys 56+67 || fail "the Qt edit did not take the focus back"
cat "$WORK/qt.expected" "$WORK/qt.expected" >"$WORK/qt2.expected"
wait_file_equals "$WORK/qt.out" "$WORK/qt2.expected" 30 ||
    fail "qt: row 4 did not arrive a second time (the focus: $(gnome_focused); windows: $(gnome_eval \
        "global.get_window_actors().map(a => a.meta_window.title).join('|')"))"
sleep 1
one_warning || fail "$(warnings) Warnings for two texts in one Start"
select_all_then_x qt
ok "[gnome] ALT+F9 typed the layout's $(wc -m <"$WORK/qt.expected") characters of row 4 into Qt twice, AltGr ones" \
    "included; ^ \` é ñ 漢 😀 named in one Warning; Ctrl+A selected all after it"

# Ctrl held as people may hold it, down over F9 and let go of 1.5 s later: the text arrives as when Ctrl is let go
# of at once, in Qt without an input method too (Velmora waits: typed meanwhile, its keys were Ctrl shortcuts there).
printf '\t%s' "$HELD_TEXT" >"$WORK/held.expected"
press held-qt qt 29/67 "$WORK/held.expected"
press held-gtk4 4 29/67 "$WORK/held.expected"
ok "[gnome] CTRL+F9 with Ctrl held 1.5 s typed row 10 exactly into Qt (no input method) and GTK 4"

# Row 1 deleted while running (Home, Alt+D, Yes; the Warning closed first): CTRL+F7 still types row 5's text, not
# that of the row that moved into the fifth place (the unchecked "never").
no_warning() { [ "$(warnings)" = 0 ]; }
gnome_focus_title Warning 10 && gnome_input keys 28 && wait_until 10 no_warning || fail "the Warning did not close"
gnome_focus_title "Velmora 1.1 " 10 && gnome_input keys 102 56+32 || fail "the main window did not take the focus"
wait_until 10 one_warning && gnome_focus_title Warning 10 && gnome_input keys 28 && wait_until 10 no_warning ||
    fail "Delete did not ask"
press form2 form 29+65 "$WORK/form.expected"
ok "[gnome] with row 1 deleted while running, CTRL+F7 typed row 5's text"

# A copy of another list adds its own beside the first copy's; each press types its row once (the second press is
# the marker after the first). Qt acts on a window's shortcuts only once it has heard that the window is active.
before=$(shortcuts)
session_other_copy other "$(list_item "other row" 1 119 True)"
session_spawn "$OTHER_VELMORA" >"$WORK/other.log" 2>&1
other=$XSESSION_LAST_PID
other_focused() { gnome_focus_pid "$(pgrep -P "$other" || echo "$other")"; }
for _ in 1 2 3 4 5; do
    wait_until 30 other_focused && gnome_input keys 56+20 && wait_until 2 shortcuts_have "-row1/']" && break
done
shortcuts_have "-row1/']" || fail "the other copy's Start added no shortcut: $(shortcuts)"
printf 'other row' >"$WORK/other.expected"
press other qt 29+66 "$WORK/other.expected"
gnome_input keys 29+66 && printf 'other row' >>"$WORK/other.expected"
wait_file_equals "$WORK/other.out" "$WORK/other.expected" 30 || fail "two CTRL+F8 did not type the other row twice"
xsession_stop "$other"
wait_until 10 shortcuts_are "$before" || fail "the other copy's end left: $(shortcuts)"
ok "[gnome] a copy of another list added its own shortcut and typed its own row, once per press"

# Stop (Alt+P) removes the shortcuts; a killed copy leaves them, and the next copy removes them.
gnome_focus_title "Velmora 1.1 " 10 && gnome_input keys 56+25 || fail "the main window did not take the focus"
wait_until 10 shortcuts_are "['$FOLDER/custom0/']" || fail "Stop left shortcuts: $(shortcuts)"
gnome_input keys 56+20
# Rows 3, 4 and 6 to 9 (ALT+F9, CTRL+F7, CTRL+F10 to F12, CTRL+F9) now.
second_start() { for r in 3 4 6 7 8 9; do shortcuts_have "velmora-$tag-row$r/" || return 1; done; }
wait_until 10 second_start || fail "the second Start added no shortcuts: $(shortcuts)"
kill -KILL "$own"
xsession_stop "$VELMORA_PID"
shortcuts_have "velmora-$tag-row3" || fail "the killed copy's shortcuts vanished by themselves"
session_start_program gnome_focus_title
shortcuts_are "['$FOLDER/custom0/']" || fail "the next copy did not remove the killed one's: $(shortcuts)"
ok "[gnome] Stop removed the shortcuts; those of a killed copy went when the next copy started"
