#!/usr/bin/env bash
# A 1 MB snippet typed through the real typist into an xterm arrives exactly: every character, in order.
#
#   megabyte.sh TYPE_DRIVER [BYTES]
set -euo pipefail

DRIVER=$1
BYTES=${2:-1048576}
. "$(dirname "$0")/session.sh"

# A 4,000-character block of mixed text (symbols, accented letters, CJK, tabs, line breaks), with a line number
# before every repetition so that a lost or doubled stretch cannot go unnoticed; cut at a character boundary.
mixed_text 4000 1234 >"$WORK/block"
: >"$WORK/text.in"
line=0
while [ "$(file_size "$WORK/text.in")" -lt "$BYTES" ]; do
    line=$((line + 1))
    { printf '#%06d ' "$line"; cat "$WORK/block"; printf '\r\n'; } >>"$WORK/text.in"
done
head -c "$BYTES" "$WORK/text.in" | iconv -c -f UTF-8 -t UTF-8 >"$WORK/text.cut"
mv "$WORK/text.cut" "$WORK/text.in"
# What the xterm receives: every line break (CR LF, lone CR, lone LF) as one CR.
perl -0777 -pe 's/\r\n/\r/g; s/\n/\r/g' "$WORK/text.in" >"$WORK/expected"

start_target xterm "$WORK/typed" || fail "the target did not start"
started=$SECONDS
"$DRIVER" "$WORK/text.in" >"$WORK/driver.out" 2>"$WORK/driver.err" || fail "the driver failed: $(cat "$WORK/driver.err")"
wait_file_equals "$WORK/typed" "$WORK/expected" 120 || fail "the 1 MB snippet did not arrive exactly"
took=$((SECONDS - started))
xsession_log "ok: $(file_size "$WORK/text.in") bytes typed exactly in ${took} s: $(cat "$WORK/driver.out")"
grep -q ' dropped=0 ' "$WORK/driver.out" || fail "characters were dropped: $(cat "$WORK/driver.out")"
xsession_log "PASS: 1 MB snippet"
