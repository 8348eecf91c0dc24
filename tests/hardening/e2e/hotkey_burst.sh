#!/usr/bin/env bash
# 200 presses of three hotkeys in one burst: the whole program types each press's text whole, in the order of the
# presses.
#
#   hotkey_burst.sh VELMORA GRAB_PROBE
set -euo pipefail

VELMORA=$1
export GRAB_PROBE=$2
. "$(dirname "$0")/session.sh"
program_install "$VELMORA"

# F5, F6 and F7 without a modifier; texts that none of the hotkeys' keys can be part of.
keys=(F5 F6 F7)
texts=("<one five>" "[two six]" "{three seven}")
program_write_list "$(list_item "${texts[0]}" 0 116 True)" "$(list_item "${texts[1]}" 0 117 True)" \
    "$(list_item "${texts[2]}" 0 118 True)"
program_start || fail "the program did not start"
program_key alt+t
for key in "${keys[@]}"; do
    wait_until 10 grabbed none "$key" || fail "Start did not grab $key"
done

start_target xterm "$WORK/typed" || fail "the target did not start"

RANDOM=2026
presses=()
expected=""
for ((i = 0; i < 200; i++)); do
    k=$((RANDOM % 3))
    presses+=("${keys[k]}")
    expected+=${texts[k]}
done
printf '%s' "$expected" >"$WORK/expected"

started=$SECONDS
xdotool key --delay 1 "${presses[@]}"
wait_file_equals "$WORK/typed" "$WORK/expected" 120 || fail "the burst was not typed whole and in order"
xsession_log "ok: 200 presses typed whole and in order (${#expected} characters) in $((SECONDS - started)) s"

program_key alt+x
program_wait_exit 10 || fail "Exit did not end the program cleanly"
xsession_log "PASS: hotkey burst"
