# The start of every script here: the e2e libraries and the program helpers, fail(), and a fresh X session with a
# work folder in WORK. Source it after reading the script's arguments.
HARDENING_E2E="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
E2E_LIB="$HARDENING_E2E/../../e2e/lib"
. "$E2E_LIB/xsession.sh"
. "$E2E_LIB/targets.sh"
. "$E2E_LIB/texts.sh"
. "$HARDENING_E2E/program.sh"
export LC_ALL=C.UTF-8

fail() {
    xsession_log "FAIL: $*"
    exit 1
}

xsession_start
WORK="$XSESSION_DIR/work"
mkdir -p "$WORK"
