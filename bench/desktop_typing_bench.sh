#!/usr/bin/env bash
# Types a 2,000- and a 172-character mixed text (tests/e2e/lib/texts.sh) through the RemoteDesktop typist on headless GNOME
# (gnome-shell 43, its portal, its IBus daemon: the text goes through Velmora's IBus engine where the application has
# an input method) and headless KDE (KWin 5.27, its portal: the layout's keys and their modifiers), started as the
# tests/wayland scripts start them, into a GTK 4 text view and the tests' Qt edit. The route types the layout's
# characters only, except GNOME's IBus route into GTK 4: the others get the text without the characters a US layout
# lacks (ASCII, tabs and CR LF remain). One driver and one portal session per desktop (the desktop asks once, as
# for the running program); each text goes into a fresh window. Prints, for each desktop and target, characters per
# second from the text queued until the window holds it (median of the runs that arrived exact), the typist's own
# time from the text queued until it was done (median; it includes the 100 ms the typist gives the desktop after a
# text), and how many runs arrived exact.
#
#   bench/desktop_typing_bench.sh [BUILD_DIR] [DESKTOPS] [TARGETS] [SIZES]   # default: build/, "gnome kde",
#                                                                            # "gtk4 qt", "2000 172"
#   VELMORA_BENCH_RUNS=7 bench/desktop_typing_bench.sh build kde qt 172
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$(cd "${1:-$ROOT/build}" && pwd)
DESKTOPS=${2:-gnome kde}
TARGETS=${3:-gtk4 qt}
SIZES=${4:-2000 172}
RUNS=${VELMORA_BENCH_RUNS:-5}

if [ "$DESKTOPS" != gnome ] && [ "$DESKTOPS" != kde ]; then # one session per process: the libraries keep one
    cmake --build "$BUILD" --target velmora_rd_type_driver velmora_test_target velmora_fake_input_keys >/dev/null
    for desktop in $DESKTOPS; do
        VELMORA_BENCH_BUILT=1 bash "$0" "$BUILD" "$desktop" "$TARGETS" "$SIZES"
    done
    exit 0
fi
[ -n "${VELMORA_BENCH_BUILT:-}" ] ||
    cmake --build "$BUILD" --target velmora_rd_type_driver velmora_test_target velmora_fake_input_keys >/dev/null
. "$ROOT/bench/lib/figures.sh"
case "$DESKTOPS" in
gnome)
    . "$ROOT/tests/wayland/lib/gnome.sh"
    gnome_start us
    focus_title() { gnome_focus_title "$1"; }
    ROUTE=(--ibus)
    ;;
kde)
    . "$ROOT/tests/wayland/lib/kwin.sh"
    kwin_start "$BUILD/tests/wayland/velmora_fake_input_keys"
    cp "$ROOT/tests/wayland/gtk_target.py" "$SESSION_DIR/"
    chmod a+r "$SESSION_DIR/gtk_target.py"
    focus_title() { kwin_focus_title "$1"; }
    ROUTE=(--chords)
    ;;
esac
session_copy_program "$BUILD/tests/wayland/velmora_rd_type_driver" "$BUILD/tests/e2e/target/velmora_test_target"
TARGET="$SESSION_DIR/bin/velmora_test_target"
for size in $SIZES; do
    mixed_text "$size" 4242 >"$WORK/mixed-$size.in"
    LC_ALL=C tr -cd '\t\r\n -~' <"$WORK/mixed-$size.in" >"$WORK/layout-$size.in"
done
printf x >"$WORK/warm.in"
session_own "$WORK"

# open_window KIND NAME: a fresh GTK 4 view or Qt edit writing $WORK/NAME.out, with the focus (TARGET_PID).
open_window() {
    rm -f "$WORK/$2.out"
    case "$1" in
    gtk4) session_spawn python3 "$SESSION_DIR/gtk_target.py" 4 "$WORK/$2.out" "$2" ;;
    qt) session_spawn "$TARGET" "$WORK/$2.out" "$2" ;;
    esac
    TARGET_PID=$XSESSION_LAST_PID
    { wait_for_file "$WORK/$2.out" 20 && focus_title "$2"; } || { echo "the $1 window did not start" >&2; exit 1; }
}

