#!/usr/bin/env bash
# figure6 in a real window under Xvfb: keys advance it to the end, and the window shows
# exactly the pixels that --export writes.
set -u
bin=${1:?usage: window_test.sh BIN_DIR}
program=$bin/figure6
for tool in Xvfb xdotool import compare; do
    if ! command -v $tool >/dev/null; then
        echo "SKIP: $tool is not installed (make deps installs xvfb, xdotool and imagemagick)"
        exit 77
    fi
done
work=$(mktemp -d)
xvfb_pid=
show_pid=
cleanup() {
    [ -n "$show_pid" ] && kill "$show_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# Let Xvfb pick a free display number.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "FAIL: Xvfb did not start: $(cat "$work/xvfb.log")"; exit 1; }
export DISPLAY=:$(head -n 1 "$work/display")
unset SDL_VIDEODRIVER WAYLAND_DISPLAY
# In the sanitizer build: the X libraries SDL loads and unloads at run time keep allocations
# that LeakSanitizer can no longer attribute; they are not this program's.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"

"$program" --export "$work/expected" || { echo "FAIL: export failed"; exit 1; }

"$program" 2>"$work/show.log" &
show_pid=$!
window=$(timeout 20 xdotool search --sync --name '^figure6$' | head -n 1)
[ -n "$window" ] || { echo "FAIL: no figure6 window appeared"; exit 1; }

# Screenshots of the window until it shows slide N (drawing takes a moment), or fail.
shows_slide() {
    local n=$1
    for _ in $(seq 100); do
        if import -window "$window" "$work/shot.png" 2>/dev/null; then
            diff=$(compare -metric AE "$work/shot.png" "$work/expected/slide-0$n.png" null: 2>&1)
            [ "$diff" = 0 ] && return 0
        fi
        sleep 0.2
    done
    echo "FAIL: the window never showed slide $n exactly ($diff pixels differ)"
    return 1
}

shows_slide 1 || exit 1
xdotool key --window "$window" space
shows_slide 2 || exit 1
for _ in 2 3 4 5 6; do
    xdotool key --window "$window" space
    sleep 0.3
done
for _ in $(seq 100); do kill -0 "$show_pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$show_pid" 2>/dev/null; then
    echo "FAIL: figure6 still running after six key presses"
    exit 1
fi
wait "$show_pid"
status=$?
show_pid=
[ "$status" = 0 ] || { echo "FAIL: figure6 exited $status: $(cat "$work/show.log")"; exit 1; }
echo "window: slides 1 and 2 match the export pixel for pixel; six keys end the show with 0"
