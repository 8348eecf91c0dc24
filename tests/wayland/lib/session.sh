# What every private Wayland session of an end-to-end script shares, whatever its compositor: a folder, the
# unprivileged user velmora-wltest (created here when run as root: compositors refuse root, and the desktop's
# services must run as an ordinary user), the session's environment, its own D-Bus session bus, the real
# xdg-desktop-portal frontend, and the whole program in it. Sources the e2e libraries (xsession.sh: spawn, wait,
# cleanup; targets.sh, texts.sh, program.sh) and sets LC_ALL=C.UTF-8.
#
#   session_require WHAT FILE_OR_COMMAND...   # exits 77 (CTest: skipped) naming what is missing (WHAT: packages)
#   session_prepare NAME        # SESSION_DIR (a folder the session's user may write), WORK (a work folder in it),
#                               # SESSION_ENV (env settings: HOME, XDG_RUNTIME_DIR, XDG_CONFIG_HOME in it), SESSION_USER
#   session_spawn CMD ARGS...   # runs a program of the session in the background; stopped at exit (XSESSION_LAST_PID)
#   session_run CMD ARGS...     # runs a program of the session and waits for it
#   session_own PATH...         # makes the paths the session user's
#   session_copy_program FILE...  # copies programs into $SESSION_DIR/bin, where the session's user may run them
#   session_bus_start [NAME VARIABLE]   # a D-Bus bus of the session, its address in VARIABLE of SESSION_ENV (by
#                                       # default the session bus, DBUS_SESSION_BUS_ADDRESS)
#   bus_has_name NAME           # whether a program of the session owns the bus name
#   session_service NAME SECONDS CMD ARGS...   # spawns a service (output in $SESSION_DIR/NAME.log), waits for NAME
#   portal_frontend_start PORTALS_DIR DESKTOP   # the real xdg-desktop-portal, with the backends of that folder
#   session_program VELMORA TARGET ITEM...   # copies the program and the test edit (VELMORA, TARGET); the list
#   session_start_program FOCUS_FUNCTION [VAR=VALUE...]   # starts VELMORA (VELMORA_PID, output in
#                                                         # $WORK/velmora.log) until its main window has the focus
#   session_program_pid         # the program's own process id (under runuser: runuser's child)
#   session_other_copy NAME ITEM...   # another copy of VELMORA with a list of its own, in $SESSION_DIR/NAME
#                                     # (OTHER_VELMORA)
#   session_edit OUT TITLE FOCUS_FUNCTION   # starts the test edit (TARGET) writing OUT, until it has the focus

. "$(dirname "${BASH_SOURCE[0]}")/../../e2e/lib/programs.sh"

SESSION_DIR=""
SESSION_USER=""
SESSION_ENV=()

session_require() {
    local what=$1 missing=() item
    for item in "${@:2}"; do
        command -v "$item" >/dev/null 2>&1 || [ -e "$item" ] || missing+=("$item")
    done
    [ "${#missing[@]}" -eq 0 ] || { echo "SKIP: not installed: ${missing[*]} ($what)"; exit 77; }
}

# session_command CMD ARGS...: sets SESSION_COMMAND to the command line that runs CMD as the session's user in its
# environment (runuser passes a termination signal on to the program; env replaces itself by the program).
session_command() {
    SESSION_COMMAND=(env "${SESSION_ENV[@]}" "$@")
    [ -z "$SESSION_USER" ] || SESSION_COMMAND=(runuser -u "$SESSION_USER" -- env -i "${SESSION_ENV[@]}" "$@")
}

# The spawned process is runuser or the program itself, never a shell, so that stopping it stops the program.
session_spawn() { session_command "$@" && xsession_spawn "${SESSION_COMMAND[@]}"; }
session_run() { session_command "$@" && "${SESSION_COMMAND[@]}"; }
session_own() { [ -z "$SESSION_USER" ] || chown -R "$SESSION_USER" "$@"; }

session_copy_program() {
    mkdir -p "$SESSION_DIR/bin"
    cp "$@" "$SESSION_DIR/bin/"
    session_own "$SESSION_DIR/bin"
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
    fi
    WORK="$SESSION_DIR/work"
    mkdir -m 0700 "$SESSION_DIR/runtime" "$SESSION_DIR/config" "$WORK"
    session_own "$SESSION_DIR"
    SESSION_ENV=(PATH=/usr/local/bin:/usr/bin:/bin HOME="$SESSION_DIR" XDG_RUNTIME_DIR="$SESSION_DIR/runtime"
        XDG_CONFIG_HOME="$SESSION_DIR/config" LC_ALL=C.UTF-8)
    # The sanitizer settings of a sanitizer build reach the programs of the session.
    local name
    for name in ASAN_OPTIONS LSAN_OPTIONS UBSAN_OPTIONS; do
        [ -z "${!name:-}" ] || SESSION_ENV+=("$name=${!name}")
    done
}

session_bus_start() {
    local bus="$SESSION_DIR/runtime/${1:-bus}"
    session_spawn dbus-daemon --session --nofork --nopidfile --address="unix:path=$bus" >"$SESSION_DIR/${1:-bus}.log" 2>&1
    SESSION_ENV+=("${2:-DBUS_SESSION_BUS_ADDRESS}=unix:path=$bus")
    wait_until 10 test -S "$bus" || { xsession_log "the D-Bus bus ${1:-bus} did not start"; return 1; }
}

bus_has_name() {
    session_run dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner "string:$1" 2>/dev/null | grep -q 'boolean true'
}

session_service() {
    local log="$SESSION_DIR/$1.log"
    session_spawn "${@:3}" >"$log" 2>&1
    wait_until "$2" bus_has_name "$1" || { xsession_log "the service $1 did not start:"; cat "$log" >&2; return 1; }
}

portal_frontend_start() {
    chmod -R a+rX "$1"
    session_service org.freedesktop.portal.Desktop 15 env XDG_DESKTOP_PORTAL_DIR="$1" XDG_CURRENT_DESKTOP="$2" \
        /usr/libexec/xdg-desktop-portal --replace
}

session_program() {
    session_copy_program "$1" "$2"
    VELMORA="$SESSION_DIR/bin/$(basename "$1")"
    TARGET="$SESSION_DIR/bin/$(basename "$2")"
    PROGRAM_DIR="$SESSION_DIR/bin"
    program_write_list "${@:3}"
    session_own "$PROGRAM_DIR/mouses.xml"
    FAIL_LOGS+=("$WORK/velmora.log")
}

session_start_program() {
    session_spawn "${@:2}" "$VELMORA" >>"$WORK/velmora.log" 2>&1
    VELMORA_PID=$XSESSION_LAST_PID
    "$1" "Velmora 1.1 " 30 || fail "the main window did not show"
}

session_program_pid() { pgrep -P "$VELMORA_PID" || echo "$VELMORA_PID"; }

session_other_copy() {
    mkdir -p "$SESSION_DIR/$1"
    cp "$VELMORA" "$SESSION_DIR/$1/"
    OTHER_VELMORA="$SESSION_DIR/$1/$(basename "$VELMORA")"
    PROGRAM_DIR="$SESSION_DIR/$1" program_write_list "${@:2}"
    session_own "$SESSION_DIR/$1"
}

session_edit() {
    session_spawn "$TARGET" "$1" "$2"
    { wait_for_file "$1" 20 && "$3" "$2"; } || fail "the edit $2 did not start"
}
