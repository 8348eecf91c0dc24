# A private headless KDE Plasma session for one end-to-end script, in a session of session.sh: its own D-Bus bus,
# KWin (a plain copy of kwin_wayland: the installed one carries a file capability that a container may refuse) on a
# virtual output, KWin's global shortcut service, xdg-desktop-portal-kde behind the real xdg-desktop-portal, the
# layout KWIN_LAYOUT (and KWIN_VARIANT; by default US), no screen locker. Keys come from KEYS_TOOL through KWin's
# fake-input protocol, which KWin offers to a program that a desktop entry of the user names.
#
#   kwin_start KEYS_TOOL              # starts it all; exits 77 (CTest: skipped) when a package is missing
#   kwin_keys ARGUMENT...             # presses keys by evdev code ("56+20": Alt+T), one combination after the
#                                     # other ("down:29", "up:29", "until:FILE": see FakeInputKeys.cpp)
#   kwin_focus_title TITLE [SECONDS]  # waits for the window with this title and makes it the active one
#   kwin_activate_pid PID             # makes a window of the process PID the active one; says whether it is

. "$(dirname "${BASH_SOURCE[0]}")/session.sh"

KWIN_LOG=""
KWIN_KEYS=""
KWIN_SCRIPTS=0

kwin_start() {
    local portal_kde=/usr/lib/x86_64-linux-gnu/libexec/xdg-desktop-portal-kde
    session_require "package plasma-wayland-protocols, for the fake-input key tool" "$1"
    session_require "packages kwin-wayland, xdg-desktop-portal-kde, xdg-desktop-portal, qtwayland5" \
        /usr/bin/kwin_wayland "$portal_kde" /usr/libexec/xdg-desktop-portal /usr/share/xdg-desktop-portal/portals/kde.portal \
        /usr/lib/x86_64-linux-gnu/qt5/plugins/platforms/libqwayland-generic.so
    session_prepare kwin
    session_copy_program /usr/bin/kwin_wayland "$1"
    KWIN_KEYS="$SESSION_DIR/bin/$(basename "$1")"
    local config="$SESSION_DIR/config" apps="$SESSION_DIR/.local/share/applications"
    printf '[Layout]\nLayoutList=%s\nVariantList=%s\nUse=true\n' "${KWIN_LAYOUT:-us}" "${KWIN_VARIANT:-}" >"$config/kxkbrc"
    printf '[Daemon]\nAutolock=false\nLockOnResume=false\n' >"$config/kscreenlockerrc"
    mkdir -p "$apps" "$SESSION_DIR/portals"
    printf '[Desktop Entry]\nType=Application\nName=velmora test keys\nExec=%s\nNoDisplay=true\n%s\n' "$KWIN_KEYS" \
        'X-KDE-Wayland-Interfaces=org_kde_kwin_fake_input' >"$apps/velmora-test-keys.desktop"
    session_own "$config" "$SESSION_DIR/.local"

    SESSION_ENV+=(XDG_CURRENT_DESKTOP=KDE KDE_SESSION_VERSION=5 XDG_SESSION_TYPE=wayland)
    # KWin serves the global shortcuts on the bus: the bus comes first.
    session_bus_start || return 1
    KWIN_LOG="$SESSION_DIR/kwin.log"
    session_spawn "$SESSION_DIR/bin/kwin_wayland" --virtual --width 1280 --height 800 --socket wayland-velmora \
        >"$KWIN_LOG" 2>&1
    local kwin_pid=$XSESSION_LAST_PID
    if ! wait_until 30 test -S "$SESSION_DIR/runtime/wayland-velmora" ||
        ! wait_until 20 bus_has_name org.kde.kglobalaccel; then
        xsession_log "KWin did not start:"
        cat "$KWIN_LOG" >&2
        return 1
    fi
    SESSION_ENV+=(WAYLAND_DISPLAY=wayland-velmora QT_QPA_PLATFORM=wayland)

    # The portal backend needs the display, which the bus did not have when it started: not started on demand.
    session_service org.freedesktop.impl.portal.desktop.kde 20 "$portal_kde" || return 1
    FAIL_LOGS+=("$SESSION_DIR/org.freedesktop.impl.portal.desktop.kde.log")
    cp /usr/share/xdg-desktop-portal/portals/kde.portal "$SESSION_DIR/portals/"
    portal_frontend_start "$SESSION_DIR/portals" KDE || return 1
    xsession_log "headless KWin $(dpkg-query -W -f='${Version}' kwin-wayland 2>/dev/null) (pid $kwin_pid${SESSION_USER:+, user $SESSION_USER}), xdg-desktop-portal-kde $(dpkg-query -W -f='${Version}' xdg-desktop-portal-kde 2>/dev/null)"
}

kwin_keys() { session_run "$KWIN_KEYS" "$@"; }

# kwin_script NAME CODE: runs a KWin script (JavaScript); what it prints goes to KWIN_LOG, after "js: ".
kwin_script() {
    local file="$SESSION_DIR/$1.js" id
    printf '%s\n' "$2" >"$file"
    chmod a+r "$file"
    id=$(session_run dbus-send --session --print-reply --dest=org.kde.KWin /Scripting \
        org.kde.kwin.Scripting.loadScript "string:$file" "string:$1" | awk '/int32/ {print $2}')
    [ -n "$id" ] && session_run dbus-send --session --print-reply --dest=org.kde.KWin "/$id" org.kde.kwin.Script.run \
        >/dev/null
}

# kwin_check CODE CONDITION: runs a KWin script's CODE, then says whether its CONDITION (JavaScript) holds.
kwin_check() {
    local mark="velmora-check-$((++KWIN_SCRIPTS))"
    kwin_script "$mark" "$1
print('$mark ' + ($2));"
    wait_until 5 grep -q "^js: $mark " "$KWIN_LOG" && grep -qx "js: $mark true" "$KWIN_LOG"
}

# kwin_activate TITLE: asks KWin to activate the window and says whether it is the active one. (KWin shows a
# title without the spaces at its ends.) kwin_active TITLE: whether it is, without asking.
kwin_active() { kwin_check "" "workspace.activeClient !== null && workspace.activeClient.caption === '$1'.trim()"; }
kwin_activate() {
    kwin_check "for (const window of workspace.clientList())
    if (window.caption === '$1'.trim()) workspace.activeClient = window;" \
        "workspace.activeClient !== null && workspace.activeClient.caption === '$1'.trim()"
}

kwin_activate_pid() {
    kwin_check "for (const window of workspace.clientList()) if (window.pid === $1) workspace.activeClient = window;" \
        "workspace.activeClient !== null && workspace.activeClient.pid === $1"
}

kwin_focus_title() {
    wait_until "${2:-20}" kwin_activate "$1" || {
        kwin_script velmora-windows "for (const window of workspace.clientList()) print('velmora-window [' + window.caption + ']');"
        sleep 1
        xsession_log "timed out giving the focus to \"$1\"; the windows: $(grep -a '^js: velmora-window ' "$KWIN_LOG" | cut -c21- | tr '\n' ' ')"
        return 1
    }
}
