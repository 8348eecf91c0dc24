# The programs people type into, for the real-client typing test and the typing benchmark: a GTK editor and two
# browsers. Needs xsession.sh sourced and started. Each start_* waits until the program is ready with its text
# field focused; read_* prints what the field holds; CLIENT_PID is the program's process (dbus-launch, its parent),
# CLIENT_WINDOW its window.
#
#   start_client KIND DIR      # KIND: mousepad, firefox or chromium; DIR: a folder of the test's own
#   client_holds KIND COUNT    # whether the field holds COUNT characters (browsers; the editor is always asked)
#   read_client KIND           # what the field holds, on standard output

CLIENT_PID=""
CLIENT_DIR=""
CLIENT_WINDOW=""

# A page whose text field counts its characters into the window title, with an FNV-1a hash of its code points (see
# text_hash), and takes Tab as a character.
write_client_page() {
    cat >"$1" <<'EOF'
<!doctype html><meta charset="utf-8"><title>velmora 0</title>
<textarea id="t" autofocus style="width:98vw;height:90vh"></textarea>
<script>
const t = document.getElementById("t");
const hash = (s) => {
  let h = 2166136261;
  for (const c of s) h = Math.imul(h ^ c.codePointAt(0), 16777619) >>> 0;
  return h;
};
// The title changes at most every 50 ms: each change costs the window manager a redraw of the title bar.
let pending = false;
const count = () => { document.title = "velmora " + [...t.value].length + " " + hash(t.value); pending = false; };
t.addEventListener("input", () => { if (!pending) { pending = true; setTimeout(count, 50); } });
t.addEventListener("keydown", (e) => {
  if (e.key === "Tab") { e.preventDefault(); t.setRangeText("\t", t.selectionStart, t.selectionEnd, "end"); count(); }
});
count();
t.focus();
</script>
EOF
}

# browser_command KIND DIR URL: sets BROWSER_COMMAND to the command line that opens URL in the browser KIND (firefox
# or chromium) with a fresh profile in DIR.
browser_command() {
    local kind=$1 dir=$2 url=$3
    case "$kind" in
    firefox)
        mkdir -p "$dir/profile"
        cat >"$dir/profile/user.js" <<'EOF'
user_pref("browser.shell.checkDefaultBrowser", false);
user_pref("browser.startup.homepage_override.mstone", "ignore");
user_pref("browser.aboutwelcome.enabled", false);
user_pref("datareporting.policy.dataSubmissionEnabled", false);
user_pref("toolkit.telemetry.reportingpolicy.firstRun", false);
user_pref("browser.tabs.warnOnClose", false);
EOF
        BROWSER_COMMAND=(firefox-esr --no-remote --new-instance --kiosk --profile "$dir/profile" "$url")
        ;;
    chromium)
        BROWSER_COMMAND=(chromium --no-sandbox --no-first-run --disable-gpu --disable-background-networking
            --disable-component-update --disable-sync --user-data-dir="$dir/profile" --password-store=basic
            --app="$url")
        ;;
    *)
        echo "unknown browser: $kind" >&2
        return 1
        ;;
    esac
}

# text_hash < TEXT: the hash the page shows for TEXT.
text_hash() {
    python3 -c 'import sys
h = 2166136261
for c in sys.stdin.read():
    h = ((h ^ ord(c)) * 16777619) & 0xFFFFFFFF
print(h)'
}

start_client() {
    local kind=$1
    CLIENT_DIR=$2
    mkdir -p "$CLIENT_DIR"
    local title
    case "$kind" in
    mousepad)
        : >"$CLIENT_DIR/typed.txt"
        title="typed\.txt - Mousepad"
        xsession_spawn dbus-launch --exit-with-session mousepad "$CLIENT_DIR/typed.txt"
        ;;
    firefox | chromium)
        write_client_page "$CLIENT_DIR/page.html"
        browser_command "$kind" "$CLIENT_DIR" "file://$CLIENT_DIR/page.html"
        title="^velmora 0"
        xsession_spawn dbus-launch --exit-with-session "${BROWSER_COMMAND[@]}"
        ;;
    *)
        echo "unknown client: $kind" >&2
        return 1
        ;;
    esac
    CLIENT_PID=$XSESSION_LAST_PID
    CLIENT_WINDOW=""
    wait_until 90 client_window "$title" && focus_window "$CLIENT_WINDOW" 20 && client_echoes "$kind"
}

# client_window PATTERN: finds a visible window of the client's own processes (the program runs as a child of
# dbus-launch) whose title matches PATTERN (the title says that the file or page is loaded). By process: another
# program's window may have the same title.
client_window() {
    local pid window
    for pid in $(process_tree "$CLIENT_PID"); do
        for window in $(xdotool search --onlyvisible --pid "$pid" 2>/dev/null); do
            xdotool getwindowname "$window" 2>/dev/null | grep -q "$1" && CLIENT_WINDOW=$window && return 0
        done
    done
    return 1
}

# process_tree PID: the process and all its descendants, one a line.
process_tree() {
    local child
    echo "$1"
    for child in $(ps -o pid= --ppid "$1" 2>/dev/null); do
        process_tree "$child"
    done
}

# client_echoes KIND: types a key until one arrives (a browser drops a key that comes while its page is still taking
# the focus), to be sure the field has the keyboard focus; then empties the field. Keys arrive in order, so every key
# pressed before the emptying is in the field when it is emptied.
client_echoes() {
    local try
    for try in 1 2 3 4 5; do
        xdotool key x
        if wait_until 6 client_has_text "$1"; then
            xdotool key ctrl+a BackSpace && wait_until 10 client_holds "$1" 0
            return
        fi
        xsession_log "the $1 field did not take key $try"
    done
    return 1
}

client_has_text() {
    [ "$(client_count "$1")" -gt 0 ] 2>/dev/null
}

client_holds() {
    [ "$(client_count "$1")" = "$2" ]
}

# client_count KIND: how many characters the field holds (empty when the browser's title cannot be read).
client_count() {
    case "$1" in
    mousepad)
        read_client "$1" | wc -m
        ;;
    *)
        xdotool getwindowname "$CLIENT_WINDOW" 2>/dev/null | sed -n 's/^velmora \([0-9]*\)\b.*/\1/p'
        ;;
    esac
}

read_client() {
    case "$1" in
    mousepad)
        xdotool key ctrl+s
        sleep 0.3 # the editor writes the file when it handles the key: there is nothing to wait on
        cat "$CLIENT_DIR/typed.txt"
        ;;
    *)
        xdotool key ctrl+a ctrl+c
        sleep 0.3 # the browser takes the clipboard when it handles the keys: there is nothing to wait on
        xclip -o -selection clipboard
        ;;
    esac
}
