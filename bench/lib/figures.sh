# What the typing benchmarks share: the time now and the median of their figures.
#
#   now_ns              # nanoseconds since the epoch
#   median NUMBER...    # the median (the lower of the two middle ones), "-" for none
#   arrival_ns FILE EXPECTED DEADLINE
#                       # once FILE equals EXPECTED, the time then (nanoseconds); nothing when SECONDS reaches
#                       # DEADLINE first

now_ns() { echo "${EPOCHREALTIME/./}000"; }

median() {
    [ "$#" -gt 0 ] || { echo -; return; }
    printf '%s\n' "$@" | sort -n | sed -n "$((($# + 1) / 2))p"
}

arrival_ns() {
    while [ "$SECONDS" -lt "$3" ]; do
        if cmp -s "$1" "$2"; then
            now_ns
            return
        fi
        sleep 0.005
    done
}
