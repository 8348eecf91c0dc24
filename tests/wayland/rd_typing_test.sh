#!/usr/bin/env bash
# Typing through the real xdg-desktop-portal's RemoteDesktop and the test backend, on headless Sway (whose keymap
# is the "user's layout", US by default): the keysyms of the characters the layout has are sent in order, each
# pressed and released; the characters it lacks are not sent and are named in the report. Then, with the test
# backend playing a newer portal whose session has the clipboard, those characters are pasted between the keys.
#
#   rd_typing_test.sh RD_TYPE_DRIVER
set -euo pipefail

HERE="$(cd "$(dirname "$0")" && pwd)"
. "$HERE/lib/sway.sh"
. "$HERE/lib/portal.sh"

# The seat has no keyboard: the layout is the XKB default one (US here).
sway_test_start "$1"
DRIVER="$SESSION_DIR/bin/$(basename "$1")"

portal_start ""
FAIL_LOGS=("$PORTAL_LOG")

printf 'Hi, you!\tcafé 漢字 😀 ~x\r\ny' >"$WORK/text.in"
session_run "$DRIVER" "$WORK/text.in" "$WORK/text.in" >"$WORK/driver.out" 2>"$WORK/driver.err" ||
    fail "the driver failed: $(cat "$WORK/driver.out" "$WORK/driver.err")"
xsession_log "driver: $(tr '\n' ' ' <"$WORK/driver.out")"

# The keysyms pressed, in order: Latin-1 characters are their own keysyms, Tab ff09, Return ff0d; the session's
# first key (Shift_L, ffe1) lets the desktop settle.
expected="ffe1"
for _ in 1 2; do
    for c in H i , ' ' y o u '!'; do expected+=" $(printf '%x' "'$c")"; done
    expected+=" ff09"
    for c in c a f ' ' ' ' ' ' '~' x; do expected+=" $(printf '%x' "'$c")"; done
    expected+=" ff0d 79"
done
pressed=$(sed -n 's/^key \([0-9a-f]*\) 1$/\1/p' "$PORTAL_LOG" | tr '\n' ' ' | sed 's/ $//')
released=$(grep -c '^key [0-9a-f]* 0$' "$PORTAL_LOG" || true)
[ "$pressed" = "$expected" ] || fail "keysyms sent: [$pressed], expected [$expected]"
[ "$released" -eq "$(wc -w <<<"$expected")" ] || fail "$released keys released for $(wc -w <<<"$expected") pressed"
ok "[remote desktop] the layout's characters went as keysyms, in order, each pressed and released"
grep -q '^remote select types=1$' "$PORTAL_LOG" || fail "the session did not ask for a keyboard"
[ "$(grep -c '^remote start$' "$PORTAL_LOG")" -eq 1 ] || fail "not exactly one session for two texts"
grep -q "^problem: 4 characters could not be typed (é 漢 字 😀): your keyboard layout has no key for them\. Add" "$WORK/driver.out" ||
    fail "the characters the layout lacks were not reported: $(cat "$WORK/driver.out")"
ok "[remote desktop] the characters the layout lacks were named"

# Portals from 1.17 on give the session the clipboard; the installed one has none, so the test backend plays the
# whole portal on a bus of its own. Each run of characters the layout lacks goes by paste, between the keys; the
# user's clipboard (text and HTML) is read first and put back after each text.
session_bus_start clipbus
CLIP_LOG="$WORK/clipboard.log"
: >"$CLIP_LOG"
session_own "$CLIP_LOG"
FAIL_LOGS+=("$CLIP_LOG")
session_service org.freedesktop.portal.Desktop 10 env VELMORA_FAKE_FRONTEND=1 VELMORA_FAKE_LOG="$CLIP_LOG" \
    python3 "$SESSION_DIR/fake_portal.py" || fail "the test portal did not start"
printf 'é1 漢字x\n😀' >"$WORK/mixed.in"
session_run "$DRIVER" "$WORK/mixed.in" "$WORK/mixed.in" >"$WORK/clip.out" 2>&1 ||
    fail "the driver failed: $(cat "$WORK/clip.out")"
expected="ffe1"
for _ in 1 2; do expected+=" ffe3 76 paste:é 31 20 ffe3 76 paste:漢字 78 ff0d ffe3 76 paste:😀"; done
got=$(sed -n 's/^key \([0-9a-f]*\) 1$/\1/p; s/^paste /paste:/p' "$CLIP_LOG" | tr '\n' ' ' | sed 's/ $//')
[ "$got" = "$expected" ] || fail "keys and pastes: [$got], expected [$expected]"
! grep -q '^problem' "$WORK/clip.out" || fail "characters named although pasted: $(cat "$WORK/clip.out")"
[ "$(grep '^selection' "$CLIP_LOG" | tail -n 1)" = "selection image/png text/html text/plain;charset=utf-8" ] ||
    fail "the user's clipboard was not put back: $(grep -v '^key' "$CLIP_LOG")"
[ "$(grep -c '^back .* same$' "$CLIP_LOG")" -ge 3 ] && ! grep -q '^back .* differs$' "$CLIP_LOG" ||
    fail "the user's clipboard did not come back byte for byte: $(grep '^back' "$CLIP_LOG")"
