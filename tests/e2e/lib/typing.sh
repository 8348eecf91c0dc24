# The start that the typing scripts share: sourced with the script's arguments KIND TYPE_DRIVER TEST_TARGET, it
# loads the session, target and text helpers, starts a private X session and makes a work folder.
# Sets KIND (xterm or qt), DRIVER, WORK, and exports VELMORA_TEST_TARGET; FAIL_LOGS shows what the driver printed.
KIND=$1
DRIVER=$2
export VELMORA_TEST_TARGET=$3
. "$(dirname "${BASH_SOURCE[0]}")/xsession.sh"
. "$(dirname "${BASH_SOURCE[0]}")/targets.sh"
. "$(dirname "${BASH_SOURCE[0]}")/texts.sh"
export LC_ALL=C.UTF-8

xsession_start
WORK="$XSESSION_DIR/typing"
mkdir -p "$WORK"
FAIL_LOGS=("$WORK/driver.err" "$WORK/driver.out")
