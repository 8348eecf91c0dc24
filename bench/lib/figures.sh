# What the typing benchmarks share: the time now and the median of their figures.
#
#   now_ns              # nanoseconds since the epoch
#   median NUMBER...    # the median (the lower of the two middle ones), "-" for none

now_ns() { echo "${EPOCHREALTIME/./}000"; }

median() {
    [ "$#" -gt 0 ] || { echo -; return; }
    printf '%s\n' "$@" | sort -n | sed -n "$((($# + 1) / 2))p"
}
