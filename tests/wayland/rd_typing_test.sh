#!/usr/bin/env bash
# Typing through the real xdg-desktop-portal's RemoteDesktop and the test backend, on headless Sway (whose keymap
# is the "user's layout", US by default): the keysyms of the characters the layout has are sent in order, each
# pressed and released; the characters it lacks are not sent and are named in the report.
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
grep -q "^problem: 4 characters could not be typed (é 漢 字 😀): your keyboard layout has no key for them" "$WORK/driver.out" ||
    fail "the characters the layout lacks were not reported: $(cat "$WORK/driver.out")"
ok "[remote desktop] the characters the layout lacks were named"