! grep -v '^manager secret$' "$CLIP_LOG" | grep -q '^manager' ||
    fail "a clipboard manager read a snippet not marked secret: $(grep '^manager' "$CLIP_LOG")"
ok "[remote desktop] every format of the user's clipboard came back byte for byte; the snippets were marked secret"

# clip_case CLIPBOARD TEXT [ROWS]: the user's clipboard set to one of the test portal's, TEXT typed (as rows of the
# kind ROWS, see the driver); the log of that run in $WORK/case.log.
clip_case() {
    local from
    session_run dbus-send --session --print-reply --dest=org.freedesktop.portal.Desktop \
        /org/freedesktop/portal/desktop org.velmora.FakePortal.UserClipboard "string:$1" >/dev/null
    from=$(wc -l <"$CLIP_LOG")
    printf '%s' "$2" >"$WORK/case.in"
    session_run env VELMORA_RD_ROWS="${3:-}" "$DRIVER" "$WORK/case.in" >"$WORK/case.out" 2>&1 ||
        fail "the driver failed: $(cat "$WORK/case.out")"
    CASE_FROM=$from
    tail -n "+$((from + 1))" "$CLIP_LOG" >"$WORK/case.log"
}
# case_paste: waits until the portal has logged the application's read of the case's paste (it may log it after the
# driver has seen the read and ended), then takes the case's log again.
case_paste() {
    wait_until 5 bash -c "tail -n +$((CASE_FROM + 1)) '$CLIP_LOG' | grep -q '^paste '"
    tail -n "+$((CASE_FROM + 1))" "$CLIP_LOG" >"$WORK/case.log"
}
# An empty clipboard, and a password manager's secret, leave an empty clipboard behind.
for user in empty secret; do
    clip_case "$user" 'é'
    [ "$(grep '^selection' "$WORK/case.log" | tail -n 1)" = "selection (none)" ] ||
        fail "the $user clipboard was not left empty: $(grep -v '^key' "$WORK/case.log")"
done
ok "[remote desktop] an empty clipboard stayed empty; a password manager's secret was not served again"
# A clipboard manager that reads only as the paste keys go is not taken for the application: the run is pasted
# before the next key.
session_run dbus-send --session --print-reply --dest=org.freedesktop.portal.Desktop /org/freedesktop/portal/desktop \
    org.velmora.FakePortal.LateManager >/dev/null
clip_case previous 'é1'
case_paste
got=$(sed -n 's/^key \([0-9a-f]*\) 1$/\1/p; s/^paste /paste:/p' "$WORK/case.log" | tr '\n' ' ')
[ "$got" = "ffe1 ffe3 76 paste:é 31 " ] && grep -qx 'manager secret' "$WORK/case.log" ||
    fail "a late clipboard manager's read: [$got] $(grep '^manager' "$WORK/case.log")"
ok "[remote desktop] a clipboard manager's read as the paste keys went was not taken for the paste"
# A row that pastes goes whole by one paste; a secret one is typed and never reaches the clipboard (what the layout
# lacks is left out, counted).
clip_case previous 'ab é漢' paste
case_paste
got=$(sed -n 's/^key \([0-9a-f]*\) 1$/\1/p; s/^paste /paste:/p' "$WORK/case.log" | tr '\n' ' ')
[ "$got" = "ffe1 ffe3 76 paste:ab é漢 " ] && ! grep -q '^problem' "$WORK/case.out" ||
    fail "a row that pastes: [$got] $(cat "$WORK/case.out")"
clip_case previous 'ab é漢' secret-paste
got=$(sed -n 's/^key \([0-9a-f]*\) 1$/\1/p; s/^paste /paste:/p; s/^selection .*/selection/p' "$WORK/case.log" |
    tr '\n' ' ')
[ "$got" = "ffe1 61 62 20 " ] && grep -q '^problem: 2 characters of a secret row could not be typed' "$WORK/case.out" ||
    fail "a secret row that would paste: [$got] $(cat "$WORK/case.out")"
ok "[remote desktop] a row that pastes went by one paste; a secret one never reached the clipboard"
# A paste that no application reads is named as before.
session_run dbus-send --session --print-reply --dest=org.freedesktop.portal.Desktop /org/freedesktop/portal/desktop \
    org.velmora.FakePortal.IgnorePastes >/dev/null
printf 'aé' >"$WORK/lost.in"
session_run "$DRIVER" "$WORK/lost.in" >"$WORK/lost.out" 2>&1 || fail "the driver failed: $(cat "$WORK/lost.out")"
grep -q '^problem: 1 character could not be typed (é): .* did not take them' "$WORK/lost.out" ||
    fail "an unread paste was not named: $(cat "$WORK/lost.out")"
# Every session that held the user's text when it closed (with the row that pastes: 4) left it to the manager.
[ "$(grep -cx 'kept previous' "$CLIP_LOG")" -eq 4 ] ||
    fail "the clipboard did not keep the user's text: $(cat "$CLIP_LOG")"
ok "[remote desktop] with the portal's clipboard, runs the layout lacks were pasted in order (an unread one" \
    "named); the user's clipboard was put back"
