#!/usr/bin/env bash
# The Debian package from end to end, as root: built from this build folder by scripts/package, checked by lintian,
# installed into the machine with apt-get, and /usr/bin/velmora run under Xvfb by two ordinary users (made here if
# missing), each with a fresh home: New, Exit. Each list is in that user's ~/.config/velmora/mouses.xml, in a private
# folder, and holds that user's row only; the lock lies in the runtime folder while the program runs. apt-get remove
# then takes the program away and leaves the users' files. Whatever happens, the package and the users made here are
# removed at the end.
#
#   package_install.sh SOURCE_DIR BUILD_DIR VERSION
set -euo pipefail

source_dir=$1
build_dir=$2
version=$3

here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib/xsession.sh"

skip() {
    echo "SKIP: $*"
    exit 77
}
die() {
    xsession_log "FAIL: $*"
    exit 1
}
installed() { dpkg-query -W -f='${Status}' velmora 2>/dev/null | grep -q 'install ok installed'; }

[ "$(id -u)" -eq 0 ] || skip "installing the package into the machine needs root"
installed && skip "velmora is installed on this machine already; this test would replace it and then remove it"
for tool in apt-get dpkg-deb lintian useradd setpriv; do
    command -v "$tool" >/dev/null || die "$tool is missing (scripts/test installs what the tests need)"
done

unset WAYLAND_DISPLAY SESSION_MANAGER
xsession_start || die "no X session"
tmp=$XSESSION_DIR

made_users=()
# The users' homes lie outside the session's folder, which only root may enter.
homes=$(mktemp -d "${TMPDIR:-/tmp}/velmora-homes.XXXXXX")
chmod 0755 "$homes"
cleanup() {
    local user
    if dpkg-query -W velmora >/dev/null 2>&1; then
        DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq -o DPkg::Lock::Timeout=300 velmora >/dev/null 2>&1 ||
            xsession_log "could not remove the package velmora: remove it by hand"
    fi
    xsession_cleanup
    rm -rf "$homes"
    for user in "${made_users[@]}"; do
        # Whatever the program left running as this user (none is expected) would keep the user from being removed.
        pgrep -u "$user" | xargs -r kill 2>/dev/null || true
        wait_until 5 bash -c "! pgrep -u $user >/dev/null" || true
        userdel "$user" || xsession_log "could not remove the user $user: remove it by hand"
    done
}
trap cleanup EXIT

# --- The package ------------------------------------------------------------------------------------------------

deb=$("$source_dir/scripts/package" "$build_dir" 2>"$tmp/package.log") || {
    cat "$tmp/package.log" >&2
    die "scripts/package failed"
}
[ "$(basename "$deb")" = "velmora_${version}_amd64.deb" ] || die "the package is named $(basename "$deb")"
lintian --fail-on error "$deb" >"$tmp/lintian.log" 2>&1 || {
    cat "$tmp/lintian.log" >&2
    die "lintian reports errors"
}
contents=$(dpkg-deb -c "$deb")
for file in /usr/bin/velmora /usr/share/applications/org.velmora.Velmora.desktop \
    /usr/share/icons/hicolor/48x48/apps/org.velmora.Velmora.png \
    /usr/share/man/man1/velmora.1.gz /usr/share/doc/velmora/copyright; do
    grep -q " \.$file\$" <<<"$contents" || die "the package lacks $file"
done

DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends -o DPkg::Lock::Timeout=300 "$deb" \
    >"$tmp/apt.log" 2>&1 || {
    cat "$tmp/apt.log" >&2
    die "apt-get could not install the package"
}
installed && [ -x /usr/bin/velmora ] || die "apt-get did not install /usr/bin/velmora"

# --- Two users, each with a fresh home --------------------------------------------------------------------------

# prepare_user NAME: the user (made if missing) and a fresh home and runtime folder, in USER_HOME and USER_RUNTIME.
prepare_user() {
    local user=$1
    if ! id "$user" >/dev/null 2>&1; then
        useradd --system --user-group --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin "$user"
        made_users+=("$user")
    fi
    local base="$homes/$user"
    USER_HOME="$base/home"
    USER_RUNTIME="$base/runtime"
    mkdir -m 0755 "$base"
    mkdir -m 0700 "$USER_HOME" "$USER_RUNTIME"
    # The X server's cookie: the session's own copy lies in a folder only root may read.
    cp "$XAUTHORITY" "$USER_HOME/.Xauthority"
    chown -R "$user:" "$USER_HOME" "$USER_RUNTIME"
}

