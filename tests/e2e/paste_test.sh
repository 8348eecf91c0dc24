#!/usr/bin/env bash
# Rows that paste, through the real X11 typist under Xvfb: the text arrives exactly by the clipboard, and the user's
# clipboard is afterwards what it was, target by target and byte for byte; an empty clipboard stays empty; a secret
# row is typed, and the clipboard never changes hands for it.
#
#   paste_test.sh TYPE_DRIVER TEST_TARGET CLIPBOARD_OWNER
set -euo pipefail

. "$(dirname "$0")/lib/typing.sh" qt "$1" "$2"
OWNER=$3
FAIL_LOGS+=("$WORK/owner.log")

command -v xclip >/dev/null || fail "xclip is missing (scripts/lib/packages.sh installs it)"

# dump_clipboard DIR: every target the clipboard's owner offers (but those about the selection itself), one file each.
dump_clipboard() {
    local dir=$1 target
    rm -rf "$dir" && mkdir -p "$dir"
    xclip -o -selection clipboard -t TARGETS >"$dir.targets" 2>/dev/null || return 0 # empty: no owner
    for target in $(sort -u "$dir.targets"); do
        case "$target" in TARGETS | MULTIPLE | TIMESTAMP | SAVE_TARGETS | DELETE | INSERT_SELECTION | INSERT_PROPERTY) continue ;; esac
        xclip -o -selection clipboard -t "$target" >"$dir/${target//\//_}" ||
            fail "the clipboard's target $target could not be read"
    done
}

# changes: how often the owner heard of the clipboard changing hands since it lost it.
changes() { grep -c '^lost' "$WORK/owner.log" || true; }
owner_lost() { [ "$(changes)" -gt 0 ]; }

# The user's clipboard: a text, HTML and a PNG image larger than one request of the restored copy.
printf '<p>The <b>user</b>’s copy</p>' >"$WORK/copy.html"
convert -size 400x400 xc: +noise Random "png:$WORK/copy.png"
: >"$WORK/owner.log"
xsession_spawn "$OWNER" "$WORK/owner.log" "The user’s copy" "$WORK/copy.html" "$WORK/copy.png"
OWNER_PID=$XSESSION_LAST_PID
wait_until 20 grep -q '^owned' "$WORK/owner.log" || fail "the clipboard owner did not start"
dump_clipboard "$WORK/before"
[ -s "$WORK/before/image_png" ] && [ -s "$WORK/before/text_html" ] && [ -s "$WORK/before/UTF8_STRING" ] ||
    fail "the user's clipboard lacks a format before the paste: $(ls "$WORK/before")"

# paste_case KIND NAME INPUT: a fresh target; the driver pastes the input; the target must hold it exactly, and
# nothing may have been typed key by key.
paste_case() {
    local kind=$1 name=$2 input=$3
    local out="$WORK/$name.out"
    expected_for "$kind" <"$input" >"$WORK/$name.expected"
    start_target "$kind" "$out" || fail "[$kind] $name: the target did not start"
    # It stays, as Velmora does: the user's content it put back goes when it ends. The one before ends once this
    # one has taken the content over.
    local previous=${DRIVER_PID:-}
    : >"$WORK/driver.out"
    xsession_spawn "$DRIVER" --paste --linger "$input" >"$WORK/driver.out" 2>"$WORK/driver.err"
    DRIVER_PID=$XSESSION_LAST_PID
    wait_until 60 grep -q '^texts=' "$WORK/driver.out" || fail "[$kind] $name: the driver did not finish"
    [ -z "$previous" ] || xsession_stop "$previous"
    wait_file_equals "$out" "$WORK/$name.expected" 30 || fail "[$kind] $name: the text that arrived is not the text"
    grep -q ' strokes=0 ' "$WORK/driver.out" || fail "[$kind] $name: typed, not pasted: $(cat "$WORK/driver.out")"
    ! grep -q problem "$WORK/driver.err" || fail "[$kind] $name: $(cat "$WORK/driver.err")"
    ok "[$kind] $name: $(wc -m <"$input") characters pasted"
    xsession_stop "$TARGET_PID"
}

mixed_text 10000 2024 >"$WORK/long.in"
paste_case qt long "$WORK/long.in"
dump_clipboard "$WORK/after"
diff -r "$WORK/before" "$WORK/after" >&2 || fail "the user's clipboard differs after the paste"
ok "the user's clipboard is back: $(ls "$WORK/after" | tr '\n' ' ')"

# A terminal pastes by Shift+Insert, xterm from PRIMARY: both carry the text, both are put back.
mixed_text 1500 77 >"$WORK/terminal.in"
paste_case xterm terminal "$WORK/terminal.in"
dump_clipboard "$WORK/after-terminal"
diff -r "$WORK/before" "$WORK/after-terminal" >&2 || fail "the user's clipboard differs after the terminal's paste"

# A secret row that would paste is typed; the clipboard never changes hands for it. The proof: the owner of a fresh
# copy loses it only to a copy made after the row (the marker).
xsession_stop "$DRIVER_PID"
DRIVER_PID=""
xsession_stop "$OWNER_PID"
: >"$WORK/owner.log"
xsession_spawn "$OWNER" "$WORK/owner.log" "The user’s copy" "$WORK/copy.html" "$WORK/copy.png"
OWNER_PID=$XSESSION_LAST_PID
wait_until 20 grep -q '^owned' "$WORK/owner.log" || fail "secret: the clipboard owner did not start"
printf 'secret: Pa55 wörd' >"$WORK/secret.in"
start_target qt "$WORK/secret.out" || fail "secret: the target did not start"
"$DRIVER" --paste --secret "$WORK/secret.in" >"$WORK/driver.out" 2>"$WORK/driver.err" || fail "secret: the driver failed"
wait_file_equals "$WORK/secret.out" "$WORK/secret.in" 30 || fail "secret: the text did not arrive"
grep -q 'a secret row never goes on the clipboard' "$WORK/driver.err" || fail "secret: no word of why it was typed"
xsession_stop "$TARGET_PID"
[ "$(changes)" -eq 0 ] || fail "secret: the clipboard changed hands for it"
printf 'marker' >"$WORK/marker"
xsession_spawn xclip -quiet -selection clipboard -i "$WORK/marker"
MARKER_PID=$XSESSION_LAST_PID
wait_until 20 owner_lost || fail "secret: the marker's copy was not seen"
[ "$(changes)" -eq 1 ] || fail "secret: the clipboard changed hands $(($(changes) - 1)) time(s) for it"
ok "secret: typed, and the clipboard never changed hands"

# An empty clipboard stays empty.
xsession_stop "$MARKER_PID"
xsession_stop "$OWNER_PID"
wait_until 20 sh -c '! xclip -o -selection clipboard -t TARGETS >/dev/null 2>&1' || fail "the clipboard did not become empty"
printf 'into an empty clipboard' >"$WORK/empty.in"
paste_case qt empty "$WORK/empty.in"
! xclip -o -selection clipboard -t TARGETS >/dev/null 2>&1 || fail "the empty clipboard holds something after the paste"
ok "the empty clipboard is empty again"
