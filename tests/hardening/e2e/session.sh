# The start of every script here: the e2e libraries (with fail and the program helpers) and a fresh X session with
# a work folder in WORK. Source it after reading the script's arguments.
. "$(dirname "${BASH_SOURCE[0]}")/../../e2e/lib/programs.sh"

xsession_start
WORK="$XSESSION_DIR/work"
mkdir -p "$WORK"
