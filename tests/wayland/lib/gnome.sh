# A private headless GNOME session for one end-to-end script: gnome-shell 43 (mutter) with its own session bus and
# an empty system bus of its own (without one the shell does not start), the IBus daemon the shell starts,
# xdg-desktop-portal-gnome on demand, on the shared session of session.sh (sourced here). A test extension lets the
# scripts ask the shell about its windows; gnome_input.py is the session's keyboard and pointer. Needs
# tests/e2e/lib/xsession.sh sourced.
#
#   gnome_require PROGRAM...       # exits 77 with a SKIP line when one of the programs is not installed
#   gnome_start [LAYOUT]           # starts the session (keyboard layout LAYOUT, default us); SESSION_* of session.sh
#   gnome_settings_daemon          # starts gsd-media-keys, which runs the desktop's custom shortcuts
#   gnome_eval JS                  # prints the JSON value of JS evaluated in the shell; fails when it throws
#   gnome_focus_title TITLE [SECONDS]   # waits for the window with this title and gives it the focus
#   gnome_input COMMAND            # a command of gnome_input.py (keys, click), once it is done
#   fifo_open PATH                 # a FIFO this shell writes into (FIFO_FD), for a program's input
#   gnome_accept_remote_desktop [SECONDS]   # answers the portal's question: "Allow remote interaction", Share

. "$(dirname "${BASH_SOURCE[0]}")/session.sh"

GNOME_INPUT_DONE=0

gnome_require() {
    local program
    for program in "$@"; do
        if ! command -v "$program" >/dev/null 2>&1 && [ ! -x "$program" ]; then
            echo "SKIP: $program is not installed (see scripts/lib/packages.sh)"
            exit 77
        fi
    done
}

