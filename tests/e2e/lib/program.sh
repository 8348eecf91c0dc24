# The whole program in a folder of its own inside an X session of xsession.sh (start that first).
#
#   program_install VELMORA_BINARY       # copies the program into $XSESSION_DIR/app; its folder in PROGRAM_DIR
#   list_item TEXT CTRL KEY CHECKED [ATTRIBUTES]   # prints one item element (TEXT is base64-encoded here)
#   program_write_list ITEM...           # writes mouses.xml beside the program
#   list_items FILE                      # the item elements of a list file, one a line, as the program writes them
#   program_start                        # starts it; its pid in PROGRAM_PID, its main window in PROGRAM_WINDOW;
#                                        # its output goes to PROGRAM_LOG, which fail shows
#   program_key KEYS...                  # gives the main window the focus (even minimised) and presses the keys
#   program_wait_exit SECONDS            # waits for the program to end; fails unless it ended with status 0
#   grabbed MODIFIER KEY / released MODIFIER KEY   # whether the combination is grabbed (needs GRAB_PROBE)

PROGRAM_DIR=""
PROGRAM_PID=""
PROGRAM_WINDOW=""
PROGRAM_LOG=""

program_install() {
    PROGRAM_DIR="$XSESSION_DIR/app"
    PROGRAM_LOG="$XSESSION_DIR/velmora.log"
    mkdir -p "$PROGRAM_DIR"
    cp "$1" "$PROGRAM_DIR/velmora"
    FAIL_LOGS+=("$PROGRAM_LOG")
}

list_item() {
    printf '<item FStr="%s" FHKCtrl="%s" FHKChar="%s" checked="%s"%s/>' "$(printf '%s' "$1" | base64 -w 0)" "$2" "$3" \
        "$4" "${5:+ $5}"
}

program_write_list() {
    local IFS=
    printf '<?xml version="1.0" encoding="utf-8" standalone="yes"?><list versionNo="1.0" generated="test">%s</list>' \
        "$*" >"$PROGRAM_DIR/mouses.xml"
}

list_items() {
    grep -o '<item [^>]*>' "$1" | sed 's# />#/>#'
}

program_start() {
    xsession_spawn "$PROGRAM_DIR/velmora" >>"$PROGRAM_LOG" 2>&1
    PROGRAM_PID=$XSESSION_LAST_PID
    PROGRAM_WINDOW=$(timeout 20 xdotool search --sync --onlyvisible --name '^Velmora 1\.1 $' | head -n 1) || {
        xsession_log "the main window did not appear"
        return 1
    }
}

program_key() {
    focus_window "$PROGRAM_WINDOW" 10 || return 1
    xdotool key "$@"
}

program_wait_exit() {
    local seconds=$1 status=0
    if ! wait_until "$seconds" bash -c "! kill -0 $PROGRAM_PID 2>/dev/null"; then
        xsession_log "the program did not end within $seconds s"
        return 1
    fi
    wait "$PROGRAM_PID" || status=$?
    if [ "$status" -ne 0 ]; then
        xsession_log "the program ended with status $status"
        return 1
    fi
}

grabbed() { "$GRAB_PROBE" "$1" "$2"; }
released() { ! "$GRAB_PROBE" "$1" "$2"; }

# file_size FILE: its size in bytes (0 when missing).
file_size() {
    if [ -e "$1" ]; then
        wc -c <"$1"
    else
        echo 0
    fi
}

# size_at_least FILE BYTES: whether the file holds at least that many bytes (for wait_until).
size_at_least() {
    [ "$(file_size "$1")" -ge "$2" ]
}

# is_prefix FILE WHOLE: whether FILE holds the beginning of WHOLE (FILE may still be growing).
is_prefix() {
    local size
    size=$(file_size "$1")
    [ "$size" -le "$(file_size "$2")" ] && cmp -s -n "$size" "$1" "$2"
}
