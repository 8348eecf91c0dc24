#!/usr/bin/env bash
# The whole program on a headless KDE Plasma session (KWin 5.27, its global shortcut service, xdg-desktop-portal-kde):
# Start binds one KWin global shortcut per checked row; a combination KWin holds is refused and its holder named;
# a press types the row through the RemoteDesktop portal into a Qt edit, exactly, on a German layout (its Shift,
# AltGr and Shift+AltGr levels), also while the user still holds the hotkey's Ctrl; Stop unbinds (the keys reach
# the edit again; a marker typed after a new Start arrives right after them); the end of the program, and the
# start of the next copy after a killed one, leave no shortcut behind.
#
#   kde_hotkeys_test.sh VELMORA TEST_TARGET FAKE_INPUT_KEYS
set -euo pipefail

HERE="$(cd "$(dirname "$0")" && pwd)"
. "$HERE/lib/kwin.sh"

KWIN_LAYOUT=de KWIN_VARIANT=nodeadkeys kwin_start "$3"

# Row 1: CTRL+F8; row 2: CTRL+F1, KWin's "Switch to Desktop 1"; row 3: a bare Q with every printable ASCII
# character, a tab, CR LF and the layout's own characters at each level; row 4 unchecked; row 5 CTRL+F11; rows 6 to
# 8 (ALT+1 to ALT+3) hold keys inside their text, row 6 paced at 40 ms.
keys_item() { list_item "$1" "$2" "$3" True | sed 's#/>$# keys="True"/>#'; }
TEXT=$'Hello, World! The QUICK brown fox: ~`!@#$%^&*()_+-={}[]|\\:;"\'<>,.?/ 0123456789\tTab\r\nNext line '
TEXT+='Grüße ÄÖÜ §° €µ²³¬ ¿¡™±£¥÷×®©'
LACKING='a é 漢 😀 ñ z'
session_program "$1" "$2" "$(list_item "first row" 1 119 True)" "$(list_item "held by KWin" 1 112 True)" \
    "$(list_item "$TEXT" 0 81 True)" "$(list_item "never" 2 90 False)" "$(list_item "$LACKING" 1 122 True)" \
    "$(keys_item 'user{TAB}pass{ENTER}' 2 49 | sed 's#/>$# delay="40"/>#')" "$(keys_item '{KEY ctrl+a}new' 2 50)" \
    "$(keys_item 'ab{CURSOR}cd' 2 51)"

# holders KEY: the shortcuts KWin's service keeps on a key (Qt's key code), one "component action" a line.
holders() {
    session_run dbus-send --session --print-reply --dest=org.kde.kglobalaccel /kglobalaccel \
        org.kde.KGlobalAccel.getGlobalShortcutsByKey "int32:$1" |
        awk '/^ *struct/ {n = 0} /^ *string "/ {n++; s = $0; sub(/^ *string "/, "", s); sub(/"$/, "", s)
            if (n == 1) a = s; if (n == 3) print s, a}'
}
CTRL_F8=$((0x04000000 | 0x01000037)) CTRL_F1=$((0x04000000 | 0x01000030)) KEY_Q=$((0x51)) ALT_Z=$((0x08000000 | 0x5a))
bound() { [[ "$(holders "$1")" == *" row-$2" ]]; }
free() { [ -z "$(holders "$1")" ]; }
rows_bound() { bound "$CTRL_F8" 1 && bound "$KEY_Q" 3; }
rows_free() { free "$CTRL_F8" && free "$KEY_Q"; }

# main_window_keys CHECK KEYS: presses the keys in the main window until CHECK holds. Qt acts on a window's
# shortcuts only once it has heard that the window is active, which may come after a key sent at once.
# answer_warning CHECK: presses Return in the Warning until CHECK holds (Qt may hear late that the box is active, as with main_window_keys); once no
# Warning is left, waits for CHECK.
answer_warning() {
    for _ in 1 2 3 4 5; do
        kwin_focus_title Warning 2 || { wait_until 10 "$1"; return; }
        kwin_keys 28
        wait_until 2 "$1" && return 0
    done
    return 1
}

main_window_keys() {
    for _ in 1 2 3 4 5; do
        kwin_focus_title "Velmora 1.1 " 10 || return 1
        kwin_keys "$2"
        wait_until 2 "$1" && return 0
    done
    return 1
}

