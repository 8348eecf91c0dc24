#!/usr/bin/env bash
# The main window, the About box and the settings dialog under Xvfb + openbox: each framed window is centred.
#   placement_test.sh MAINFORM_TESTS
set -euo pipefail
. "$(cd "$(dirname "$0")" && pwd)/lib/xsession.sh"
unset WAYLAND_DISPLAY
xsession_start || fail "no X session"
"$1" --gtest_filter='*UnderAWindowManager*' || fail "the windows are not centred as framed windows"
