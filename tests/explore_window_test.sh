#!/usr/bin/env bash
# explore in a real window under Xvfb: the picture on view is the export's, the readouts and
# the help leave it as it was, keys, clicks, drags and the wheel change the scene (the title and
# the printed line say so) and undo takes each change back, a save never replaces a file and
# finds its name at once, a long drawing leaves keys and q answered at once, the tour takes the
# slide shows' keys. Exit 0 passed, 1 failed, 77 skipped.
set -u
bin=${1:?usage: explore_window_test.sh BIN_DIR}
explore=$(cd "$bin" && pwd)/explore
for tool in Xvfb xdotool import compare convert identify; do
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

# Where the picture stands in the window for a tile 100 high: the portrait (300 x 100) at column
# 250, row 20, under the readouts' row; the strip (800 x 100) from row 143, under theta's axis.
portrait_crop=300x100+250+20
strip_crop=800x100+0+143

# The strip on view against the export of the scene line at 800 x 100.
strip_is_export_of() {
    "$explore" --scene "$(printf '%s\n' "$1" | sed 's/ *size=[^ ]*//') size=800x100" \
        --export "$work/expected.png" >/dev/null ||
        fail "cannot export $1"
    shot_is "$work/expected.png" -window "$window" -crop $strip_crop +repage ||
        fail "the window's strip is not the export of '$1' ($diff pixels differ)"
}

# Line N that explore printed, once it has printed that many.
printed_line() {
    for _ in $(seq 50); do
        [ "$(wc -l <"$work/out")" -ge "$1" ] && break
        sleep 0.1
    done
    sed -n "$1p" "$work/out"
}

# A screenshot of the whole window into $work/NAME.png.
window_shot() {
    import -window "$window" "$work/$1.png" 2>/dev/null || fail "no screenshot of the window"
}

# shot_until NAME OTHER TEST: takes screenshots into $work/NAME.png for up to 5 s until TEST
# holds of `diff`, the pixels that differ from $work/OTHER.png; returns 1 if it never did.
shot_until() {
    for _ in $(seq 25); do
        window_shot "$1"
        diff=$(differ "$1" "$2")
        eval "$3" && return 0
        sleep 0.2
    done
    return 1
}

# Pixels that differ between two screenshots (a crop of each, when given).
differ() {
    compare -metric AE ${3:+-extract $3} "$work/$1.png" ${3:+-extract $3} "$work/$2.png" null: 2>&1
}

scene="kick=0.9 tile=100 length=200"
start --scene "$scene"
case $(printed_line 1) in
"explore: h, ? or F1: help"*"q: quit") ;;
*) fail "the start-up line does not name the help key: $(printed_line 1)" ;;
esac
window_title_is "explore - kick 0.9 - p2mm (spinning-jump)"
strip_is_export_of "$scene"
# In p1 the strip repeats the whole tile: the portrait on view is the export's first tile.
press 1
"$explore" --scene "$scene group=p1 size=300x100" --export "$work/tile.png" >/dev/null ||
    fail "cannot export the tile"
shot_is "$work/tile.png" -window "$window" -crop $portrait_crop +repage ||
    fail "the window's portrait is not the picture's tile ($diff pixels differ)"
# The pointer's (theta, p) show in the margin as it moves; the picture stays as it was.
xdotool mousemove --window "$window" 5 590
sleep 0.3
window_shot off
xdotool mousemove --window "$window" 300 50
shot_until over off '[ "$diff" != 0 ]' || fail "the readouts did not follow the pointer"
[ "$(differ off over $portrait_crop)" = 0 ] && [ "$(differ off over $strip_crop)" = 0 ] ||
    fail "the readouts changed the picture"
