# A private X session for one end-to-end script: Xvfb on a display it picks itself, openbox, a fresh runtime
# folder; everything started here is stopped (by its process id) when the script exits.
#
#   . tests/e2e/lib/xsession.sh
#   xsession_start                  # exports DISPLAY, XAUTHORITY, XDG_RUNTIME_DIR; sets XSESSION_DIR
#   xsession_spawn CMD ARGS...      # runs a program in the background, stopped at exit; its pid in XSESSION_LAST_PID
#   wait_for_file FILE [SECONDS]
#   wait_file_equals FILE EXPECTED_FILE [SECONDS]
#   focus_window ID [SECONDS]            # activates the window, until it has the focus
#   focus_window_named TITLE [SECONDS]   # waits for the window, activates it; its id in XSESSION_WINDOW
#   ok MESSAGE / fail MESSAGE            # a check passed / the script ends as failed (with the FAIL_LOGS files)
#
# Several scripts may run at once: each gets its own server on its own display.

XSESSION_DIR=""
XSESSION_PIDS=()
XSESSION_LAST_PID=""
XSESSION_WINDOW=""
FAIL_LOGS=()

xsession_log() {
    echo "[$(date +%H:%M:%S.%N | cut -c1-12)] $*" >&2
}

ok() {
    xsession_log "ok   $*"
}

# fail MESSAGE: ends the script with status 1, after the message and the files a script named in FAIL_LOGS.
fail() {
    xsession_log "FAIL $*"
    local log
    for log in "${FAIL_LOGS[@]}"; do
        if [ -s "$log" ]; then
            echo "--- $log:" >&2
            cat "$log" >&2
        fi
    done
    exit 1
}

