# The start of every script here: the e2e libraries (with fail and the program helpers) and a fresh X session with
# a work folder in WORK. Source it after reading the script's arguments.
E2E_LIB="$(cd "$(dirname "${BASH_SOURCE[0]}")/../../e2e/lib" && pwd)"
. "$E2E_LIB/xsession.sh"
. "$E2E_LIB/targets.sh"
. "$E2E_LIB/texts.sh"
. "$E2E_LIB/program.sh"
export LC_ALL=C.UTF-8

xsession_start
WORK="$XSESSION_DIR/work"
mkdir -p "$WORK"
