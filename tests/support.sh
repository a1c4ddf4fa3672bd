# Sourced by the test scripts; each defines fail MESSAGE and, where it uses them, work (its
# temporary folder).

# expect STATUS STDERR_PATTERN -- command... [--stdout=/dev/full]: the command ends with STATUS
# and, unless the pattern is empty, says something matching it on stderr. Its standard output
# goes to $work/out, or to /dev/full when the last word asks for that.
expect() {
    local status=$1 pattern=$2 out=$work/out
    shift 3
    if [ "${*: -1}" = --stdout=/dev/full ]; then
        out=/dev/full
        set -- "${@:1:$#-1}"
    fi
    "$@" >"$out" 2>"$work/err"
    local got=$?
    [ "$got" = "$status" ] || fail "$* exited $got, expected $status: $(head -c 300 "$work/err")"
    if [ -n "$pattern" ] && ! grep -qE -- "$pattern" "$work/err"; then
        fail "$*: stderr lacks /$pattern/: $(head -c 300 "$work/err")"
    fi
}

# For the tests that open real windows: start_xvfb SIZE starts Xvfb on a display number
# it picks itself, with a SIZE (WIDTHxHEIGHT) screen, its messages in $work/xvfb.log; it sets
# xvfb_pid (for the caller's clean-up) and DISPLAY, and returns 1 when Xvfb did not start.
start_xvfb() {
    Xvfb -displayfd 3 -screen 0 "${1}x24" -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
    xvfb_pid=$!
    for _ in $(seq 100); do
        [ -s "$work/display" ] && break
        sleep 0.1
    done
    [ -s "$work/display" ] || return 1
    export DISPLAY=:$(head -n 1 "$work/display")
    unset SDL_VIDEODRIVER WAYLAND_DISPLAY
}
