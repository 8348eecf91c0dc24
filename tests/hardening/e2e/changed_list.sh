#!/usr/bin/env bash
# Another program rewrites the list file while the whole program runs with an edit of its own. SIGTERM leaves the
# other program's file as it is and keeps Velmora's list in the state folder; Exit asks, and No with another file
# chosen puts Velmora's list there, the other program's file again left as it is.
#
#   changed_list.sh VELMORA
set -euo pipefail

VELMORA=$1
. "$(dirname "$0")/session.sh"
program_install "$VELMORA"
export XDG_STATE_HOME="$WORK/state"

window_gone() { ! xdotool search --onlyvisible --name "$1" >/dev/null; }

# add_row TEXT: New, the text, OK.
add_row() {
    program_key alt+n || fail "the main window did not take the focus for New"
    focus_window_named 'New Text' 10 || fail "New did not open the definition dialog"
    xdotool type --delay 20 "$1"
    xdotool key alt+o
    wait_until 5 window_gone '^New Text$' || fail "OK did not close the definition dialog"
}

# other_program_writes ITEM...: another program replaces the list file; what it wrote goes to $WORK/theirs.
other_program_writes() { program_write_list "$@" && cp "$PROGRAM_DIR/mouses.xml" "$WORK/theirs"; }

kept_lists() { find "$XDG_STATE_HOME/velmora" -name 'mouses-*.xml' 2>/dev/null; }

# --- SIGTERM: nobody to ask --------------------------------------------------------------------------------------
program_write_list "$(list_item first 0 116 True)"
program_start || fail "the program did not start"
add_row second
other_program_writes "$(list_item 'theirs 1' 0 117 True)" "$(list_item 'theirs 2' 0 118 True)" \
    "$(list_item 'theirs 3' 0 119 True)"
kill -TERM "$PROGRAM_PID"
program_wait_exit 10 || fail "SIGTERM did not end the program cleanly"

cmp -s "$PROGRAM_DIR/mouses.xml" "$WORK/theirs" || fail "SIGTERM wrote over the other program's list"
[ "$(kept_lists | wc -l)" -eq 1 ] || fail "not one list kept in the state folder: $(kept_lists)"
printf '%s\n' "$(list_item first 0 116 True)" "$(list_item second 0 112 True)" >"$WORK/ours.expected"
list_items "$(kept_lists)" >"$WORK/kept.items"
cmp -s "$WORK/kept.items" "$WORK/ours.expected" || fail "the kept list holds: $(cat "$WORK/kept.items")"
grep -q 'changed by another program' "$PROGRAM_LOG" || fail "the program did not say why the list was kept"
# The next start tells where the list is; told here already, the notice goes, so that the next start is quiet.
grep -qF "$(kept_lists)" "$XDG_STATE_HOME/velmora/recovered-lists" || fail "the next start would not tell of the list"
rm "$XDG_STATE_HOME/velmora/recovered-lists"
ok "SIGTERM left the other program's list and kept Velmora's in $(kept_lists)"

# --- Exit: No, and another file chosen ---------------------------------------------------------------------------
program_start || fail "the program did not start again"
add_row fourth
other_program_writes "$(list_item 'later 1' 0 120 True)"
program_key alt+x || fail "the main window did not take the focus for Exit"
focus_window_named Warning 10 || fail "Exit did not ask about the changed list file"
xdotool key alt+n
focus_window_named 'Save As' 10 || fail "No did not offer to save the list elsewhere"
xdotool type --delay 20 "$WORK/elsewhere.xml"
xdotool key Return
program_wait_exit 10 || fail "the program did not end after the list was saved elsewhere"

cmp -s "$PROGRAM_DIR/mouses.xml" "$WORK/theirs" || fail "Exit wrote over the other program's list"
list_items "$WORK/elsewhere.xml" >"$WORK/elsewhere.items" || fail "nothing was saved in the file chosen"
[ "$(wc -l <"$WORK/elsewhere.items")" -eq 4 ] && grep -q "$(printf fourth | base64)" "$WORK/elsewhere.items" ||
    fail "the file chosen holds: $(cat "$WORK/elsewhere.items")"
[ "$(kept_lists | wc -l)" -eq 1 ] || fail "Exit kept another list in the state folder: $(kept_lists)"
xsession_log "PASS: a list file changed by another program"
