# A private headless Sway session for one end-to-end script (pixman renderer, no input devices, no XWayland), in a
# session of session.sh (its user, folder and environment; its programs run with session_spawn and session_run).
#
#   sway_start [CONFIG_LINES]  # session_prepare, and Sway started in it
#   swaymsg_run ARGS...        # swaymsg to this session
#   sway_focus_title TITLE [SECONDS]   # waits for a window whose title matches this regular expression, focuses it
#   sway_test_start PROGRAM... # sway_start, and the programs copied into $SESSION_DIR/bin where its user may run them

. "$(dirname "${BASH_SOURCE[0]}")/session.sh"

swaymsg_run() { session_run swaymsg -s "$SWAY_SOCK" "$@"; }
sway_test_start() { sway_start && session_copy_program "$@"; }

sway_focus_title() {
    local title=$1 seconds=${2:-20}
    wait_until "$seconds" sway_title_is "$title" || {
        xsession_log "timed out waiting for the window \"$title\""
        return 1
    }
    swaymsg_run "[title=\"^${title}\$\"] focus" >/dev/null
    wait_until "$seconds" sway_title_is "$title" focused || {
        xsession_log "timed out giving the focus to \"$title\""
        return 1
    }
}

# sway_title_is TITLE [focused]: whether a window's whole title matches the regular expression TITLE (and it has the
# focus).
sway_title_is() {
    swaymsg_run -t get_tree | python3 -c '
import json, re, sys
def walk(node):
    if re.fullmatch(sys.argv[1], node.get("name") or "") and (len(sys.argv) < 3 or node.get("focused")):
        sys.exit(0)
    for child in node.get("nodes", []) + node.get("floating_nodes", []):
        walk(child)
walk(json.load(sys.stdin))
sys.exit(1)' "$@"
}

sway_start() {
    session_prepare sway
    printf '%s\n' "xwayland disable" "output HEADLESS-1 resolution 1280x800" "default_border none" "${1:-}" \
        >"$SESSION_DIR/sway.conf"
    chmod 0644 "$SESSION_DIR/sway.conf"
    SESSION_ENV+=(WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman)
    session_spawn sway -c "$SESSION_DIR/sway.conf" >"$SESSION_DIR/sway.log" 2>&1
    local sway_pid=$XSESSION_LAST_PID
    wait_until 20 sway_ready "$SESSION_DIR/runtime" || {
        xsession_log "Sway did not start:"
        cat "$SESSION_DIR/sway.log" >&2
        return 1
    }
    SESSION_ENV+=(WAYLAND_DISPLAY="$WAYLAND_NAME" SWAYSOCK="$SWAY_SOCK" XDG_SESSION_TYPE=wayland
        QT_QPA_PLATFORM=wayland)
    xsession_log "headless Sway on $WAYLAND_NAME (pid $sway_pid${SESSION_USER:+, user $SESSION_USER})"
}

sway_ready() {
    local runtime=$1 socket
    for socket in "$runtime"/wayland-*; do
        case "$socket" in *.lock | *'*'*) continue ;; esac
        WAYLAND_NAME=$(basename "$socket")
    done
    SWAY_SOCK=$(ls "$runtime"/sway-ipc.*.sock 2>/dev/null | head -n 1)
    [ -n "${WAYLAND_NAME:-}" ] && [ -n "$SWAY_SOCK" ]
}
