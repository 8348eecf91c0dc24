#!/usr/bin/env bash
# Types texts through the virtual-keyboard typist into the Qt test edit on headless Sway and checks that exactly
# those characters arrive.
#
#   vk_typing_test.sh VK_TYPE_DRIVER TEST_TARGET
set -euo pipefail

HERE="$(cd "$(dirname "$0")" && pwd)"
. "$HERE/../e2e/lib/xsession.sh"
. "$HERE/../e2e/lib/targets.sh"
. "$HERE/../e2e/lib/texts.sh"
. "$HERE/lib/sway.sh"
export LC_ALL=C.UTF-8

sway_test_start "$1" "$2"
DRIVER="$SWAY_DIR/bin/$(basename "$1")"
TARGET="$SWAY_DIR/bin/$(basename "$2")"

# type_case NAME TEXT [COPIES]: a fresh edit; the driver types TEXT COPIES times (default 1); the edit must hold
# exactly that.
type_case() {
    local name=$1 text=$2 copies=${3:-1} i
    local out="$WORK/$name.out" inputs=()
    printf '%s' "$text" >"$WORK/$name.in"
    : >"$WORK/$name.expected"
    for ((i = 0; i < copies; i++)); do
        expected_for qt <"$WORK/$name.in" >>"$WORK/$name.expected"
        inputs+=("$WORK/$name.in")
    done
    sway_spawn "$TARGET" "$out" "velmora-wl-$name"
    local target=$XSESSION_LAST_PID
    { wait_for_file "$out" 20 && sway_focus_title "velmora-wl-$name"; } || fail "[wayland] $name: the edit did not start"
    sway_run "$DRIVER" "${inputs[@]}" >"$WORK/driver.out" 2>"$WORK/driver.err" ||
        fail "[wayland] $name: the driver failed: $(cat "$WORK/driver.err")"
    wait_file_equals "$out" "$WORK/$name.expected" 30 ||
        fail "[wayland] $name: the text that arrived is not the text typed ($(cat "$WORK/driver.out"))"
    ok "[wayland] $name: $(cat "$WORK/driver.out")"
    xsession_stop "$target"
}

type_case ascii "Hello World, THE QUICK brown fox 0123456789 !\"#\$%&'()*+,-./:;<=>?@[\\]^_\`{|}~ end"
type_case mixed_twice "$(mixed_text 600 4242)" 2
type_case many_distinct "$(distinct_cjk 300) end"
