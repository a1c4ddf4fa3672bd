#!/usr/bin/env bash
# figure6 in a real window under Xvfb, against the pixels its --export writes.
#   window_test.sh BIN_DIR              no window manager: every slide as exported, kept on view
#                                       when the window is unmapped and mapped again, one slide
#                                       a key, the title naming the slide and its caption, the
#                                       window kept from shrinking; back, first, last, modifiers
#                                       and the quit keys; F5; --start, --scale
#   window_test.sh BIN_DIR fullscreen   under openbox: --fullscreen, with and without the slide
#                                       number and caption below the picture (i), blanked;
#                                       minimise and restore, the window manager's own
#                                       full-screen request, and --scale 2 refused where its
#                                       frame would not fit
# Exit 0 passed, 1 failed, 77 skipped.
set -u
bin=${1:?usage: window_test.sh BIN_DIR [fullscreen]}
mode=${2:-window}
program=$bin/figure6
skip() {
    echo "SKIP: $*"
    exit 77
}
for tool in Xvfb xdotool xwininfo xprop import compare convert; do
    command -v $tool >/dev/null ||
        skip "$tool is not installed (make deps installs xvfb, xdotool, x11-utils, imagemagick)"
done
if [ "$mode" = fullscreen ]; then
    command -v openbox >/dev/null ||
        skip "openbox is not installed: full screen needs a window manager (make deps tries it)"
    command -v python3 >/dev/null ||
        skip "python3 is not installed: it sends the window manager's full-screen request"
fi
work=$(mktemp -d)
xvfb_pid=
wm_pid=
show_pid=
cleanup() {
    [ -n "$show_pid" ] && kill "$show_pid" 2>/dev/null
    [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*"
    exit 1
}

# A screen where a 2x window fits with room for a frame and a panel and a 3x one does not; in
# full screen one that enlarges exactly twice (1200 / 600), with bars of 160 columns at the
# sides. Xvfb picks a free display number.
screen_size=1920x1280
[ "$mode" = fullscreen ] && screen_size=1920x1200
source "$(dirname "$0")/support.sh"
show_name=figure6 show_out=$work/show.out show_log=$work/show.log
start_xvfb "$screen_size" || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
# In the sanitizer build: the X libraries SDL loads and unloads at run time keep allocations
# that LeakSanitizer can no longer attribute; they are not this program's.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"

"$program" --export "$work/expected" >/dev/null || fail "export failed"
for n in 1 2 5; do
    convert "$work/expected/slide-0$n.png" -sample 200% "$work/expected/double-0$n.png"
done

# Starts figure6 with the given options; sets show_pid and window.
start_show() {
    open_show '^figure6' "$program" "$@"
}

# Waits until the screenshot `what` (the window, or the screen's centre 1600x1200 between the
# bars) equals the image `expected`; slides take a moment to draw.
shows() {
    local what=$1 expected=$2
    case $what in
    window) shot_is "$expected" -window "$window" && return 0 ;;
    centre) shot_is "$expected" -window root -crop 1600x1200+160+0 +repage && return 0 ;;
    esac
    fail "the $what never showed $(basename "$expected") exactly ($diff pixels differ)"
}

# Waits up to 5 s for the window to be WIDTHxHEIGHT; returns 1 if it is not, its size in `size`.
size_is() {
    for _ in $(seq 50); do
        size=$(xwininfo -id "$window" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}')
        [ "$size" = "$1" ] && return 0
        sleep 0.1
    done
    return 1
}