# Help over the window, and away again: the window exactly as it was, whichever key opened it.
for keys in "h h" "h Escape" "shift+slash F1" "F1 shift+slash"; do
    press ${keys% *}
    shot_until help over '[ "$diff" -gt 10000 ]' || fail "${keys% *} showed no help"
    press ${keys#* }
    shot_until closed over '[ "$diff" = 0 ]' ||
        fail "after ${keys% *} ${keys#* } the window is not as it was ($diff pixels differ)"
done

press bracketright
window_title_is "explore - kick 0.91 - p1 (hop)"
press 3
window_title_is "explore - kick 0.91 - p1m1 (sidle)"
# A click on the portrait starts an orbit there.
xdotool mousemove --window "$window" 320 60 click 1
sleep 0.3
press p
line=$(printed_line 2)
case $line in
*"kick=0.91 group=p1m1 "*"orbit="*) ;;
*) fail "the printed scene has no orbit: $line" ;;
esac
strip_is_export_of "$line"
# A save never replaces a file: the name taken goes to the next free one.
echo planted >"$work/here/explore-p1m1-kick-0.91.png"
press s
saved=$(printed_line 3)
[ "$saved" = "explore: saved explore-p1m1-kick-0.91-2.png: $line" ] || fail "the save said: $saved"
[ "$(cat "$work/here/explore-p1m1-kick-0.91.png")" = planted ] || fail "a save replaced a file"
"$explore" --scene-from "$work/here/explore-p1m1-kick-0.91-2.png" --export "$work/again.png" \
    >/dev/null || fail "the saved picture holds no scene"
# Thousands of earlier saves: the next name is found at once.
(cd "$work/here" && touch explore-p1m1-kick-0.91-{3..4000}.png)
# A killed save's temporary file (its process gone) goes with the next save; a running one's stays.
touch "$work/here/.explore-p1m1-kick-0.91-4001.png.4999999.1.part" \
    "$work/here/.explore-p1m1-kick-0.91-4001.png.$$.1.part"
took=$(date +%s%N)
press s
saved=$(printed_line 4)
took=$((($(date +%s%N) - took) / 1000000))
[ "$saved" = "explore: saved explore-p1m1-kick-0.91-4001.png: $line" ] || fail "the save said: $saved"
[ "$took" -lt 2000 ] || fail "with 4000 earlier saves, a save took $took ms"
[ -e "$work/here/.explore-p1m1-kick-0.91-4001.png.4999999.1.part" ] &&
    fail "a killed save's temporary file stays"
[ -e "$work/here/.explore-p1m1-kick-0.91-4001.png.$$.1.part" ] ||
    fail "a running process's temporary file was removed"
rm -f "$work/here/.explore-p1m1-kick-0.91-4001.png.$$.1.part"
# S saves what the window shows: the strip 800 wide at the tile's height, its scene saying so.
press shift+s
saved=$(printed_line 5)
case $saved in
"explore: saved explore-p1m1-kick-0.91-800x100.png: "*size=800x100*) ;;
*) fail "S said: $saved" ;;
esac
[ "$(identify -format %wx%h "$work/here/explore-p1m1-kick-0.91-800x100.png")" = 800x100 ] ||
    fail "S did not save the window's size"
"$explore" --scene-from "$work/here/explore-p1m1-kick-0.91-800x100.png" --export "$work/again.png" \
    >/dev/null || fail "the window's save holds no scene"
[ "$(compare -metric AE "$work/again.png" "$work/here/explore-p1m1-kick-0.91-800x100.png" null: 2>&1)" = 0 ] ||
    fail "the window's save does not rebuild from its scene"
press u p
[ "$(printed_line 6)" = "$(printf '%s\n' "$line" | sed 's/ orbit=[^ ]*//')" ] ||
    fail "undo left '$(printed_line 6)'"