session_start_program kwin_focus_title
rows_free || fail "shortcuts bound before Start: $(holders "$CTRL_F8") $(holders "$KEY_Q")"
# Start (Alt+T: 56+20): rows 1 and 3 bound; row 2's combination stays KWin's and its holder is named.
main_window_keys rows_bound 56+20 || fail "Start did not bind rows 1 and 3: $(holders "$CTRL_F8") / $(holders "$KEY_Q")"
[ "$(holders "$CTRL_F1")" = "kwin Switch to Desktop 1" ] || fail "CTRL+F1: $(holders "$CTRL_F1")"
free "$ALT_Z" || fail "the unchecked row 4 was bound"
wait_until 5 grep -qF "row 2 (CTRL+F1: KWin uses it for “Switch to Desktop 1”)" "$WORK/velmora.log" ||
    fail "the refused row 2 and its holder were not reported"
ok "[kde] Start bound rows 1 and 3; row 2's CTRL+F1 is KWin's, and said so"

out="$WORK/edit.out"
session_edit "$out" velmora-kde-edit kwin_focus_title

# Q types row 3 (evdev codes: Q 16, Ctrl 29, F1 59, F8 66).
kwin_keys 16
printf '%s' "$TEXT" | expected_for qt >"$WORK/expected"
wait_file_equals "$out" "$WORK/expected" 30 || fail "Q did not type row 3 exactly"
ok "[kde] Q typed row 3 ($(wc -c <"$WORK/expected") bytes: ASCII, tab, line break, German at every level) exactly"
# CTRL+F11 (evdev 87): characters the German layout lacks go by the compositor's clipboard and a paste, in order.
# The user's clipboard (text copied by another program) holds the same afterwards.
session_run wl-copy "the user's own"
kwin_focus_title "velmora-kde-edit" 10 && kwin_keys 29+87
printf '%s' "$LACKING" >>"$WORK/expected"
wait_file_equals "$out" "$WORK/expected" 30 || fail "CTRL+F11 did not type the characters the layout lacks exactly"
[ "$(session_run wl-paste -n)" = "the user's own" ] || fail "the user's clipboard holds: $(session_run wl-paste -n)"
ok "[kde] CTRL+F11 typed é 漢 😀 ñ, which the layout lacks, through the clipboard, in order; the user's clipboard kept"
# CTRL+F1 types nothing; CTRL+F8 types row 1 while the user still holds Ctrl (until the row has arrived).
kwin_keys 29+59
session_spawn "$KWIN_KEYS" down:29 66 "until:$WORK/typed" up:29
holding=$XSESSION_LAST_PID
printf 'first row' >>"$WORK/expected"
wait_file_equals "$out" "$WORK/expected" 30 || fail "after CTRL+F1 and CTRL+F8 (Ctrl held) the edit does not hold row 3 then row 1"
touch "$WORK/typed"
wait "$holding"
ok "[kde] CTRL+F8 typed row 1 with Ctrl still held; CTRL+F1 typed nothing"
# ALT+1 (56+2) Tab and Return, ALT+3 the caret after ab where ALT+1 goes again, ALT+2 Ctrl+A then "new"; the edit's own.
typed=$'user\tpass\n' && before=$(cat "$WORK/expected")
keys=(56+2 56+4 56+2 56+3 "29+30 45")
texts=("$before$typed" "$before${typed}abcd" "$before${typed}ab${typed}cd" new x)
for i in 0 1 2 3 4; do
    kwin_keys ${keys[i]}
    printf '%s' "${texts[i]}" >"$WORK/expected"
    wait_file_equals "$out" "$WORK/expected" 30 || fail "after ${keys[i]} the edit holds: $(tail -c 60 "$out" | od -c)"
done
ok "[kde] keys inside texts: Tab, Return, Ctrl+A replaced by the text after it, the caret left where {CURSOR} was;" \
    "the edit's own Ctrl+A worked after them"
# The picker, by its shortcut CTRL+ALT+Space: "never" and Return type the unchecked row 4 into the edit, once it has
# the focus back.
kwin_keys 29+56+57
wait_until 10 kwin_active "Velmora: type a row" || fail "the picker did not open with the focus"
kwin_keys 49 18 47 18 19 28
printf xnever >"$WORK/expected"
wait_file_equals "$out" "$WORK/expected" 30 || fail "the picker typed: $(tail -c 60 "$out" | od -c)"
ok "[kde] the picker's shortcut opened it; \"never\" and Return typed the unchecked row 4 into the edit"

