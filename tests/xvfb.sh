# Sourced by the tests that open real windows. start_xvfb SIZE starts Xvfb on a display number
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
