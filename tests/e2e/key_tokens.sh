#!/usr/bin/env bash
# Rows with keys inside their text, pauses and a pace, typed by the whole program on X11 into a sign-in form: the
# fields filled and the default button fired, a pause measured where the keys arrive, the date and the clipboard
# read at the press, the caret put back, a paced row exact, a chord whose keys are another row's hotkey typed
# without firing it, a second press of a row's hotkey stopping its long text with no key left down, and the rest of
# a paced row not following the focus to another window.
#
#   key_tokens.sh VELMORA_BINARY GRAB_PROBE FORM_TARGET
set -euo pipefail

velmora_binary=$1
export GRAB_PROBE=$2
form_target=$3

here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib/xsession.sh"
. "$here/lib/program.sh"
. "$here/lib/targets.sh"

unset WAYLAND_DISPLAY QT_QPA_PLATFORM SESSION_MANAGER
export LC_ALL=C.UTF-8
xsession_start || fail "no X session"
tmp=$XSESSION_DIR

# --- The rows: CTRL+F5 to CTRL+F11 -----------------------------------------------------------------------------

clip='Zwischenablage äö €'
paced='Paced: é ü 漢 ok'
long=$(printf '0123456789%.0s' $(seq 30))
marker='|end'
keys='keys="True"'
program_install "$velmora_binary"
program_write_list \
    "$(list_item 'user{TAB}pass{ENTER}' 1 116 True "$keys")" \
    "$(list_item 'a{DELAY 500}b' 1 117 True "$keys")" \
    "$(list_item '[{DATE yyyy-MM-dd}|{CLIPBOARD}]' 1 118 True "$keys")" \
    "$(list_item 'ab{CURSOR}cd{KEY ctrl+f5}' 1 119 True "$keys")" \
    "$(list_item "$paced" 1 120 True 'delay="50"')" \
    "$(list_item "{KEY ctrl+end}$long" 1 121 True "$keys delay=\"20\"")" \
    "$(list_item "$marker" 1 122 True)"

program_start || fail "the main window did not appear"
program_key alt+t || fail "the main window did not take the focus"
wait_until 5 grabbed ctrl F5 && wait_until 5 grabbed ctrl F11 || fail "Start did not grab CTRL+F5 to CTRL+F11"

# --- The form ----------------------------------------------------------------------------------------------------

state="$tmp/form.state"
keylog="$tmp/form.keys"
xsession_spawn "$form_target" "$state" "$keylog" "velmora-form-$$" "$clip"
FAIL_LOGS+=("$state")
wait_for_file "$state" && focus_window_named "velmora-form-$$" || fail "the form did not start"
form_window=$XSESSION_WINDOW

# expect_form NOTE USER PASS SIGNED / expect_note NOTE: until the form holds exactly this.
expect_form() {
    printf 'user=%s\npass=%s\nsigned=%s\nnote=%s\n' "$2" "$3" "$4" "$1" >"$tmp/form.expected"
    wait_file_equals "$state" "$tmp/form.expected" 10
}
expect_note() { expect_form "$1" user pass 1; }
note() { sed -n 's/^note=//p' "$state"; }
note_begins() { [[ "$(note)" == "$1"* ]]; }
note_ends() { [[ "$(note)" == *"$1" ]]; }
# key_times N: the arrival times (ms) of the last N characters typed into the note, one a line.
key_times() { tail -n "$1" "$keylog" | cut -d' ' -f1; }

xdotool key ctrl+F5
expect_form "" user pass 1 && ok "user{TAB}pass{ENTER} fills both fields and fires the default button" ||
    fail "the sign-in row"

xdotool key ctrl+F6
expect_note "ab" || fail "a{DELAY 500}b"
gap=$(key_times 2 | awk 'NR == 1 { a = $1 } NR == 2 { print $1 - a }')
[ "$gap" -ge 450 ] && ok "{DELAY 500}: b arrived $gap ms after a" || fail "{DELAY 500}: b arrived $gap ms after a"

before=$(date +%F)
xdotool key ctrl+F7
expected="ab[$before|$clip]"
expect_note "$expected" || expect_note "ab[$(date +%F)|$clip]" || fail "{DATE} and {CLIPBOARD}"
ok "{DATE yyyy-MM-dd} and {CLIPBOARD} give today's date and the clipboard's text"
expected=$(note)

# The chord CTRL+F5 inside the text is CTRL+F5's hotkey: were it caught, the sign-in row would follow the text. The
# paced row after it is the marker, and goes where the caret was left.
xdotool key ctrl+F8
expect_note "${expected}abcd" || fail "ab{CURSOR}cd{KEY ctrl+f5}"
xdotool key ctrl+F9
expected="${expected}ab${paced}cd"
expect_note "$expected" && ok "{CURSOR} leaves the caret after ab; a chord of another row's hotkey fires nothing" ||
    fail "the caret or another row's hotkey"
span=$(key_times "${#paced}" | awk 'NR == 1 { a = $1 } { z = $1 } END { print z - a }')
[ "$span" -ge $((45 * (${#paced} - 1))) ] && ok "a pace of 50 ms typed exactly, in $span ms" ||
    fail "a pace of 50 ms: ${#paced} characters in $span ms"

# A second press of CTRL+F10 while its text is typed stops it; the marker row after it arrives plain (a modifier
# left down would make a shortcut of its keys), right after the part that was typed.
xdotool key ctrl+F10
wait_until 10 note_begins "${expected}0123456789012345" || fail "the long row did not begin"
xdotool key ctrl+F10
xdotool key ctrl+F11
wait_until 10 note_ends "$marker" || fail "the marker row after the second press did not arrive"
typed=$(note)
typed=${typed#"$expected"}
typed=${typed%"$marker"}
[ "${#typed}" -lt "${#long}" ] && [ "$typed" = "${long:0:${#typed}}" ] ||
    fail "the long row was not stopped where it was: $typed"
ok "a second press stopped the long row after ${#typed} of ${#long} characters; the marker arrived plain"

# The focus moves to an xterm while the long row is typed: the row ends there, and the marker row that follows it is
# all the xterm receives.
start_xterm_target "$tmp/other" || fail "the xterm did not start"
other=$XSESSION_WINDOW
focus_window "$form_window" || fail "the form did not take the focus back"
expected=$(note)
xdotool key ctrl+F10
wait_until 10 note_begins "${expected}0123456789012345" || fail "the long row did not begin again"
focus_window "$other" || fail "the xterm did not take the focus"
xdotool key ctrl+F11
printf '%s' "$marker" >"$tmp/other.expected"
wait_file_equals "$tmp/other" "$tmp/other.expected" 10 && ok "the rest of a paced row did not follow the focus" ||
    fail "the xterm received more than the marker"

echo "PASS: keys, pauses and tokens on X11"
