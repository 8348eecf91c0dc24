# The libraries a script that runs the whole program needs: the X session, the targets, the texts and the program
# helpers, in a UTF-8 locale.
E2E_LIB="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
. "$E2E_LIB/xsession.sh"
. "$E2E_LIB/targets.sh"
. "$E2E_LIB/texts.sh"
. "$E2E_LIB/program.sh"
export LC_ALL=C.UTF-8
