#!/usr/bin/env bash
# Types texts through the real X11 typist into a real window and checks that exactly those characters arrive.
#
#   typing_test.sh KIND TYPE_DRIVER TEST_TARGET      # KIND: xterm or qt
set -euo pipefail

. "$(dirname "$0")/lib/typing.sh" "$@"

# stat_of NAME: the value of NAME= in the driver's last output line.
stat_of() {
    sed -n "s/.* $1=\([0-9]*\).*/\1/p; s/^$1=\([0-9]*\).*/\1/p" "$WORK/driver.out" | tail -n 1
}

# type_case NAME EXPECTED_FILE INPUT_FILE...: a fresh target, the driver types the inputs, the target must end up
# holding exactly the expected bytes.
type_case() {
    local name=$1 expected=$2
    shift 2
    local out="$WORK/$name.out"
    start_target "$KIND" "$out" || fail "[$KIND] $name: the target did not start"
    "$DRIVER" "$@" >"$WORK/driver.out" 2>"$WORK/driver.err" || fail "[$KIND] $name: the driver failed"
    wait_file_equals "$out" "$expected" 30 ||
        fail "[$KIND] $name: the text that arrived is not the text typed ($(cat "$WORK/driver.out"))"
    ok "[$KIND] $name: $(cat "$WORK/driver.out")"
    xsession_stop "$TARGET_PID"
}

# text_case NAME TEXT: types TEXT; the target must hold it with its line breaks as the target receives them.
text_case() {
    local name=$1 text=$2
    printf '%s' "$text" >"$WORK/$name.in"
    expected_for "$KIND" <"$WORK/$name.in" >"$WORK/$name.expected"
    type_case "$name" "$WORK/$name.expected" "$WORK/$name.in"
}

expect_stat() {
    local name=$1 stat=$2 want=$3
    local got
    got=$(stat_of "$stat")
    [ "$got" = "$want" ] || fail "[$KIND] $name: $stat=$got, expected $want"
}

# The whole XKB keymap, to check at the end that every binding was undone exactly.
xkbcomp -xkb "$DISPLAY" "$WORK/keymap.before" 2>/dev/null

# No window at all: the focus is on openbox's own window or nowhere; nothing is typed and nothing breaks.
printf 'abc' >"$WORK/nowindow.in"
"$DRIVER" "$WORK/nowindow.in" >"$WORK/driver.out" 2>"$WORK/driver.err" || fail "[$KIND] no window: the driver failed"
expect_stat "no window" without_focus 1
expect_stat "no window" strokes 0
ok "[$KIND] no window: $(cat "$WORK/driver.out")"

text_case ascii "Hello World, THE QUICK brown fox 0123456789 !\"#\$%&'()*+,-./:;<=>?@[\\]^_\`{|}~ end"
expect_stat ascii keymap_changes 0

text_case tabs_and_breaks $'a\tb\r\nc\rd\ne\r\n\r\n\tf'
text_case latin "café naïve Über straße À ñ ç ø"
expect_stat latin keymap_changes 2
text_case cjk "漢字テスト中文한국어"
text_case emoji "smile 😀 and 🎉 done"

# Control characters are typed as themselves: the terminal receives them, the Qt edit leaves them out. Bytes that
# are not UTF-8 are windows-1252.
printf 'a\001b\177c caf\351 \200' >"$WORK/legacy.in"
if [ "$KIND" = xterm ]; then printf 'a\001b\177c café €'; else printf 'abc café €'; fi >"$WORK/legacy.expected"
type_case legacy "$WORK/legacy.expected" "$WORK/legacy.in"

text_case mixed2000 "$(mixed_text 2000 4242)"
expect_stat mixed2000 dropped 0

# More distinct characters than the free keycodes hold at once: typed in batches, exact all the same.
text_case many_distinct "$(distinct_cjk 400) end"
[ "$(stat_of keymap_changes)" -ge 3 ] ||
    fail "[$KIND] many_distinct: expected several keymap changes, keymap_changes=$(stat_of keymap_changes)"