# A second launch of the running copy says so, ends when its message is answered, and leaves all bound.
session_spawn "$VELMORA" >"$WORK/second.log" 2>&1
second=$XSESSION_LAST_PID
ended() { ! kill -0 "$second" 2>/dev/null; }
kwin_focus_title Warning 20 || fail "the second launch did not say that a copy runs"
answer_warning ended || fail "the second launch did not end when its message was answered"
rows_bound || fail "the second launch unbound the running copy's shortcuts"
# A copy of another list: row 1 has the first copy's CTRL+F8 (not bound), row 2 ALT+X; a press types one row.
session_other_copy other "$(list_item "other row 1" 1 119 True)" "$(list_item "other row 2" 2 88 True)"
session_spawn "$OTHER_VELMORA" >>"$WORK/other.log" 2>&1
other=$XSESSION_LAST_PID
ALT_X=$((0x08000000 | 0x58)) && other_bound() { bound "$ALT_X" 2; }
other_focused() { kwin_activate_pid "$(pgrep -P "$other" || echo "$other")"; }
for _ in 1 2 3 4 5; do
    wait_until 30 other_focused && kwin_keys 56+20 && wait_until 2 other_bound && break
done
other_bound || fail "the other copy's Start did not bind its row 2: $(holders "$ALT_X")"
kwin_focus_title "velmora-kde-edit" 10 && kwin_keys 56+45
printf 'other row 2' >>"$WORK/expected"
wait_file_equals "$out" "$WORK/expected" 30 || fail "ALT+X did not type the other copy's row 2 alone"
kwin_keys 29+66
printf 'first row' >>"$WORK/expected"
wait_file_equals "$out" "$WORK/expected" 30 || fail "CTRL+F8 did not type the first copy's row 1 alone"
xsession_stop "$other"
rows_bound || fail "the other copy's end unbound the first copy's shortcuts"
ok "[kde] a second launch changed nothing; a copy of another list typed only its own rows, once per press"

# Stop (Alt+P: 56+25): the shortcuts go; Q reaches the edit as a key; CTRL+F8 types nothing, which the row typed after a
# new Start proves by arriving right after the q.
main_window_keys rows_free 56+25 || fail "Stop left shortcuts: $(holders "$CTRL_F8") / $(holders "$KEY_Q")"
kwin_focus_title "velmora-kde-edit" 10 && kwin_keys 16 29+66
printf 'q' >>"$WORK/expected"
wait_file_equals "$out" "$WORK/expected" 10 || fail "after Stop Q did not reach the edit as a key"
main_window_keys rows_bound 56+20 || fail "the second Start did not bind rows 1 and 3"
kwin_focus_title "velmora-kde-edit" 10 && kwin_keys 29+66
printf 'first row' >>"$WORK/expected"
wait_file_equals "$out" "$WORK/expected" 30 || fail "after Stop a press typed something, or the marker did not arrive"
ok "[kde] Stop unbound the rows: Q reached the edit, CTRL+F8 typed nothing before the marker"

# The end of the program removes its shortcuts.
xsession_stop "$VELMORA_PID"
rows_free || fail "the program's end left shortcuts: $(holders "$CTRL_F8") / $(holders "$KEY_Q")"
# A killed copy leaves them; the next copy removes them when it starts.
session_start_program kwin_focus_title
main_window_keys rows_bound 56+20 || fail "Start did not bind rows 1 and 3 in the second copy"
# Row 1 deleted while running (Home, Alt+D, Yes): Q still types row 3's text, not the row now in third place.
kwin_focus_title "Velmora 1.1 " 10 && kwin_keys 102 56+32 || fail "the main window did not take the focus"
kwin_focus_title Warning 10 && kwin_keys 28 || fail "Delete did not ask"
kwin_focus_title "velmora-kde-edit" 10 && kwin_keys 16
printf '%s' "$TEXT" | expected_for qt >>"$WORK/expected"
wait_file_equals "$out" "$WORK/expected" 30 || fail "with row 1 deleted while running, Q did not type row 3"
ok "[kde] with row 1 deleted while running, Q typed row 3's text"
kill -KILL "$(session_program_pid)"
wait "$VELMORA_PID" 2>/dev/null || true
rows_bound || fail "the killed copy's shortcuts are gone already: the check proves nothing"
session_start_program kwin_focus_title
rows_free || fail "the killed copy's shortcuts outlived the start of the next copy"
ok "[kde] the program's end and the next start after a kill leave no shortcut"
xsession_stop "$VELMORA_PID"
! grep -q 'ERROR: AddressSanitizer\|runtime error:' "$WORK/velmora.log" || fail "the sanitizers reported a fault"