gnome_start() {
    local layout=${1:-us} here
    here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
    session_prepare gnome
    session_work
    # An empty system bus of its own: gnome-shell does not start without one.
    local system_bus="$SESSION_DIR/runtime/system_bus"
    session_spawn dbus-daemon --session --nofork --nopidfile --address="unix:path=$system_bus" \
        >"$SESSION_DIR/system_bus.log" 2>&1
    SESSION_ENV+=(DBUS_SYSTEM_BUS_ADDRESS="unix:path=$system_bus")
    wait_until 10 test -S "$system_bus" || {
        xsession_log "the system bus did not start"
        return 1
    }
    session_bus_start || return 1
    SESSION_ENV+=(XDG_DATA_HOME="$SESSION_DIR/share" XDG_CURRENT_DESKTOP=GNOME XDG_SESSION_DESKTOP=gnome
        XDG_SESSION_TYPE=wayland NO_AT_BRIDGE=1 GTK_A11Y=none)

    local extensions="$SESSION_DIR/share/gnome-shell/extensions"
    mkdir -p "$extensions"
    cp -r "$here/gnome-extension" "$extensions/velmora-test@velmora.invalid"
    cp "$here/gnome_input.py" "$here/gtk_target.py" "$SESSION_DIR/"
    [ -z "$SESSION_USER" ] || chown -R "$SESSION_USER" "$SESSION_DIR/share"
    chmod a+r "$SESSION_DIR"/*.py
    session_run gsettings set org.gnome.shell enabled-extensions "['velmora-test@velmora.invalid']"
    session_run gsettings set org.gnome.desktop.input-sources sources "[('xkb', '$layout')]"
    # Applications repeat a key held longer than the repeat delay; a loaded machine (two sessions on two cores) may
    # hold one of the keys typed that long between its press and its release.
    session_run gsettings set org.gnome.desktop.peripherals.keyboard repeat false

    session_spawn gnome-shell --headless --wayland --no-x11 --virtual-monitor 1280x800 >"$SESSION_DIR/shell.log" 2>&1
    local shell_pid=$XSESSION_LAST_PID
    SESSION_ENV+=(WAYLAND_DISPLAY=wayland-0)
    if ! wait_until 60 gnome_ready; then
        xsession_log "gnome-shell did not start:"
        tail -n 30 "$SESSION_DIR/shell.log" >&2
        return 1
    fi
    FAIL_LOGS+=("$SESSION_DIR/shell.log")
    # The portal starts on demand, with the desktop's backend.
    wait_until 60 gnome_portal_ready || {
        xsession_log "xdg-desktop-portal offers no RemoteDesktop keyboard"
        return 1
    }

    # The session's keyboard and pointer: a FIFO into gnome_input.py, held open by this shell.
    : >"$SESSION_DIR/input.done"
    [ -z "$SESSION_USER" ] || chown "$SESSION_USER" "$SESSION_DIR/input.done"
    fifo_open "$SESSION_DIR/input.fifo"
    GNOME_INPUT_FD=$FIFO_FD
    session_spawn_reading "$SESSION_DIR/input.fifo" python3 "$SESSION_DIR/gnome_input.py" "$SESSION_DIR/input.done" \
        >"$SESSION_DIR/input.log" 2>&1
    xsession_log "headless gnome-shell $(dpkg-query -W -f='${Version}' gnome-shell 2>/dev/null) on wayland-0," \
        "layout $layout (pid $shell_pid${SESSION_USER:+, user $SESSION_USER})"
}

# fifo_open PATH: makes a FIFO and opens it for writing (its fd in FIFO_FD) without waiting for a reader.
fifo_open() {
    mkfifo "$1"
    [ -z "$SESSION_USER" ] || chown "$SESSION_USER" "$1"
    exec {FIFO_FD}<>"$1"
}

gnome_ready() {
    [ -S "$SESSION_DIR/runtime/wayland-0" ] && [ "$(gnome_eval 'global.context.unsafe_mode' 2>/dev/null)" = true ]
}

gnome_portal_ready() {
    [[ "$(session_run gdbus call --session --dest org.freedesktop.portal.Desktop \
        --object-path /org/freedesktop/portal/desktop --method org.freedesktop.DBus.Properties.Get \
        org.freedesktop.portal.RemoteDesktop AvailableDeviceTypes 2>/dev/null)" == "(<uint32 "* ]]
}

gnome_settings_daemon() {
    session_spawn /usr/libexec/gsd-media-keys >"$SESSION_DIR/gsd-media-keys.log" 2>&1
    FAIL_LOGS+=("$SESSION_DIR/gsd-media-keys.log")
    wait_until 20 bus_has_name org.gnome.SettingsDaemon.MediaKeys || {
        xsession_log "gsd-media-keys did not start"
        return 1
    }
}

gnome_eval() {
    local reply
    reply=$(session_run gdbus call --session --dest org.gnome.Shell --object-path /org/gnome/Shell \
        --method org.gnome.Shell.Eval "$1") || return 1
    # (true, 'JSON')
    [[ "$reply" == "(true, '"* ]] || return 1
    reply=${reply#"(true, '"}
    printf '%s\n' "${reply%"')"}"
}

# gnome_focused: the title of the window that has the focus ("null": none).
gnome_focused() {
    gnome_eval 'global.display.focus_window ? global.display.focus_window.title : null'
}

gnome_focus_title() {
    local title=$1 seconds=${2:-20}
    wait_until "$seconds" gnome_activate "$title" || {
        xsession_log "timed out giving the focus to \"$title\" (it has: $(gnome_focused))"
        return 1
    }
}

gnome_activate() {
    [ "$(gnome_focused)" = "\"$1\"" ] && return 0
    gnome_eval "Main.overview.hide(); global.get_window_actors().map(a => a.meta_window)
        .filter(w => w.title === '$1').forEach(w => w.activate(global.get_current_time())); 0" >/dev/null
    return 1
}

gnome_input() {
    echo "$*" >&"$GNOME_INPUT_FD"
    GNOME_INPUT_DONE=$((GNOME_INPUT_DONE + 1))
    wait_until 20 grep -qx "done $GNOME_INPUT_DONE" "$SESSION_DIR/input.done" || {
        xsession_log "the session's keyboard did not do: $*"
        cat "$SESSION_DIR/input.log" >&2
        return 1
    }
}

# The dialog of xdg-desktop-portal-gnome 43 (500x300): the "Allow remote interaction" switch, off at first, at the
# right of its row; Share, grey until the switch is on, at the right of the header bar.
gnome_accept_remote_desktop() {
    gnome_focus_title "Remote desktop" "${1:-30}" || return 1
    gnome_input click 70 74 && sleep 0.3 && gnome_input click 47 23 || return 1
    wait_until 10 gnome_dialog_gone || {
        xsession_log "the permission dialog did not close"
        return 1
    }
}

gnome_dialog_gone() {
    [ "$(gnome_focused)" != '"Remote desktop"' ]
}