# An empty text types nothing: the marker typed after it is all that arrives.
: >"$WORK/empty.in"
printf 'marker' >"$WORK/marker.in"
printf 'marker' >"$WORK/empty.expected"
type_case empty "$WORK/empty.expected" "$WORK/empty.in" "$WORK/marker.in"

# Ctrl still held when typing starts: the typist waits, then lets go of it; the text arrives unchanged.
xdotool keydown ctrl
text_case ctrl_held "Ctrl held: abc xyz"
xdotool keyup ctrl
expect_stat ctrl_held forced_releases 1

# Caps Lock on: the case of what arrives does not change, and Caps Lock is still on afterwards.
xdotool key Caps_Lock
text_case capslock "Hello World abc XYZ 123 !@# é Ü"
xset q | grep -q 'Caps Lock: *on' || fail "[$KIND] capslock: Caps Lock is no longer on after typing"
xdotool key Caps_Lock

# The target's window loses the focus (minimized): nothing is typed into it. Then it gets the focus back and a marker
# is typed: the target must hold the marker alone.
out="$WORK/unfocused.out"
start_target "$KIND" "$out" || fail "[$KIND] unfocused: the target did not start"
xdotool windowminimize --sync "$XSESSION_WINDOW"
lost_focus() {
    [ "$(xdotool getwindowfocus 2>/dev/null)" != "$XSESSION_WINDOW" ] &&
        ! xprop -root _NET_ACTIVE_WINDOW | grep -qi "$(printf '0x%x' "$XSESSION_WINDOW")\$"
}
wait_until 20 lost_focus || fail "[$KIND] unfocused: the minimized window kept the focus"
printf 'must not arrive' >"$WORK/unfocused.in"
"$DRIVER" "$WORK/unfocused.in" >"$WORK/driver.out" 2>"$WORK/driver.err" || fail "[$KIND] unfocused: the driver failed"
expect_stat unfocused without_focus 1
focus_window "$XSESSION_WINDOW" 20 || fail "[$KIND] unfocused: the window did not get the focus back"
printf 'marker' >"$WORK/marker.in"
"$DRIVER" "$WORK/marker.in" >"$WORK/driver.out" 2>"$WORK/driver.err" || fail "[$KIND] unfocused: the driver failed"
wait_file_equals "$out" "$WORK/marker.in" 20 || fail "[$KIND] unfocused: text arrived in a window without the focus"
ok "[$KIND] unfocused: nothing typed while the window had no focus"
xsession_stop "$TARGET_PID"

# A frozen target (SIGSTOP): destroying the typist in the middle of a long text is prompt.
out="$WORK/frozen.out"
start_target "$KIND" "$out" || fail "[$KIND] frozen: the target did not start"
kill -STOP "$TARGET_PID"
mixed_text 2000 7 >"$WORK/frozen.in"
timeout 10 "$DRIVER" --stop-after-ms 300 "$WORK/frozen.in" "$WORK/frozen.in" >"$WORK/driver.out" \
    2>"$WORK/driver.err" || fail "[$KIND] frozen: the driver did not end in time"
destroyed=$(stat_of destroyed_ms)
[ -n "$destroyed" ] && [ "$destroyed" -le 1000 ] ||
    fail "[$KIND] frozen: destroying the typist took ${destroyed:-?} ms"
ok "[$KIND] frozen: $(tr '\n' ' ' <"$WORK/driver.out")"
xsession_stop "$TARGET_PID"

xkbcomp -xkb "$DISPLAY" "$WORK/keymap.after" 2>/dev/null
if ! cmp -s "$WORK/keymap.before" "$WORK/keymap.after"; then
    diff "$WORK/keymap.before" "$WORK/keymap.after" | head -n 20 >&2
    fail "[$KIND] the keymap differs from the one before typing"
fi

if [ -n "${VELMORA_E2E_SCREENSHOT:-}" ]; then
    start_target "$KIND" "$WORK/shot.out"
    printf '%s' "Screenshot: café 漢字テスト 😀" >"$WORK/shot.in"
    "$DRIVER" "$WORK/shot.in" >/dev/null
    # For a person to look at, outside the verdict. The window draws after the text arrived, and nothing tells
    # when it has: a short pause.
    sleep 0.5
    import -window root "$VELMORA_E2E_SCREENSHOT"
fi
