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

# running PID: the process runs, and is not yet a zombie. A program ended by a signal is a zombie
# at once, but under load the kernel can take seconds more to free a sanitizer build's address
# space (its shadow memory) before the process is gone: that time is not the program's.
running() {
    kill -0 "$1" 2>/dev/null || return 1
    local state
    state=$(sed 's/.*) //' "/proc/$1/stat" 2>/dev/null)
    [ "${state%% *}" != Z ]
}

# For the tests that open real windows: start_xvfb SIZE starts Xvfb on a display number
# it picks itself, with a SIZE (WIDTHxHEIGHT) screen, its messages in $work/xvfb.log; it sets
# xvfb_pid (for the caller's clean-up) and DISPLAY, and returns 1 when Xvfb did not start.
# -noreset: by default the server resets itself whenever its last client leaves, and a program
# that connects during the reset (one test's program just after the one before it ended) is
# refused now and then, 2 times in 100 here; it then rightly reports that no display answers.
start_xvfb() {
    Xvfb -displayfd 3 -screen 0 "${1}x24" -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" &
    xvfb_pid=$!
    for _ in $(seq 100); do
        [ -s "$work/display" ] && break
        sleep 0.1
    done
    [ -s "$work/display" ] || return 1
    export DISPLAY=:$(head -n 1 "$work/display")
    unset SDL_VIDEODRIVER WAYLAND_DISPLAY
}

# For the tests of a program in a window; each sets `window` (the X window under test),
# `show_pid` (its process), `show_name`, `show_out` and `show_log` (its name, its stdout and its
# stderr).

# open_show TITLE_PATTERN PROGRAM OPTIONS...: starts the program in the background, its output
# in $show_out and its messages in $show_log, and waits up to 20 s for a window of its process
# whose title matches the pattern; sets show_pid and window. The window is searched for again
# and again rather than with --sync: a search fails outright when a window goes away under it
# (the window manager's frame of the show before).
open_show() {
    local title=$1 status
    shift
    "$@" >"$show_out" 2>"$show_log" &
    show_pid=$!
    # SDL may make its window twice as it starts (the renderer it picks wants another kind of
    # window): a window found is kept once it is on the screen and the same one is found again
    # after a moment; keys sent to the first one would be lost with it.
    local found=
    for _ in $(seq 100); do
        window=$(xdotool search --all --pid "$show_pid" --name "$title" 2>/dev/null | head -n 1)
        if [ -n "$window" ] && [ "$window" = "$found" ] &&
            xwininfo -id "$window" 2>/dev/null | grep -q 'Map State: IsViewable'; then
            return 0
        fi
        found=$window
        running "$show_pid" || break
        sleep 0.2
    done
    if running "$show_pid"; then
        status="still running"
    else
        wait "$show_pid"
        status="status $?"
        show_pid=
    fi
    fail "no $show_name window appeared for $show_name ${*:2} ($status): $(cat "$show_log")"
}

# press KEY...: types the keys into the window under test as a keyboard does, the window given
# the keyboard focus first. (xdotool's --window would send each key event as a real one while
# the window has the focus and as a synthetic one once it has not: a window that closes on a
# key's press then has its release sent the other way, the server keeps the key held down, and
# the next press of that key, in the next program's window, is taken as held and lost.)
press() {
    xdotool windowfocus --sync "$window" 2>/dev/null
    xdotool key "$@"
}

# window_title_is TITLE: waits up to 5 s for the window's title to be TITLE.
window_title_is() {
    local title=
    for _ in $(seq 50); do
        title=$(xdotool getwindowname "$window" 2>/dev/null)
        [ "$title" = "$1" ] && return 0
        sleep 0.1
    done
    fail "the window title is '$title', not '$1'"
}

# shot_is EXPECTED IMPORT_ARGUMENTS...: waits up to 20 s for a screenshot (import with the
# arguments, into $work/shot.png) to equal the image EXPECTED; drawing takes a moment. Returns 1
# if it never did, with the number of differing pixels in `diff`.
shot_is() {
    local expected=$1
    shift
    diff=
    for _ in $(seq 100); do
        import "$@" "$work/shot.png" 2>/dev/null &&
            diff=$(compare -metric AE "$work/shot.png" "$expected" null: 2>&1)
        [ "$diff" = 0 ] && return 0
        sleep 0.2
    done
    return 1
}

# ends_with_0 WHEN: waits up to 10 s for the program to end by itself, which it must do with
# status 0.
ends_with_0() {
    for _ in $(seq 100); do running "$show_pid" || break; sleep 0.1; done
    running "$show_pid" && fail "$show_name still runs ($1)"
    wait "$show_pid"
    local status=$?
    show_pid=
    [ "$status" = 0 ] || fail "$show_name exited $status: $(cat "$show_log")"
}
