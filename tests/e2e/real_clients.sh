#!/usr/bin/env bash
# The typist types into the programs people use: a GTK editor (mousepad), Firefox ESR and Chromium. A 2,000-character
# mixed text and a long CJK text must arrive exactly.
#
#   real_clients.sh KIND TYPE_DRIVER        # KIND: mousepad, firefox or chromium
set -euo pipefail

KIND=$1
DRIVER=$2
LIB="$(dirname "$0")/lib"
. "$LIB/xsession.sh"
. "$LIB/targets.sh"
. "$LIB/texts.sh"
. "$LIB/clients.sh"
export LC_ALL=C.UTF-8

xsession_start
WORK="$XSESSION_DIR/clients"
mkdir -p "$WORK"
FAIL_LOGS=("$WORK/driver.err")
xmodmap -pke >"$WORK/keymap.before"

mixed_text 2000 4242 >"$WORK/mixed.in"
# 1,500 ideographs drawn from 200.
cjk_text 1500 200 7 >"$WORK/cjk.in"

start_client "$KIND" "$WORK/$KIND" || fail "[$KIND] the program did not start with its text field focused"
for text in mixed cjk; do
    expected_for qt <"$WORK/$text.in" >"$WORK/$text.expected" # line breaks arrive as "\n"
    count=$(wc -m <"$WORK/$text.expected")
    "$DRIVER" "$WORK/$text.in" >"$WORK/driver.out" 2>"$WORK/driver.err" || fail "[$KIND] $text: the driver failed"
    wait_until 120 client_holds "$KIND" "$count" ||
        fail "[$KIND] $text: the field never held $count characters"
    read_client "$KIND" >"$WORK/$text.got"
    if ! cmp -s "$WORK/$text.got" "$WORK/$text.expected"; then
        cmp "$WORK/$text.got" "$WORK/$text.expected" >&2 || true
        fail "[$KIND] $text: the text that arrived is not the text typed"
    fi
    xmodmap -pke | cmp -s - "$WORK/keymap.before" || fail "[$KIND] $text: the keyboard map was not put back"
    ok "[$KIND] $text, $count characters: exact ($(cat "$WORK/driver.out"))"
    # Empty the field for the next text.
    xdotool key ctrl+a BackSpace
    wait_until 20 client_holds "$KIND" 0 || fail "[$KIND] the field could not be emptied"
done
