#!/usr/bin/env bash
# The real figure6 in a window: SIGINT and SIGTERM end it at once, killed by the signal (the
# status a shell reports as 130 and 143), also while the window is being opened; a signal it was
# started with ignored stays ignored, and a close request from the window still advances exactly
# one slide.
#   signals_test.sh BIN_DIR
# Runs under Xvfb when it is installed, otherwise against SDL's dummy video driver (which has
# no window to close). Exit 0 passed, 1 failed, 77 skipped.
set -u
bin=$1/figure6
if [ ! -x "$bin" ]; then
    echo "SKIP: $bin has not been built"
    exit 77
fi
# With job control a background job gets the signals as the shell had them; without it bash
# starts background jobs with SIGINT ignored, and a Ctrl+C could never reach them.
set -m

work=$(mktemp -d)
xvfb_pid=
show_pid=
# Only this shell cleans up: a signal sent to a show can reach the shell's child that is about
# to start it (before its exec), which would run this too, stop Xvfb and remove $work.
cleanup() {
    [ "$BASHPID" = "$$" ] || return
    [ -n "$show_pid" ] && kill -KILL "$show_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill -TERM "$xvfb_pid" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

source "$(dirname "$0")/support.sh"
if command -v Xvfb >/dev/null && command -v xdotool >/dev/null; then
    if ! start_xvfb 1024x768; then
        echo "SKIP: Xvfb did not start: $(cat "$work/xvfb.log")"
        exit 77
    fi
    echo "running on Xvfb display $DISPLAY"
else
    export SDL_VIDEODRIVER=dummy
    echo "no Xvfb and xdotool: running on the dummy video driver"
fi

# SDL's X11 back end loads and unloads libraries at run time, which leaves allocations that
# LeakSanitizer can no longer attribute; they are not this program's (the headless tests check
# the project's own memory).
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"

# Starts figure6 ("$@" goes before it, e.g. env --ignore-signal=INT) and waits until its first
# slide is up and waiting. Sets show_pid, and window under Xvfb.
# (open_show searches again and again: xdotool's --sync search fails outright, now and then under
# load, when another window goes away under it.)
show_name=figure6 show_out=$work/stdout show_log=$work/stderr
start_show() {
    window=
    if [ -n "$xvfb_pid" ]; then
        open_show '^figure6' "$@" "$bin" || return 1
    else
        "$@" "$bin" 2>"$work/stderr" &
        show_pid=$!
    fi
    # Slide 1 is one box outline: drawn and shown well within this pause.
    sleep 0.5
    if ! running "$show_pid"; then
        fail "figure6 ended before its first slide was dismissed: $(cat "$work/stderr")"
        return 1
    fi
}

# Waits up to $2 seconds for process $1 to end (to become a zombie: see running); sets
# ended_status once it is gone, or returns 1 if it runs on.
wait_for_end() {
    local pid=$1 deadline=$(($(date +%s%N) + $2 * 1000000000))
    ended_status=
    while running "$pid"; do
        [ "$(date +%s%N)" -gt "$deadline" ] && return 1
        sleep 0.05
    done
    wait "$pid"
    ended_status=$?
}

for case in INT:130 TERM:143; do
    signal=${case%%:*} expected=${case##*:}
    start_show env --default-signal="$signal" || continue
    sent=$(date +%s%N)
    kill -s "$signal" "$show_pid"
    if wait_for_end "$show_pid" 2; then
        took=$((($(date +%s%N) - sent) / 1000000))
        if [ "$ended_status" -ne "$expected" ]; then
            fail "SIG$signal ended figure6 with status $ended_status, not $expected"
        else
            echo "ok: SIG$signal ended figure6 after $took ms with status $ended_status"
        fi
    else
        fail "figure6 still runs 2 s after SIG$signal (did it become a close request?)"
        kill -KILL "$show_pid"
        wait "$show_pid" 2>/dev/null
    fi
done

# SIGINT while the window is still being opened (SDL's start-up takes some 40 to 150 ms here)
# ends the program too: it must not become a quit request that skips slide 1.
startup_ok=0
for delay in 0.02 0.04 0.06 0.08 0.1 0.12 0.15; do
    env --default-signal=INT "$bin" 2>"$work/stderr" &
    pid=$!
    sleep "$delay"
    kill -s INT "$pid"
    if wait_for_end "$pid" 3; then
        if [ "$ended_status" -eq 130 ]; then
            startup_ok=$((startup_ok + 1))
        else
            fail "SIGINT ${delay}s into the start-up: status $ended_status, not 130"
        fi
    else
        fail "figure6 still runs 3 s after SIGINT ${delay}s into its start-up"
        kill -KILL "$pid"
        wait "$pid" 2>/dev/null
    fi
done
echo "ok: SIGINT during the window's start-up ended figure6 $startup_ok times of 7"

# Started with SIGINT ignored (nohup, a background job of a script), figure6 keeps ignoring it.
if start_show env --ignore-signal=INT; then
    kill -s INT "$show_pid"
    kill -s INT "$show_pid"
    sleep 1
    if ! running "$show_pid"; then
        wait "$show_pid"
        fail "an ignored SIGINT ended figure6 (status $?)"
    else
        echo "ok: an ignored SIGINT left figure6 running"
        kill -s TERM "$show_pid"
        if wait_for_end "$show_pid" 2 && [ "$ended_status" -eq 143 ]; then
            echo "ok: SIGTERM still ended it"
        else
            fail "SIGTERM did not end figure6 started with SIGINT ignored"
            kill -KILL "$show_pid"
            wait "$show_pid" 2>/dev/null
        fi
    fi
fi

# Asks the window to close the way a window manager does: WM_PROTOCOLS / WM_DELETE_WINDOW.
close_window() {
    python3 "$(dirname "$0")/send_client_message.py" "$1" close
}

# The number of distinct colours in the window: 2 (white and the red box) on slide 1.
window_colours() {
    import -window "$1" -format '%k' info: 2>/dev/null
}

if [ -z "$xvfb_pid" ]; then
    echo "SKIP (part): the dummy driver has no window to close"
elif ! command -v python3 >/dev/null || ! command -v import >/dev/null; then
    echo "SKIP (part): closing the window needs python3 and ImageMagick's import"
elif start_show env --default-signal=INT,TERM; then
    before=$(window_colours "$window")
    close_window "$window" || fail "could not send the close request"
    # Slide 2 plots 6284 orbits; give it time, then look at the window.
    for _ in $(seq 50); do
        after=$(window_colours "$window")
        [ "${after:-0}" -gt 2 ] && break
        sleep 0.2
    done
    if [ "$before" != 2 ] || [ "${after:-0}" -le 2 ]; then
        fail "closing the window did not move from slide 1 ($before colours) to slide 2 ($after)"
    fi
    # Four more close requests reach slide 6: figure6 must still be showing it.
    for _ in 1 2 3 4; do
        close_window "$window"
        sleep 0.3
    done
    sleep 1
    if ! running "$show_pid"; then
        wait "$show_pid"
        fail "five close requests ended figure6's six slides (status $?)"
    else
        close_window "$window"
        if wait_for_end "$show_pid" 5 && [ "$ended_status" -eq 0 ]; then
            echo "ok: six close requests showed six slides, then figure6 ended with status 0"
        else
            fail "the sixth close request did not end figure6 with status 0 (${ended_status:-running})"
        fi
    fi
fi

[ "$failures" -eq 0 ] || { echo "--- stderr of the last run:"; cat "$work/stderr"; exit 1; }
echo "PASS"