xsession_cleanup() {
    local i pid
    for ((i = ${#XSESSION_PIDS[@]} - 1; i >= 0; i--)); do
        pid=${XSESSION_PIDS[i]}
        kill -CONT "$pid" 2>/dev/null || true
        kill "$pid" 2>/dev/null || true
    done
    for pid in "${XSESSION_PIDS[@]}"; do
        wait "$pid" 2>/dev/null || true
    done
    XSESSION_PIDS=()
    if [ -n "$XSESSION_DIR" ] && [ -d "$XSESSION_DIR" ]; then
        xsession_unmount
        rm -rf "$XSESSION_DIR" 2>/dev/null || xsession_log "could not remove $XSESSION_DIR: $(rm -rf "$XSESSION_DIR" 2>&1)"
    fi
}

# xsession_mounts: the mount points inside the session folder, one a line. A desktop's document portal, started on
# the session's D-Bus by a program of the session, mounts a FUSE file system in the runtime folder.
xsession_mounts() {
    awk -v dir="$XSESSION_DIR/" 'index($5, dir) == 1 { print $5 }' /proc/self/mountinfo
}

# xsession_unmount: unmounts what is mounted inside the session folder and waits until it is gone (bounded).
xsession_unmount() {
    local point
    for point in $(xsession_mounts); do
        fusermount3 -u -z "$point" 2>/dev/null || fusermount -u -z "$point" 2>/dev/null ||
            umount -l "$point" 2>/dev/null || true
    done
    wait_until 10 test -z "$(xsession_mounts)" || xsession_log "still mounted: $(xsession_mounts)"
}

# xsession_spawn CMD ARGS...: starts a background program that is stopped when the script exits.
xsession_spawn() {
    "$@" &
    XSESSION_LAST_PID=$!
    XSESSION_PIDS+=("$XSESSION_LAST_PID")
}

# xsession_stop PID: stops one program started by xsession_spawn, now.
xsession_stop() {
    local pid=$1
    kill -CONT "$pid" 2>/dev/null || true
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
}

# wait_until SECONDS COMMAND...: polls the command until it succeeds; fails once SECONDS have passed.
wait_until() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        if [ "$SECONDS" -ge "$deadline" ]; then
            return 1
        fi
        # Polling: files, windows and grabs of other processes give a shell no notice it could wait on.
        sleep 0.02
    done
}

# wait_for_file FILE [SECONDS]: until the file exists.
wait_for_file() {
    wait_until "${2:-20}" test -e "$1" || {
        xsession_log "timed out waiting for $1"
        return 1
    }
}

# wait_file_equals FILE EXPECTED_FILE [SECONDS]: until FILE holds exactly the bytes of EXPECTED_FILE.
wait_file_equals() {
    local file=$1 expected=$2
    wait_until "${3:-20}" cmp -s "$file" "$expected" && return 0
    xsession_log "timed out: $file does not equal $expected"
    echo "--- expected ($(wc -c <"$expected") bytes):" >&2
    od -c "$expected" | head -n 20 >&2
    echo "--- got ($(wc -c <"$file" 2>/dev/null || echo 0) bytes):" >&2
    od -c "$file" 2>/dev/null | head -n 20 >&2
    cmp "$file" "$expected" >&2 || true
    return 1
}

# focus_window ID [SECONDS]: activates the window until it is the active one (the window manager may ignore an
# activation while the window is still being mapped).
focus_window() {
    wait_until "${2:-20}" activated "$1" || {
        xsession_log "timed out giving the focus to window $1"
        return 1
    }
}

activated() {
    [ "$(xdotool getactivewindow 2>/dev/null)" = "$1" ] && return 0
    xdotool windowactivate --sync "$1" >/dev/null 2>&1 || true
    [ "$(xdotool getactivewindow 2>/dev/null)" = "$1" ]
}

# focus_window_named TITLE [SECONDS]: waits for a window with exactly this title and gives it the focus.
focus_window_named() {
    local title=$1 seconds=${2:-20}
    XSESSION_WINDOW=""
    if ! wait_until "$seconds" window_named "$title"; then
        xsession_log "timed out waiting for the window \"$title\""
        return 1
    fi
    focus_window "$XSESSION_WINDOW" "$seconds"
}

# window_named TITLE: whether a visible window has exactly this title; its id in XSESSION_WINDOW.
window_named() {
    XSESSION_WINDOW=$(xdotool search --onlyvisible --name "^${1}\$" 2>/dev/null | head -n 1 || true)
    [ -n "$XSESSION_WINDOW" ]
}

# xsession_start: starts Xvfb (1280x1024x24, a free display of its own choosing) and openbox, and waits for both.
xsession_start() {
    XSESSION_DIR=$(mktemp -d "${TMPDIR:-/tmp}/velmora-x.XXXXXX")
    trap xsession_cleanup EXIT
    trap 'exit 130' INT TERM

    export XDG_RUNTIME_DIR="$XSESSION_DIR/runtime"
    mkdir -m 0700 "$XDG_RUNTIME_DIR"
    export XDG_CONFIG_HOME="$XSESSION_DIR/config"
    mkdir -p "$XDG_CONFIG_HOME"
    # Qt programs of this session show real windows, whatever the caller set for its own tests.
    export QT_QPA_PLATFORM=xcb

    # A cookie for this server only: the server reads it at start, clients get it once the display is known.
    export XAUTHORITY="$XSESSION_DIR/Xauthority"
    local cookie
    cookie=$(od -An -N16 -tx1 /dev/urandom | tr -d ' \n')
    xauth -q -f "$XSESSION_DIR/server-auth" add :0 MIT-MAGIC-COOKIE-1 "$cookie"

    xsession_spawn Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset \
        -auth "$XSESSION_DIR/server-auth" 3>"$XSESSION_DIR/display" >"$XSESSION_DIR/xvfb.log" 2>&1
    # Xvfb writes the display number once it accepts clients.
    if ! wait_until 20 grep -q '^[0-9]' "$XSESSION_DIR/display"; then
        xsession_log "Xvfb did not start:"
        cat "$XSESSION_DIR/xvfb.log" >&2
        return 1
    fi
    export DISPLAY=":$(head -n 1 "$XSESSION_DIR/display")"
    touch "$XAUTHORITY"
    xauth -q add "$DISPLAY" MIT-MAGIC-COOKIE-1 "$cookie"

    xsession_spawn openbox --sm-disable --startup "touch $XSESSION_DIR/openbox.ready" \
        >"$XSESSION_DIR/openbox.log" 2>&1
    if ! wait_for_file "$XSESSION_DIR/openbox.ready" 20; then
        cat "$XSESSION_DIR/openbox.log" >&2
        return 1
    fi
    xsession_log "X session on $DISPLAY"
}