# The driver reads the names of the texts to type from a FIFO this shell holds open; its first text (x) starts the
# session, which GNOME's portal asks the user for.
mkfifo "$WORK/texts.fifo"
session_own "$WORK/texts.fifo"
exec {TEXTS_FD}<>"$WORK/texts.fifo"
open_window gtk4 velmora-warm
session_command "$SESSION_DIR/bin/velmora_rd_type_driver" "${ROUTE[@]}" --stdin "$WORK/warm.in"
"${SESSION_COMMAND[@]}" <"$WORK/texts.fifo" >"$WORK/driver.out" 2>"$WORK/driver.err" &
XSESSION_PIDS+=("$!")
[ "$DESKTOPS" != gnome ] || gnome_accept_remote_desktop 30 || { echo "the portal's dialog was not answered" >&2; exit 1; }
wait_file_equals "$WORK/velmora-warm.out" "$WORK/warm.in" 30 || { echo "the first text did not arrive" >&2; exit 1; }
xsession_stop "$TARGET_PID"

# one_run KIND SIZE: a fresh window, the text queued, polled until the window holds it (at most 30 s).
one_run() {
    local kind=$1 name="velmora-bench-$1-$RANDOM" text="$WORK/layout-$2.in" end="" typed deadline key="$1 $2"
    [ "$DESKTOPS-$kind" != gnome-gtk4 ] || text="$WORK/mixed-$2.in"
    expected_for qt <"$text" >"$WORK/expected"
    open_window "$kind" "$name"
    typed=$(grep -c '^typed ' "$WORK/driver.out" || true)
    echo "$text" >&"$TEXTS_FD"
    deadline=$((SECONDS + 30))
    end=$(arrival_ns "$WORK/$name.out" "$WORK/expected" "$deadline")
    typed_more() { [ "$(grep -c '^typed ' "$WORK/driver.out" || true)" -gt "$typed" ]; }
    wait_until 60 typed_more || { echo "the driver hangs: $(cat "$WORK/driver.err")" >&2; exit 1; }
    local line queued idle
    line=$(grep '^typed ' "$WORK/driver.out" | tail -n 1)
    queued=$(sed 's/.*queued_ns=\([0-9]*\).*/\1/' <<<"$line")
    idle=$(sed 's/.*idle_ns=\([0-9]*\).*/\1/' <<<"$line")
    runs[$key]=$((${runs[$key]:-0} + 1))
    own[$key]="${own[$key]:-} $(((idle - queued) / 1000000))"
    chars[$key]=$(wc -m <"$text")
    if [ -n "$end" ]; then
        exact[$key]=$((${exact[$key]:-0} + 1))
        rates[$key]="${rates[$key]:-} $((chars[$key] * 1000000000 / (end - queued)))"
    else
        cp "$WORK/$name.out" "${TMPDIR:-/tmp}/desktop-bench-$DESKTOPS-$kind-$2.got"
    fi
    xsession_stop "$TARGET_PID"
}

declare -A runs=() exact=() rates=() own=() chars=()
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg); $RUNS runs" >&2
for ((run = 0; run < RUNS; run++)); do
    for kind in $TARGETS; do
        for size in $SIZES; do
            one_run "$kind" "$size"
        done
    done
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)" >&2
grep '^problem: ' "$WORK/driver.out" | sort | uniq -c >&2 || true

printf '%-7s %-6s %6s %9s %10s %6s\n' desktop target chars "chars/s" "typist ms" exact
for kind in $TARGETS; do
    for size in $SIZES; do
        key="$kind $size"
        # shellcheck disable=SC2086 # numbers separated by spaces
        printf '%-7s %-6s %6s %9s %10s %6s\n' "$DESKTOPS" "$kind" "${chars[$key]:-0}" "$(median ${rates[$key]:-})" \
            "$(median ${own[$key]:-})" "${exact[$key]:-0}/${runs[$key]:-0}"
    done
done
