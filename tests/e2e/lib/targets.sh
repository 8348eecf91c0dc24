# Windows that record exactly what is typed into them, for the typing scripts and the typing benchmark.
# Needs xsession.sh sourced and started.
#
#   start_xterm_target FILE     # an xterm whose raw tty copies every byte to FILE (Return arrives as "\r")
#   start_qt_target FILE        # the Qt text edit of the tests; FILE holds its text (Return arrives as "\n")
#   start_target KIND FILE      # KIND is xterm or qt
# Each waits until the target is ready and has the focus; the target's pid is in TARGET_PID, its window in
# XSESSION_WINDOW. VELMORA_TEST_TARGET must name the built velmora_test_target.

TARGET_PID=""
TARGET_SERIAL=0

start_xterm_target() {
    local file=$1
    TARGET_SERIAL=$((TARGET_SERIAL + 1))
    local title="velmora-target-$$-$TARGET_SERIAL"
    rm -f "$file"
    # The tty is raw (no echo, no line editing, no CR translation, no signals) so the file gets every key's bytes;
    # the file appears only after stty has run.
    LC_ALL=C.UTF-8 xsession_spawn xterm -u8 -title "$title" -geometry 100x30+10+10 \
        -e sh -c 'stty -icanon -echo -icrnl -ixon -isig -iexten min 1; exec cat > "$1"' sh "$file"
    TARGET_PID=$XSESSION_LAST_PID
    wait_for_file "$file" 20 && focus_window_named "$title" 20
}

start_qt_target() {
    local file=$1
    TARGET_SERIAL=$((TARGET_SERIAL + 1))
    local title="velmora-target-$$-$TARGET_SERIAL"
    rm -f "$file"
    xsession_spawn "$VELMORA_TEST_TARGET" "$file" "$title"
    TARGET_PID=$XSESSION_LAST_PID
    wait_for_file "$file" 20 && focus_window_named "$title" 20
}

start_target() {
    case "$1" in
    xterm) start_xterm_target "$2" ;;
    qt) start_qt_target "$2" ;;
    *)
        echo "unknown target kind: $1" >&2
        return 1
        ;;
    esac
}

# expected_for KIND: reads a text on stdin, writes what the target of that kind receives: every line break
# (CR LF, lone CR, lone LF) becomes "\r" in the xterm and "\n" in the Qt edit. Other control bytes are not handled.
expected_for() {
    local text
    text=$(cat; printf x)
    text=${text%x}
    case "$1" in
    xterm)
        text=${text//$'\r\n'/$'\r'}
        text=${text//$'\n'/$'\r'}
        ;;
    qt)
        text=${text//$'\r\n'/$'\n'}
        text=${text//$'\r'/$'\n'}
        ;;
    esac
    printf '%s' "$text"
}
