# A private headless GNOME session for one end-to-end script, in a session of session.sh: gnome-shell 43 (mutter)
# with an empty system bus of its own (it does not start without one), the IBus daemon it starts,
# xdg-desktop-portal-gnome on demand; a test extension lets the scripts ask the shell about its windows, and
# gnome_input.py is the session's keyboard and pointer.
#
#   gnome_start [LAYOUT]           # starts the session, keyboard layout LAYOUT (default us), no key repeat; exits 77
#                                  # (skipped) when a package is missing
#   gnome_settings_daemon          # starts gsd-media-keys, which runs the desktop's custom shortcuts
#   gnome_eval JS                  # prints the JSON value of JS evaluated in the shell; fails when it throws
#   gnome_focus_title TITLE [SECONDS]   # waits for the window with this title and gives it the focus
#   gnome_focus_pid PID            # gives a window of the process PID the focus; says whether it has it
#   gnome_input COMMAND            # a command of gnome_input.py (keys, click), once it is done
#   gnome_accept_remote_desktop [SECONDS]   # answers the portal's question: "Allow remote interaction", Share

. "$(dirname "${BASH_SOURCE[0]}")/session.sh"

GNOME_INPUT_DONE=0

gnome_start() {
    local here gi=/usr/lib/x86_64-linux-gnu/girepository-1.0
    here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
    session_require "see scripts/lib/packages.sh" gnome-shell /usr/libexec/xdg-desktop-portal-gnome \
        /usr/libexec/gsd-media-keys ibus-daemon gsettings /usr/lib/python3/dist-packages/gi "$gi/Gtk-3.0.typelib" \
        "$gi/Gtk-4.0.typelib"
    session_prepare gnome
    # Only GNOME's portal backends: xdg-desktop-portal 1.16 takes another desktop's for what GNOME's lack.
    mkdir "$SESSION_DIR/portals"
    cp /usr/share/xdg-desktop-portal/portals/{gnome,gtk}.portal "$SESSION_DIR/portals/"
    SESSION_ENV+=(XDG_DATA_HOME="$SESSION_DIR/share" XDG_DESKTOP_PORTAL_DIR="$SESSION_DIR/portals"
        XDG_CURRENT_DESKTOP=GNOME XDG_SESSION_DESKTOP=gnome XDG_SESSION_TYPE=wayland NO_AT_BRIDGE=1 GTK_A11Y=none
        QT_QPA_PLATFORM=wayland)
    { session_bus_start system_bus DBUS_SYSTEM_BUS_ADDRESS && session_bus_start; } || return 1

    mkdir -p "$SESSION_DIR/share/gnome-shell/extensions"
    cp -r "$here/gnome-extension" "$SESSION_DIR/share/gnome-shell/extensions/velmora-test@velmora.invalid"
    cp "$here/gnome_input.py" "$here/gtk_target.py" "$SESSION_DIR/"
    chmod a+r "$SESSION_DIR"/*.py
    session_own "$SESSION_DIR/share"
    session_run gsettings set org.gnome.shell enabled-extensions "['velmora-test@velmora.invalid']"
    session_run gsettings set org.gnome.desktop.input-sources sources "[('xkb', '${1:-us}')]"
    # Applications repeat a key held past the repeat delay; a loaded machine may hold a typed key that long.
    session_run gsettings set org.gnome.desktop.peripherals.keyboard repeat false

    session_spawn gnome-shell --headless --wayland --no-x11 --virtual-monitor 1280x800 >"$SESSION_DIR/shell.log" 2>&1
    SESSION_ENV+=(WAYLAND_DISPLAY=wayland-0)
    FAIL_LOGS+=("$SESSION_DIR/shell.log")
    # The portal starts on demand, with the desktop's backend.
    wait_until 60 gnome_ready || { xsession_log "gnome-shell or its portal did not start"; return 1; }

    # The session's keyboard and pointer read a FIFO this shell holds open (a background command's own input would
    # be /dev/null).
    : >"$SESSION_DIR/input.done"
    mkfifo "$SESSION_DIR/input.fifo"
    session_own "$SESSION_DIR/input.fifo" "$SESSION_DIR/input.done"
    exec {GNOME_INPUT_FD}<>"$SESSION_DIR/input.fifo"
    session_command python3 "$SESSION_DIR/gnome_input.py" "$SESSION_DIR/input.done"
    "${SESSION_COMMAND[@]}" <"$SESSION_DIR/input.fifo" >"$SESSION_DIR/input.log" 2>&1 &
    XSESSION_PIDS+=("$!")
    xsession_log "headless gnome-shell $(dpkg-query -W -f='${Version}' gnome-shell 2>/dev/null), layout ${1:-us}" \
        "(user ${SESSION_USER:-$(id -un)})"
}

gnome_ready() {
    [ "$(gnome_eval 'global.context.unsafe_mode' 2>/dev/null)" = true ] &&
        [[ "$(session_run gdbus call --session --dest org.freedesktop.portal.Desktop \
            --object-path /org/freedesktop/portal/desktop --method org.freedesktop.DBus.Properties.Get \
            org.freedesktop.portal.RemoteDesktop AvailableDeviceTypes 2>/dev/null)" == "(<uint32 "* ]]
}

gnome_settings_daemon() {
    session_service org.gnome.SettingsDaemon.MediaKeys 20 /usr/libexec/gsd-media-keys
}

gnome_eval() {
    local reply
    reply=$(session_run gdbus call --session --dest org.gnome.Shell --object-path /org/gnome/Shell \
        --method org.gnome.Shell.Eval "$1") && [[ "$reply" == "(true, '"* ]] || return 1
    reply=${reply#"(true, '"} # (true, 'JSON')
    printf '%s\n' "${reply%"')"}"
}

gnome_focused() { gnome_eval 'global.display.focus_window ? global.display.focus_window.title : null'; }

gnome_focus_title() {
    wait_until "${2:-20}" gnome_activate "$1" || {
        xsession_log "timed out giving the focus to \"$1\" (it has: $(gnome_focused))"
        return 1
    }
}

gnome_activate() {
    [ "$(gnome_focused)" = "\"$1\"" ] && return 0
    gnome_eval "Main.overview.hide(); global.get_window_actors().map(a => a.meta_window)
        .filter(w => w.title === '$1').forEach(w => w.activate(global.get_current_time())); 0" >/dev/null
    return 1
}

gnome_focus_pid() {
    [ "$(gnome_eval "global.get_window_actors().map(a => a.meta_window).filter(w => w.get_pid() === $1).forEach(w =>
        w.activate(global.get_current_time())); global.display.focus_window?.get_pid() === $1")" = true ]
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
    gnome_focus_title "Remote desktop" "${1:-30}" && gnome_input click 70 74 && sleep 0.3 &&
        gnome_input click 47 23 || return 1
    wait_until 10 gnome_dialog_gone || xsession_log "the permission dialog did not close"
}

gnome_dialog_gone() { [ "$(gnome_focused)" != '"Remote desktop"' ]; }
