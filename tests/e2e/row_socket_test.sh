#!/usr/bin/env bash
# "velmora --type-row N" without XDG_RUNTIME_DIR, where another user listens first: the request is not sent, whether
# that user made the folder of the socket or put a socket into the user's own folder. As root only (it acts as two
# users); reports itself skipped otherwise.
#
#   row_socket_test.sh VELMORA
set -euo pipefail
. "$(cd "$(dirname "$0")" && pwd)/lib/xsession.sh"
[ "$(id -u)" -eq 0 ] || { echo "SKIP: acting as two users needs root"; exit 77; }
other=velmora-wltest
id -u "$other" >/dev/null 2>&1 || useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin \
    "$other" || id -u "$other" >/dev/null
XSESSION_DIR=$(mktemp -d)
trap xsession_cleanup EXIT
chmod 0755 "$XSESSION_DIR"
install -m 0755 "$1" "$XSESSION_DIR/velmora"
export TMPDIR=$XSESSION_DIR/tmp
mkdir -m 1777 "$TMPDIR"
unset XDG_RUNTIME_DIR
export PATH=/usr/sbin:/usr/bin:/sbin:/bin # the other user runs the same tools
socket=$(python3 -c 'import sys
h = 14695981039346656037
for c in sys.argv[1].encode(): h = (h ^ c) * 1099511628211 % 2**64
print("velmora-%016x.sock" % h)' "$XSESSION_DIR/velmora")

# as USER: the command that runs what follows as that user.
as() { echo setpriv --reuid "$1" --regid "$1" --clear-groups --; }
# listen USER FOLDER: USER answers "ok" on the program's socket in FOLDER and keeps what it hears in $TMPDIR/heard.
listen() {
    xsession_spawn $(as "$1") python3 -c 'import os, socket, sys
s = socket.socket(socket.AF_UNIX)
s.bind(sys.argv[1])
os.chmod(sys.argv[1], 0o777)
s.listen()
open(sys.argv[2] + ".ready", "w")
while True:
    c = s.accept()[0]
    open(sys.argv[2], "ab").write(c.recv(64))
    c.sendall(b"ok\n")' "$2/$socket" "$TMPDIR/heard" 2>/dev/null
    wait_for_file "$TMPDIR/heard.ready" 10 || fail "$1 did not listen"
    rm "$TMPDIR/heard.ready"
}
# refused USER WHY: USER's request fails, says WHY, and the listener heard nothing.
refused() {
    if $(as "$1") "$XSESSION_DIR/velmora" --type-row 1 2>"$TMPDIR/said"; then
        fail "$1's request went to another user's socket"
    fi
    grep -q "$2" "$TMPDIR/said" || fail "$1 was told: $(cat "$TMPDIR/said")"
    [ ! -s "$TMPDIR/heard" ] || fail "the other user heard: $(cat "$TMPDIR/heard")"
}

# Another user made root's folder first.
mkdir -m 0700 "$TMPDIR/velmora-0"
chown "$other" "$TMPDIR/velmora-0"
listen "$other" "$TMPDIR/velmora-0"
refused root "not a folder private to you: it belongs to the user with id $(id -u "$other")"
ok "[row socket] a folder another user made is refused"

# Root put a socket into an ordinary user's own private folder.
$(as "$other") mkdir -m 0700 "$TMPDIR/velmora-$(id -u "$other")"
listen root "$TMPDIR/velmora-$(id -u "$other")"
refused "$other" "is held by the user with id 0"
ok "[row socket] a socket of another user in the user's own folder is refused"
