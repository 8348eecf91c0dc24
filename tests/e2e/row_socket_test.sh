#!/usr/bin/env bash
# "velmora --type-row N" without XDG_RUNTIME_DIR, another user listening first (in a folder that user made, or in
# the user's own): nothing is sent. As root only (two users); skipped otherwise.
set -euo pipefail
. "$(cd "$(dirname "$0")" && pwd)/lib/xsession.sh"
[ "$(id -u)" -eq 0 ] || { echo "SKIP: acting as two users needs root"; exit 77; }
other=velmora-wltest
id -u "$other" >/dev/null 2>&1 || useradd --system --no-create-home --shell /usr/sbin/nologin "$other" || id "$other"
XSESSION_DIR=$(mktemp -d)
trap xsession_cleanup EXIT
chmod 1777 "$XSESSION_DIR"
export TMPDIR=$XSESSION_DIR PATH=/usr/sbin:/usr/bin:/sbin:/bin
unset XDG_RUNTIME_DIR
install -m 0755 "$1" "$TMPDIR/velmora"
as() { setpriv --reuid "$1" --regid "$1" --clear-groups -- "${@:2}"; }

# fooled USER LISTENER FOLDER_OWNER: LISTENER answers "ok" on USER's socket, in a folder FOLDER_OWNER made.
fooled() {
    local path
    path=$( (as "$1" "$TMPDIR/velmora" --type-row 1 2>&1 || :) | grep -o "$TMPDIR/.*\.sock") || fail "no socket path"
    rm -r "$(dirname "$path")"
    as "$3" mkdir -m 0700 "$(dirname "$path")"
    xsession_spawn setpriv --reuid "$2" --regid "$2" --clear-groups -- python3 -c 'import os, socket, sys
s = socket.socket(socket.AF_UNIX); s.bind(sys.argv[1]); os.chmod(sys.argv[1], 511); s.listen(); open(sys.argv[2], "w")
while 1: c = s.accept()[0]; open(sys.argv[2], "a").write(c.recv(64).decode()); c.send(b"ok\n")' \
        "$path" "$TMPDIR/heard" 2>/dev/null
    wait_for_file "$TMPDIR/heard" 10 || fail "$2 did not listen"
    ! as "$1" "$TMPDIR/velmora" --type-row 1 2>"$TMPDIR/said" || fail "$1 believed $2's ok"
    [ ! -s "$TMPDIR/heard" ] || fail "$2 heard: $(cat "$TMPDIR/heard")"
    rm "$TMPDIR/heard"
}
fooled root "$other" "$other"
fooled "$other" root "$other"
