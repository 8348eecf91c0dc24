# What every private Wayland session of an end-to-end script shares, whatever its compositor: a folder, the
# unprivileged user velmora-wltest (created here when run as root: compositors refuse root, and the desktop's
# services must run as an ordinary user), the session's environment, its own D-Bus session bus and the real
# xdg-desktop-portal frontend. Needs tests/e2e/lib/xsession.sh sourced (the shared spawn, wait and cleanup helpers).
#
#   session_prepare NAME        # exports SESSION_DIR (a folder the session's user may write), SESSION_ENV (env
#                               # settings: HOME, XDG_RUNTIME_DIR, XDG_CONFIG_HOME inside it), SESSION_USER
#   session_spawn CMD ARGS...   # runs a program of the session in the background; stopped at exit (XSESSION_LAST_PID)
#   session_run CMD ARGS...     # runs a program of the session and waits for it
#   session_copy_program FILE...  # copies programs into $SESSION_DIR/bin, where the session's user may run them
#   session_work                # makes WORK, a work folder the session's user may write
#   session_bus_start           # starts the session's D-Bus bus; DBUS_SESSION_BUS_ADDRESS joins SESSION_ENV
#   bus_has_name NAME           # whether a program of the session owns the bus name
#   portal_frontend_start PORTALS_DIR DESKTOP   # the real xdg-desktop-portal, with the backends of that folder

SESSION_DIR=""
SESSION_USER=""
SESSION_ENV=()

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

session_run() {
    session_command "$@"
    "${SESSION_COMMAND[@]}"
}

session_copy_program() {
    mkdir -p "$SESSION_DIR/bin"
    cp "$@" "$SESSION_DIR/bin/"
    [ -z "$SESSION_USER" ] || chown -R "$SESSION_USER" "$SESSION_DIR/bin"
}

session_work() {
    WORK="$SESSION_DIR/work"
    mkdir -p "$WORK"
    [ -z "$SESSION_USER" ] || chown "$SESSION_USER" "$WORK"
}

session_prepare() {
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
        chown "$SESSION_USER" "$SESSION_DIR"
    fi
    mkdir -m 0700 "$SESSION_DIR/runtime" "$SESSION_DIR/config"
    [ -z "$SESSION_USER" ] || chown "$SESSION_USER" "$SESSION_DIR/runtime" "$SESSION_DIR/config"
    SESSION_ENV=(PATH=/usr/local/bin:/usr/bin:/bin HOME="$SESSION_DIR" XDG_RUNTIME_DIR="$SESSION_DIR/runtime"
        XDG_CONFIG_HOME="$SESSION_DIR/config" LC_ALL=C.UTF-8)
    # The sanitizer settings of a sanitizer build reach the programs of the session.
    local name
    for name in ASAN_OPTIONS LSAN_OPTIONS UBSAN_OPTIONS; do
        [ -z "${!name:-}" ] || SESSION_ENV+=("$name=${!name}")
    done
}

session_bus_start() {
    local bus="$SESSION_DIR/runtime/bus"
    session_spawn dbus-daemon --session --nofork --nopidfile --address="unix:path=$bus" >"$SESSION_DIR/dbus.log" 2>&1
    SESSION_ENV+=(DBUS_SESSION_BUS_ADDRESS="unix:path=$bus")
    wait_until 10 test -S "$bus" || {
        xsession_log "the session bus did not start"
        return 1
    }
}

bus_has_name() {
    session_run dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner "string:$1" 2>/dev/null | grep -q 'boolean true'
}

portal_frontend_start() {
    local portals=$1 desktop=$2
    chmod -R a+rX "$portals"
    session_spawn env XDG_DESKTOP_PORTAL_DIR="$portals" XDG_CURRENT_DESKTOP="$desktop" \
        /usr/libexec/xdg-desktop-portal --replace >"$SESSION_DIR/xdp.log" 2>&1
    wait_until 15 bus_has_name org.freedesktop.portal.Desktop || {
        xsession_log "xdg-desktop-portal did not start:"
        cat "$SESSION_DIR/xdp.log" >&2
        return 1
    }
}
