#!/usr/bin/env bash
# explore in a real window under Xvfb: the strip on view is the export's, keys and clicks
# change the scene (the title and the printed line say so), a save never replaces a file, the
# tour shows the seven groups. Exit 0 passed, 1 failed, 77 skipped.
set -u
bin=${1:?usage: explore_window_test.sh BIN_DIR}
explore=$(cd "$bin" && pwd)/explore
for tool in Xvfb xdotool import compare convert; do
    command -v $tool >/dev/null ||
        { echo "SKIP: $tool is not installed (make deps installs it)"; exit 77; }
done
work=$(mktemp -d)
xvfb_pid=
show_pid=
cleanup() {
    [ -n "$show_pid" ] && kill "$show_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*"
    exit 1
}

source "$(dirname "$0")/support.sh"
show_name=explore show_out=$work/out show_log=$work/err
start_xvfb 1024x768 || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
mkdir "$work/here"
cd "$work/here" || fail "cannot enter $work/here"

# Starts explore (in $work/here, where its saves go) with the given options; sets show_pid and
# window.
start() {
    open_show '^(tour|explore)' "$explore" "$@"
}

# The strip on view (tile 100 high: it stands from row 24 + 100 + 32) against the export of
# the scene line at 800 x 100.
strip_is_export_of() {
    "$explore" --scene "$(printf '%s\n' "$1" | sed 's/ *size=[^ ]*//') size=800x100" \
        --export "$work/expected.png" >/dev/null ||
        fail "cannot export $1"
    shot_is "$work/expected.png" -window "$window" -crop 800x100+0+156 +repage ||
        fail "the window's strip is not the export of '$1' ($diff pixels differ)"
}

# The last line explore printed, once it has printed `count` lines.
printed_line() {
    for _ in $(seq 50); do
        [ "$(wc -l <"$work/out")" -ge "$1" ] && break
        sleep 0.1
    done
    sed -n "$1p" "$work/out"
}

scene="kick=0.9 tile=100 length=200"
start --scene "$scene"
window_title_is "explore - kick 0.9 - p2mm (spinning-jump)"
strip_is_export_of "$scene"
xdotool key --window "$window" bracketright
window_title_is "explore - kick 0.91 - p2mm (spinning-jump)"
xdotool key --window "$window" 3
window_title_is "explore - kick 0.91 - p1m1 (sidle)"
# A click on the portrait (300 x 100 at column 250, row 24) starts an orbit there.
xdotool mousemove --window "$window" 320 60 click 1
sleep 0.3
xdotool key --window "$window" p
line=$(printed_line 1)
case $line in
*"kick=0.91 group=p1m1 "*"orbit="*) ;;
*) fail "the printed scene has no orbit: $line" ;;
esac
strip_is_export_of "$line"
# A save never replaces a file: the name taken goes to the next free one.
echo planted >"$work/here/explore-p1m1-kick-0.91.png"
xdotool key --window "$window" s
saved=$(printed_line 2)
[ "$saved" = "explore: saved explore-p1m1-kick-0.91-2.png: $line" ] || fail "the save said: $saved"
[ "$(cat "$work/here/explore-p1m1-kick-0.91.png")" = planted ] || fail "a save replaced a file"
"$explore" --scene-from "$work/here/explore-p1m1-kick-0.91-2.png" --export "$work/again.png" \
    >/dev/null || fail "the saved picture holds no scene"
xdotool key --window "$window" u p
[ "$(printed_line 3)" = "$(printf '%s\n' "$line" | sed 's/ orbit=[^ ]*//')" ] ||
    fail "undo left '$(printed_line 3)'"
xdotool key --window "$window" q
ends_with_0 "after q"

# The tour: the scene in each group, a key for the next, ending after the seventh.
start --tour --scene "tile=40 length=50"
window_title_is "tour 1 of 7 - explore - kick 0.9 - p1 (hop)"
xdotool key --window "$window" space
window_title_is "tour 2 of 7 - explore - kick 0.9 - p11g (step)"
for _ in 3 4 5 6 7; do xdotool key --window "$window" space; sleep 0.2; done
window_title_is "tour 7 of 7 - explore - kick 0.9 - p2mm (spinning-jump)"
xdotool key --window "$window" space
ends_with_0 "after the tour's last group"
echo "PASS: explore's window, its keys, clicks, saves and tour"
