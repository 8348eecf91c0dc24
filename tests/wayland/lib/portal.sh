# A session bus, the real xdg-desktop-portal frontend and the test portal backend (fake_portal.py) inside a
# session of sway.sh (start that first; the bus and the frontend are session.sh's).
#
#   portal_start REFUSED_IDS   # the backend binds every shortcut except these (comma-separated ids); its log in
#                              # PORTAL_LOG; DBUS_SESSION_BUS_ADDRESS joins SESSION_ENV
#   portal_activate ID         # the backend fires the shortcut ID (Activated) in its newest session
#   portal_control METHOD      # calls a method without arguments of the backend's control interface

PORTAL_LOG=""

portal_start() {
    session_bus_start || return 1

    local portals="$SESSION_DIR/portals"
    mkdir -p "$portals"
    printf '[portal]\nDBusName=org.freedesktop.impl.portal.desktop.velmoratest\n%s\nUseIn=velmoratest\n' \
        'Interfaces=org.freedesktop.impl.portal.GlobalShortcuts;org.freedesktop.impl.portal.RemoteDesktop;' >"$portals/velmoratest.portal"
    PORTAL_LOG="$SESSION_DIR/work/portal.log"
    : >"$PORTAL_LOG"
    session_own "$PORTAL_LOG"
    cp "$(dirname "${BASH_SOURCE[0]}")/../fake_portal.py" "$SESSION_DIR/fake_portal.py"
    chmod a+r "$SESSION_DIR/fake_portal.py"
    session_service org.freedesktop.impl.portal.desktop.velmoratest 10 env VELMORA_FAKE_REFUSE="$1" \
        VELMORA_FAKE_LOG="$PORTAL_LOG" python3 "$SESSION_DIR/fake_portal.py" || return 1
    portal_frontend_start "$portals" velmoratest || return 1
    xsession_log "xdg-desktop-portal $(dpkg-query -W -f='${Version}' xdg-desktop-portal 2>/dev/null) with the test backend"
}

portal_control() {
    session_run dbus-send --session --print-reply --dest=org.freedesktop.impl.portal.desktop.velmoratest \
        /org/freedesktop/portal/desktop "org.velmora.FakePortal.$1" "${@:2}" >/dev/null
}

portal_activate() {
    portal_control Activate "string:$1"
}
