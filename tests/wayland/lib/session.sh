# What every private desktop session of the Wayland scripts shares: a folder the session's user may write, that
# user (compositors refuse root: started by root, everything of the session runs as the unprivileged user
# velmora-wltest, created here if missing), the session's environment, and starting its programs. Needs
# tests/e2e/lib/xsession.sh sourced (the shared spawn, wait and cleanup helpers).
#
#   session_setup PREFIX         # makes SESSION_DIR (with runtime/, config/, work/ = WORK), SESSION_USER, SESSION_ENV
#   session_spawn CMD ARGS...    # runs a program of the session in the background; stopped at exit (XSESSION_LAST_PID)
#   session_spawn_reading FILE CMD ARGS...   # the same, its standard input read from FILE (a background
#                                            # command's input is otherwise /dev/null)
#   session_run CMD ARGS...      # runs a program of the session and waits for it
#   session_copy_program FILE... # copies programs into $SESSION_DIR/bin, where the session's user may run them
#   session_bus_start NAME       # a D-Bus daemon of the session at runtime/NAME; its address in SESSION_BUS_ADDRESS
#   session_bus_has_name NAME    # whether the session bus has a program that owns NAME

SESSION_DIR=""
SESSION_USER=""
SESSION_ENV=()

session_setup() {
    SESSION_DIR=$(mktemp -d "${TMPDIR:-/tmp}/velmora-$1.XXXXXX")
    chmod 0755 "$SESSION_DIR"
    XSESSION_DIR=$SESSION_DIR # removed by the shared cleanup
    trap xsession_cleanup EXIT
    trap 'exit 130' INT TERM
    if [ "$(id -u)" -eq 0 ]; then
        SESSION_USER=velmora-wltest
        # Another script may be creating it at the same moment.
        id -u "$SESSION_USER" >/dev/null 2>&1 ||
            useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin "$SESSION_USER" ||
            id -u "$SESSION_USER" >/dev/null
    fi
    mkdir -m 0700 "$SESSION_DIR/runtime" "$SESSION_DIR/config"
    WORK="$SESSION_DIR/work"
    mkdir -p "$WORK"
    [ -z "$SESSION_USER" ] || chown "$SESSION_USER" "$SESSION_DIR" "$SESSION_DIR/runtime" "$SESSION_DIR/config" "$WORK"
    SESSION_ENV=(PATH=/usr/local/bin:/usr/bin:/bin HOME="$SESSION_DIR" XDG_RUNTIME_DIR="$SESSION_DIR/runtime"
        XDG_CONFIG_HOME="$SESSION_DIR/config" LC_ALL=C.UTF-8)
    # The sanitizer settings of a sanitizer build reach the programs of the session.
    local name
    for name in ASAN_OPTIONS LSAN_OPTIONS UBSAN_OPTIONS; do
        [ -z "${!name:-}" ] || SESSION_ENV+=("$name=${!name}")
    done
}

# session_command CMD ARGS...: sets SESSION_COMMAND to the command line that runs CMD as the session's user in its
# environment (runuser passes a termination signal on to the program; env replaces itself by the program).
session_command() {
    if [ -n "$SESSION_USER" ]; then
        SESSION_COMMAND=(runuser -u "$SESSION_USER" -- env -i "${SESSION_ENV[@]}" "$@")
    else
        SESSION_COMMAND=(env "${SESSION_ENV[@]}" "$@")
    fi
}

# The spawned process is runuser or the program itself, never a shell, so that stopping it stops the program.
session_spawn() {
    session_command "$@"
    xsession_spawn "${SESSION_COMMAND[@]}"
}

session_spawn_reading() {
    local input=$1
    shift
    session_command "$@"
    "${SESSION_COMMAND[@]}" <"$input" &
    XSESSION_LAST_PID=$!
    XSESSION_PIDS+=("$XSESSION_LAST_PID")
}

session_run() {
    session_command "$@"
    "${SESSION_COMMAND[@]}"
}

session_copy_program() {
    mkdir -p "$SESSION_DIR/bin"
    cp "$@" "$SESSION_DIR/bin/"
    [ -z "$SESSION_USER" ] || chown -R "$SESSION_USER" "$SESSION_DIR/bin"
}

session_bus_start() {
    local socket="$SESSION_DIR/runtime/$1"
    session_spawn dbus-daemon --session --nofork --nopidfile --address="unix:path=$socket" \
        >"$SESSION_DIR/$1.log" 2>&1
    wait_until 10 test -S "$socket" || {
        xsession_log "the D-Bus daemon $1 did not start"
        return 1
    }
    SESSION_BUS_ADDRESS="unix:path=$socket"
}

session_bus_has_name() {
    session_run dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner "string:$1" 2>/dev/null | grep -q 'boolean true'
}
