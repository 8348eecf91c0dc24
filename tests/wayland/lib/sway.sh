# A private headless Sway session for one end-to-end script (pixman renderer, no input devices, no XWayland).
# Sway refuses to run as root: started by root, everything of the session runs as the unprivileged user
# velmora-wltest, created here if missing. Needs tests/e2e/lib/xsession.sh sourced (the shared spawn, wait and
# cleanup helpers).
#
#   sway_start [CONFIG_LINES]  # exports SWAY_DIR (a folder the session's user may write), SWAY_ENV (env settings)
#   sway_spawn CMD ARGS...     # runs a program of the session in the background; stopped at exit (XSESSION_LAST_PID)
#   sway_run CMD ARGS...       # runs a program of the session and waits for it
#   swaymsg_run ARGS...        # swaymsg to this session
#   sway_focus_title TITLE [SECONDS]   # waits for a window whose title matches this regular expression, focuses it
#   sway_copy_program FILE...  # copies programs into $SWAY_DIR/bin, where the session's user may run them

SWAY_DIR=""
SWAY_USER=""
SWAY_ENV=()

# sway_command CMD ARGS...: sets SWAY_COMMAND to the command line that runs CMD as the session's user in its
# environment (runuser passes a termination signal on to the program; env replaces itself by the program).
sway_command() {
    if [ -n "$SWAY_USER" ]; then
        SWAY_COMMAND=(runuser -u "$SWAY_USER" -- env -i "${SWAY_ENV[@]}" "$@")
    else
        SWAY_COMMAND=(env "${SWAY_ENV[@]}" "$@")
    fi
}

sway_as_user() {
    sway_command "$@"
    "${SWAY_COMMAND[@]}"
}

# The spawned process is runuser or the program itself, never a shell, so that stopping it stops the program.
sway_spawn() {
    sway_command "$@"
    xsession_spawn "${SWAY_COMMAND[@]}"
}

sway_run() {
    sway_as_user "$@"
}

swaymsg_run() {
    sway_as_user swaymsg -s "$SWAY_SOCK" "$@"
}

# sway_test_start PROGRAM...: starts Sway, copies the programs where its user can run them, and makes WORK, a work
# folder that user can write.
sway_test_start() {
    sway_start
    sway_copy_program "$@"
    WORK="$SWAY_DIR/work"
    mkdir -p "$WORK"
    [ -z "$SWAY_USER" ] || chown "$SWAY_USER" "$WORK"
}

sway_copy_program() {
    mkdir -p "$SWAY_DIR/bin"
    cp "$@" "$SWAY_DIR/bin/"
    [ -z "$SWAY_USER" ] || chown -R "$SWAY_USER" "$SWAY_DIR/bin"
}

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
    SWAY_DIR=$(mktemp -d "${TMPDIR:-/tmp}/velmora-sway.XXXXXX")
    chmod 0755 "$SWAY_DIR"
    XSESSION_DIR=$SWAY_DIR # removed by the shared cleanup
    trap xsession_cleanup EXIT
    trap 'exit 130' INT TERM
    if [ "$(id -u)" -eq 0 ]; then
        SWAY_USER=velmora-wltest
        # Another script may be creating it at the same moment.
        id -u "$SWAY_USER" >/dev/null 2>&1 ||
            useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin "$SWAY_USER" ||
            id -u "$SWAY_USER" >/dev/null
        chown "$SWAY_USER" "$SWAY_DIR"
    fi
    local runtime="$SWAY_DIR/runtime"
    mkdir -m 0700 "$runtime" "$SWAY_DIR/config"
    [ -z "$SWAY_USER" ] || chown "$SWAY_USER" "$runtime" "$SWAY_DIR/config"
    {
        echo "xwayland disable"
        echo "output HEADLESS-1 resolution 1280x800"
        echo "default_border none"
        printf '%s\n' "${1:-}"
    } >"$SWAY_DIR/sway.conf"
    chmod 0644 "$SWAY_DIR/sway.conf"
    SWAY_ENV=(PATH=/usr/local/bin:/usr/bin:/bin HOME="$SWAY_DIR" XDG_RUNTIME_DIR="$runtime"
        XDG_CONFIG_HOME="$SWAY_DIR/config" LC_ALL=C.UTF-8 WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1
        WLR_RENDERER=pixman)
    # The sanitizer settings of a sanitizer build reach the programs of the session.
    local name
    for name in ASAN_OPTIONS LSAN_OPTIONS UBSAN_OPTIONS; do
        [ -z "${!name:-}" ] || SWAY_ENV+=("$name=${!name}")
    done
    sway_spawn sway -c "$SWAY_DIR/sway.conf" >"$SWAY_DIR/sway.log" 2>&1
    local sway_pid=$XSESSION_LAST_PID
    if ! wait_until 20 sway_ready "$runtime"; then
        xsession_log "Sway did not start:"
        cat "$SWAY_DIR/sway.log" >&2
        return 1
    fi
    SWAY_ENV+=(WAYLAND_DISPLAY="$WAYLAND_NAME" SWAYSOCK="$SWAY_SOCK" XDG_SESSION_TYPE=wayland
        QT_QPA_PLATFORM=wayland)
    xsession_log "headless Sway on $WAYLAND_NAME (pid $sway_pid${SWAY_USER:+, user $SWAY_USER})"
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