# The title names the slide, then says what it shows: the slide's line in --help.
title_is() {
    local n=${1#* slide } caption
    caption=$("$program" --help | sed -n "s/^ *${n%% *}  //p")
    window_title_is "$1: $caption"
}

stop_show() {
    kill "$show_pid"
    wait "$show_pid" 2>/dev/null
    show_pid=
}

if [ "$mode" = window ]; then
    start_show
    shows window "$work/expected/slide-01.png"
    title_is "figure6 - slide 1 of 6"
    [ "$(wc -l <"$work/show.out")" = 1 ] && grep -q "^figure6: .*Left" "$work/show.out" ||
        fail "the show did not start with one line on the keys: $(cat "$work/show.out")"
    for word in PageDown PageUp "i:" "b, w:"; do
        grep -qF "$word" "$work/show.out" || fail "the line on the keys names no $word: $(cat "$work/show.out")"
    done
    # F5 and Shift+F5 (a remote's "start the show"), and i in a window, do nothing. (The blank
    # screens in a window: test_events.cpp; here they are tried in full screen.)
    press F5 shift+F5 i
    sleep 0.5
    title_is "figure6 - slide 1 of 6"
    shows window "$work/expected/slide-01.png"
    echo "ok: the line on the keys names them all; F5, Shift+F5 and i do nothing in a window"
    press space
    title_is "figure6 - slide 2 of 6"
    shows window "$work/expected/slide-02.png"
    # Unmapped, the window loses its picture; mapped again it must show the same slide, and
    # the expose that brings it back is not a key.
    xdotool windowunmap --sync "$window"
    xdotool windowmap --sync "$window"
    shows window "$work/expected/slide-02.png"
    sleep 0.5
    title_is "figure6 - slide 2 of 6"
    # Shrunk below 800x600 (which would drop rows of the picture), the window takes its size back.
    xdotool windowsize "$window" 400 300
    size_is 800x600 || fail "a window shrunk to 400x300 stays $size"
    shows window "$work/expected/slide-02.png"
    for n in 3 4 5 6; do
        press space
        title_is "figure6 - slide $n of 6"
    done
    # The show ends on the key's press.
    press space
    ends_with_0 "six key presses"
    echo "ok: six slides as exported, one a key, slide 2 again after unmap and map, status 0"

    # Back and jump show exactly the exported slide; bare modifiers and shortcuts leave the
    # slide; back at the first does nothing; Esc ends the show at once with 0, and so does q.
    start_show
    shows window "$work/expected/slide-01.png"
    press Right Right
    title_is "figure6 - slide 3 of 6"
    press Left
    title_is "figure6 - slide 2 of 6"
    shows window "$work/expected/slide-02.png"
    press End
    title_is "figure6 - slide 6 of 6"
    shows window "$work/expected/slide-06.png"
    press Home BackSpace
    title_is "figure6 - slide 1 of 6"
    press Shift_L Control_L Alt_L Super_L Caps_Lock ctrl+c alt+Tab
    sleep 0.5
    title_is "figure6 - slide 1 of 6"
    shows window "$work/expected/slide-01.png"
    press Escape
    ends_with_0 "Esc on slide 1"
    start_show --start 4
    title_is "figure6 - slide 4 of 6"
    press q
    ends_with_0 "q on slide 4"
    echo "ok: Left, End and Home show the exported slides; modifiers do nothing; Esc and q end with 0"

    # --start 5: slides 1 to 4 drawn unseen, then slide 5 exactly as exported.
    start_show --start 5
    shows window "$work/expected/slide-05.png"
    title_is "figure6 - slide 5 of 6"
    press space
    title_is "figure6 - slide 6 of 6"
    press space
    ends_with_0 "--start 5 and two key presses"
    echo "ok: --start 5 shows slides 5 and 6, then ends with 0"

    # --scale 2: a 1600x1200 window, each pixel of the slide a 2x2 block.
    start_show --scale 2
    size_is 1600x1200 || fail "--scale 2 opened a $size window"
    shows window "$work/expected/double-01.png"
    stop_show
    echo "ok: --scale 2 is 1600x1200, every pixel a 2x2 block of the exported slide"

    # --scale 3 (2400x1800) does not fit the screen: a message, status 1.
    timeout 20 "$program" --scale 3 >/dev/null 2>"$work/err.log"
    status=$?
    [ "$status" = 1 ] && grep -q "^figure6: .*does not fit the $screen_size screen" "$work/err.log" ||
        fail "--scale 3 on a $screen_size screen: status $status, $(cat "$work/err.log")"
    echo "ok: --scale 3: $(cat "$work/err.log")"
else
    openbox --sm-disable >"$work/openbox.log" 2>&1 &
    wm_pid=$!
    # Full screen is the window manager's doing: the show may start only once it runs.
    for _ in $(seq 100); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
        sleep 0.1
    done
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' ||
        fail "openbox did not start: $(cat "$work/openbox.log")"

    # The screen's centre is the slide enlarged twice; the bars at the sides are black.
    has_black_bars() {
        local bar
        for bar in 160x1200+0+0 160x1200+1760+0; do
            colours=$(import -window root -crop "$bar" +repage -format '%k %[pixel:p{0,0}]' info:)
            [ "$colours" = "1 black" ] || [ "$colours" = "1 srgb(0,0,0)" ] ||
                fail "the bar $bar is not all black: $colours"
        done
    }

    start_show --fullscreen
    shows centre "$work/expected/double-01.png"
    has_black_bars

    # i: the picture shrinks to leave rows below it for a band with the slide number and caption
    # in light grey on black. The picture is the slide enlarged with each screen pixel the
    # slide's pixel under its centre, wherever it stands: its box is found in the screenshot as
    # the white of the slide's background. (ImageMagick's -sample means the same, but rounds
    # some centres that fall exactly on a pixel's edge the other way; enlarge does it in whole
    # numbers.)
    text_colour="#DDDDDD"
    # enlarge IN.png WxH OUT.ppm
    enlarge() {
        convert "$1" -depth 8 ppm:- | python3 -c '
import sys
data = sys.stdin.buffer.read()
fields = data.split(maxsplit=4)
w, h, pixels = int(fields[1]), int(fields[2]), fields[4]
W, H = map(int, sys.argv[1].split("x"))
columns = [(2 * x + 1) * w // (2 * W) for x in range(W)]
rows = []
for y in range(H):
    source = (2 * y + 1) * h // (2 * H)
    row = pixels[3 * w * source:3 * w * (source + 1)]
    rows.append(b"".join(row[3 * c:3 * c + 3] for c in columns))
sys.stdout.buffer.write(b"P6 %d %d 255\n" % (W, H) + b"".join(rows))
' "$2" >"$3"
    }
    shows_with_band() {
        local expected=$1 box size enlarged colours= text=0 text_box
        for _ in $(seq 100); do
            import -window root "$work/shot.png" 2>/dev/null || continue
            box=$(convert "$work/shot.png" -fill black +opaque white -format '%@' info:)
            size=${box%%+*}
            enlarged=$work/$(basename "$expected" .png)-$size.ppm
            [ -s "$enlarged" ] || enlarge "$expected" "$size" "$enlarged"
            convert "$work/shot.png" -crop "$box" +repage "$work/picture.png"
            diff=$(compare -metric AE "$work/picture.png" "$enlarged" null: 2>&1)
            if [ "$diff" = 0 ]; then
                # Everything else is black but for the band's text, below the picture.
                convert "$work/shot.png" -fill black -draw "rectangle $(box_corners "$box")" \
                    "$work/margin.png"
                colours=$(convert "$work/margin.png" -unique-colors -format '%k' info:)
                text=$(convert "$work/margin.png" -fill black +opaque "$text_colour" -fill white \
                    -opaque "$text_colour" -format '%[fx:round(mean*w*h)]' info:)
                text_box=$(convert "$work/margin.png" -format '%@' info: 2>/dev/null)
                if [ "$colours" = 2 ] && [ "$text" -gt 500 ]; then
                    [ $((${text_box##*+})) -ge $((${box##*+} + ${size#*x})) ] ||
                        fail "the text ($text_box) is not below the picture ($box)"
                    picture_box=$box
                    return 0
                fi
            fi
            sleep 0.2
        done
        fail "no band under $(basename "$expected"): $diff pixels of the picture ($box) differ," \
            "the margin holds $colours colours, $text pixels of text"
    }
    # "WxH+X+Y" as the corners "X,Y X2,Y2" of -draw rectangle.
    box_corners() {
        local size=${1%%+*} at=${1#*+}
        local w=${size%x*} h=${size#*x} x=${at%+*} y=${at#*+}
        echo "$x,$y $((x + w - 1)),$((y + h - 1))"
    }
    press i
    shows_with_band "$work/expected/slide-01.png"
    [ "${picture_box%%x*}" -lt 1600 ] || fail "with i the picture stays $picture_box"
    cp "$work/margin.png" "$work/margin-1.png"
    press space
    title_is "figure6 - slide 2 of 6"
    shows_with_band "$work/expected/slide-02.png"
    [ "$(compare -metric AE "$work/margin.png" "$work/margin-1.png" null: 2>&1)" != 0 ] ||
        fail "the band says the same on slide 2 as on slide 1"
    cp "$work/shot.png" "$work/with-band.png"
    echo "ok: --fullscreen with i: slides 1 and 2 whole above a band of text, $picture_box"
    convert -size 1920x1200 xc:black "$work/black.png"
    convert -size 1920x1200 xc:white "$work/white.png"
    for blank in b:black:Right period:black:b w:white:Left comma:white:comma; do
        IFS=: read -r key colour back <<<"$blank"
        press "$key"
        shot_is "$work/$colour.png" -window root || fail "$key did not make the screen $colour"
        press "$back"
        shot_is "$work/with-band.png" -window root ||
            fail "after $key and $back the screen is not slide 2 with its band ($diff pixels)"
    done
    press F5 shift+F5
    sleep 0.5
    title_is "figure6 - slide 2 of 6"
    press i
    shows centre "$work/expected/double-02.png"
    has_black_bars
    stop_show
    echo "ok: --fullscreen: b . w , blank the whole screen until the next key; i again hides the band"

    start_show --fullscreen
    shows centre "$work/expected/double-01.png"
    xdotool windowminimize --sync "$window"
    for _ in $(seq 50); do
        xwininfo -id "$window" | grep -q IsUnMapped && break
        sleep 0.1
    done
    xwininfo -id "$window" | grep -q IsUnMapped || fail "minimising left the window mapped"
    # (xdotool asks for the active window before openbox has named one, and says so.)
    xdotool windowactivate --sync "$window" 2>/dev/null
    shows centre "$work/expected/double-01.png"
    stop_show
    echo "ok: --fullscreen: the slide twice enlarged between black bars, again after minimise"

    # The window manager's own full-screen request (what its key or menu sends) on a window.
    start_show
    shows window "$work/expected/slide-01.png"
    python3 "$(dirname "$0")/send_client_message.py" "$window" fullscreen ||
        fail "could not send the full-screen request"
    shows centre "$work/expected/double-01.png"
    has_black_bars
    title_is "figure6 - slide 1 of 6"
    stop_show
    echo "ok: the window manager's full-screen request enlarges the slide the same way"

    # A 1600x1200 window (--scale 2) on a screen 1200 high leaves no room for its frame.
    timeout 20 "$program" --scale 2 >/dev/null 2>"$work/err.log"
    status=$?
    [ "$status" = 1 ] && grep -q "with its frame does not fit the 1920x1200 screen" "$work/err.log" ||
        fail "--scale 2 on a 1920x1200 screen: status $status, $(cat "$work/err.log")"
    echo "ok: --scale 2 on a 1920x1200 screen: $(cat "$work/err.log")"
fi
echo "PASS"
