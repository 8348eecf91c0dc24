#!/usr/bin/env bash
# The typist on the keyboard layouts users have: German, French (digits on Shift), and Russian with Latin in a
# second group in both orders, with either group active. A mixed text and a Russian-and-English text arrive
# exactly, and the keymap and the active group are what they were; with the second group active, also a text with
# more characters the layout lacks than one group of the free keycodes holds, and the key that toggles groups then
# goes back to the first group as it did before.
#
#   layouts_typing.sh KIND TYPE_DRIVER TEST_TARGET      # KIND: xterm or qt
set -euo pipefail

. "$(dirname "$0")/lib/typing.sh" "$@"

mixed_text 2000 777 >"$WORK/mixed.in"
printf 'Съешь же ещё этих мягких французских булок, да выпей чаю. The quick brown fox: 0123456789 @#$%%^&*()_+ ЁЖЗ\r\n\tЩ ъ ёжик; "quotes" <>[]{}|\\~`' >"$WORK/russian.in"

{ cat "$WORK/russian.in"; distinct_cjk 100; } >"$WORK/many.in"

# load_layout LAYOUTS: loads the layouts (Caps Lock toggles between two) and checks that the server really has them
# (the symbols of keycode 24, Q on a US keyboard, differ from layout to layout).
load_layout() {
    local option=""
    [ "$1" != "${1%,*}" ] && option=grp:caps_toggle
    setxkbmap -layout "$1" -option "" -option "$option" ||
        fail "[$KIND] setxkbmap $1 failed"
    setxkbmap -query | grep -q "^layout: *$1\$" || fail "[$KIND] the server does not report layout $1"
    xmodmap -pke | grep "^keycode  24 =" >"$WORK/q.now"
    case "$1" in
    de | us,ru) grep -q "= q Q" "$WORK/q.now" ;;
    fr) grep -q "= a A" "$WORK/q.now" ;;
    ru,us) grep -q "Cyrillic_shorti" "$WORK/q.now" ;;
    esac || fail "[$KIND] layout $1 was not loaded: $(cat "$WORK/q.now")"
}

type_and_check() {
    local what=$1 name=$2
    expected_for "$KIND" <"$WORK/$name.in" >"$WORK/$name.expected"
    start_target "$KIND" "$WORK/out" || fail "[$KIND] $what: the target did not start"
    xmodmap -pke >"$WORK/keymap.before"
    "$DRIVER" "$WORK/$name.in" >"$WORK/driver.out" 2>"$WORK/driver.err" || fail "[$KIND] $what: the driver failed"
    wait_file_equals "$WORK/out" "$WORK/$name.expected" 60 ||
        fail "[$KIND] $what: the text that arrived is not the text typed"
    xmodmap -pke | cmp -s - "$WORK/keymap.before" || fail "[$KIND] $what: the keyboard map was not put back"
    xsession_stop "$TARGET_PID"
    ok "[$KIND] $what: exact, keymap back ($(cat "$WORK/driver.out"))"
}

for layout in de fr us,ru ru,us; do
    load_layout "$layout"
    type_and_check "$layout, mixed text" mixed
    type_and_check "$layout, Russian and English" russian
    if [ "$layout" != "${layout%,*}" ]; then
        # The second group locked, as the key that toggles groups does: the typist types each key in the group it
        # needs (of the layout's, or of the free keycodes', four of them) and the second is active again afterwards.
        [ "$("$DRIVER" --group 1)" = 1 ] || fail "[$KIND] $layout: the second group cannot be locked"
        type_and_check "$layout with the second group active, Russian and English" russian
        [ "$("$DRIVER" --group)" = 1 ] || fail "[$KIND] $layout: the second group was not active again after typing"
        type_and_check "$layout with the second group active, 100 CJK characters too" many
        [ "$("$DRIVER" --group)" = 1 ] || fail "[$KIND] $layout: the second group was not active again after typing"
        "$DRIVER" --tap 66 # Caps Lock's key (xdotool would put its own group back)
        [ "$("$DRIVER" --group)" = 0 ] || fail "[$KIND] $layout: the group toggle after typing did not go to the first group"
        ok "[$KIND] $layout: the group toggle after typing goes back to the first group"
    fi
done