# Reset is undone like any change: the orbit comes back.
press shift+u r p
started=$("$explore" --scene "$scene" --export "$work/x.png" | sed 's/^explore: wrote [^:]*: //')
[ "$(printed_line 7)" = "$started" ] || fail "reset left '$(printed_line 7)'"
press u p
[ "$(printed_line 8)" = "$line" ] || fail "undo after reset left '$(printed_line 8)'"
# A drag pans (the zoomed window follows the pointer), and one undo takes the whole drag back.
press plus p
zoomed=$(printed_line 9)
xdotool mousemove --window "$window" 400 70 mousedown 1
for x in 390 370 350 330; do xdotool mousemove --window "$window" $x 60; sleep 0.05; done
xdotool mouseup 1
sleep 0.3
press p
dragged=$(printed_line 10)
[ "${dragged% orbit=*}" != "${zoomed% orbit=*}" ] || fail "the drag did not pan: $dragged"
case $dragged in *"orbit="*"orbit="*) fail "the drag planted an orbit: $dragged" ;; esac
press ctrl+z p
[ "$(printed_line 11)" = "$zoomed" ] || fail "one undo did not take the drag back: $(printed_line 11)"
# The wheel zooms in about the pointer; Ctrl+Y redoes after an undo.
xdotool mousemove --window "$window" 400 70 click 4
sleep 0.3
press p ctrl+z ctrl+y p
wheeled=$(printed_line 12)
[ "$wheeled" != "$zoomed" ] && [ "$(printed_line 13)" = "$wheeled" ] ||
    fail "the wheel did not zoom, or redo did not bring it back: $wheeled"
press q
ends_with_0 "after q"

# A save that cannot be written says why, on the terminal and in the status line (row 280),
# and the window goes on: here its folder is removed under it.
mkdir "$work/gone"
cd "$work/gone" || fail "cannot enter $work/gone"
start --scene "tile=100 length=50"
window_title_is "explore - kick 0.9 - p2mm (spinning-jump)"
rmdir "$work/gone"
window_shot before
press s
for _ in $(seq 50); do grep -q "cannot save" "$work/err" && break; sleep 0.1; done
grep -q "^explore: cannot save explore-p2mm-kick-0.9.png: " "$work/err" ||
    fail "a failed save said: $(cat "$work/err")"
shot_until after before '[ "$(differ before after 800x17+0+280)" -gt 100 ]' ||
    fail "the status line did not say the save failed"
press q
ends_with_0 "after a failed save"
cd "$work/here" || fail "cannot enter $work/here"

# A picture that takes seconds to draw (about 8 s on one core): keys are taken at once and q
# quits at once (within 3 s even on a loaded machine; each used to wait for the whole drawing).
start --scene "step=0.0001 length=10000 tile=100"
took=$(date +%s%N)
press bracketright
window_title_is "explore - kick 0.91 - p2mm (spinning-jump)"
took=$((($(date +%s%N) - took) / 1000000))
[ "$took" -lt 3000 ] || fail "a key took $took ms while a picture was drawn"
# The status line (row 280 for this tile) says so at its right end.
sleep 0.5
window_shot drawing
convert -size 100x17 xc:'rgb(224,224,224)' "$work/margin.png"
convert "$work/drawing.png" -crop 100x17+700+280 +repage "$work/said.png"
[ "$(differ margin said)" -gt 20 ] || fail "the status line does not say it is drawing"
took=$(date +%s%N)
press q
ends_with_0 "after q while drawing"
took=$((($(date +%s%N) - took) / 1000000))
[ "$took" -lt 3000 ] || fail "q took $took ms while a picture was drawn"

# The tour: the scene in each group, the slide shows' keys, ending after the seventh.
start --tour --scene "tile=40 length=50"
window_title_is "tour 1 of 7 - explore - kick 0.9 - p1 (hop)"
press space
window_title_is "tour 2 of 7 - explore - kick 0.9 - p11g (step)"
press Left
window_title_is "tour 1 of 7 - explore - kick 0.9 - p1 (hop)"
press End
window_title_is "tour 7 of 7 - explore - kick 0.9 - p2mm (spinning-jump)"
press Home
window_title_is "tour 1 of 7 - explore - kick 0.9 - p1 (hop)"
for _ in 2 3 4 5 6 7; do press Right; sleep 0.2; done
window_title_is "tour 7 of 7 - explore - kick 0.9 - p2mm (spinning-jump)"
press space
ends_with_0 "after the tour's last group"
start --tour --scene "tile=40 length=50"
window_title_is "tour 1 of 7 - explore - kick 0.9 - p1 (hop)"
press Right
window_title_is "tour 2 of 7 - explore - kick 0.9 - p11g (step)"
press q
ends_with_0 "after q in the tour"
echo "PASS: explore's window, its margins, help, keys, gestures, saves, background drawing and tour"