# new_row_and_exit USER TEXT: the installed program as USER adds a row with TEXT and exits.
new_row_and_exit() {
    local user=$1 text=$2 log="$tmp/$1.log"
    (cd "$USER_HOME" && exec setpriv --reuid="$user" --regid="$(id -g "$user")" --init-groups -- \
        env -i PATH=/usr/bin:/bin HOME="$USER_HOME" USER="$user" LANG=C.UTF-8 DISPLAY="$DISPLAY" \
        XAUTHORITY="$USER_HOME/.Xauthority" XDG_RUNTIME_DIR="$USER_RUNTIME" /usr/bin/velmora) >"$log" 2>&1 &
    local pid=$!
    XSESSION_PIDS+=("$pid")
    local title="Velmora $version "
    focus_window_named "$title" 20 || {
        cat "$log" >&2
        die "$user: the main window \"$title\" did not appear"
    }
    [ -e "$USER_RUNTIME/velmora.lock" ] || die "$user: no lock in the runtime folder while the program runs"
    xdotool key alt+n
    focus_window_named "New Text" 10 || die "$user: New did not open the definition dialog"
    xdotool type --delay 10 "$text"
    xdotool key alt+o
    wait_until 5 bash -c "! xdotool search --onlyvisible --name '^New Text\$' >/dev/null" ||
        die "$user: OK did not close the definition dialog"
    focus_window_named "$title" 10 || die "$user: the main window did not take the focus back"
    xdotool key alt+x
    wait_until 10 bash -c "! kill -0 $pid 2>/dev/null" || die "$user: Exit did not end the program"
    local status=0
    wait "$pid" || status=$?
    [ "$status" -eq 0 ] || {
        cat "$log" >&2
        die "$user: the program ended with status $status"
    }
}

# check_files USER TEXT: the user's list holds that one row, in a private folder of the user's.
check_files() {
    local user=$1 text=$2
    local folder="$USER_HOME/.config/velmora"
    [ -f "$folder/mouses.xml" ] && [ -f "$folder/config.configxml" ] || die "$user: no list or settings in $folder"
    [ "$(stat -c '%a %U' "$folder")" = "700 $user" ] || die "$user: $folder is $(stat -c '%a %U' "$folder")"
    [ "$(stat -c %U "$folder/mouses.xml")" = "$user" ] || die "$user: the list does not belong to the user"
    local items
    items=$(grep -o '<item [^>]*>' "$folder/mouses.xml" || true)
    [ "$(grep -c . <<<"$items")" -eq 1 ] && grep -q "FStr=\"$(printf '%s' "$text" | base64 -w 0)\"" <<<"$items" ||
        die "$user: the list holds: $(cat "$folder/mouses.xml")"
    [ ! -e "$folder/velmora.lock" ] || die "$user: the lock lies beside the files"
}

prepare_user velmora-e2e-1
first_home=$USER_HOME
new_row_and_exit velmora-e2e-1 "first user's snippet"
check_files velmora-e2e-1 "first user's snippet"
cp "$first_home/.config/velmora/mouses.xml" "$tmp/first-list.xml"

prepare_user velmora-e2e-2
new_row_and_exit velmora-e2e-2 "second user's snippet"
check_files velmora-e2e-2 "second user's snippet"
cmp -s "$first_home/.config/velmora/mouses.xml" "$tmp/first-list.xml" || die "the second user changed the first one's list"
for name in mouses.xml config.configxml velmora.lock; do
    [ ! -e "/usr/bin/$name" ] || die "the installed program wrote /usr/bin/$name"
done

# --- Removal ----------------------------------------------------------------------------------------------------

DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq -o DPkg::Lock::Timeout=300 velmora >"$tmp/apt.log" 2>&1 || {
    cat "$tmp/apt.log" >&2
    die "apt-get could not remove the package"
}
! installed && [ ! -e /usr/bin/velmora ] || die "apt-get remove left /usr/bin/velmora"
cmp -s "$first_home/.config/velmora/mouses.xml" "$tmp/first-list.xml" && [ -f "$USER_HOME/.config/velmora/mouses.xml" ] ||
    die "apt-get remove touched the users' lists"
xsession_log "PASS"
