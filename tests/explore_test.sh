#!/usr/bin/env bash
# explore from the outside: help, bad scenes, the export with its scene inside, a scene read
# back from the picture, the size limit, sweeps.
set -u
bin=${1:?usage: explore_test.sh BIN_DIR}
explore=$bin/explore
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# In the sanitizer build: SDL's video start-up without a display leaves allocations of the X
# libraries that LeakSanitizer cannot attribute; they are not this program's.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"

source "$(dirname "$0")/support.sh"

expect 0 "" -- "$explore" --help
for word in --scene --scene-from --export --orbits --sweep --tour --scale --fullscreen click undo reset; do
    grep -q -- "$word" "$work/out" || fail "--help does not mention $word"
done

# A bad scene: one line naming the key, exit status 2, nothing written.
expect 2 "^explore: bad scene: kick: '12' " -- "$explore" --scene "kick=12" --export "$work/a.png"
[ "$(wc -l <"$work/err")" = 1 ] || fail "a bad scene takes more than one line: $(cat "$work/err")"
[ -e "$work/a.png" ] && fail "a bad scene wrote a picture"
expect 2 "^explore: unknown option --bogus" -- "$explore" --bogus
expect 2 "exclude each other" -- "$explore" --scene "" --scene-from "$work/x.png"

# The export carries its scene: --scene-from of it exports the same file, byte for byte.
scene="kick=0.77 group=spinning-sidle size=900x61 keep=2 orbit=1,1 theta=0.5:6"
expect 0 "" -- "$explore" --scene "$scene" --export "$work/a.png"
grep -q "^explore: wrote .*a.png (900x61): v=2 kick=0.77 group=p2mg " "$work/out" ||
    fail "the export does not say what it wrote: $(cat "$work/out")"
line=$(sed -n 's/^explore: wrote .*(900x61): //p' "$work/out")
expect 0 "" -- "$explore" --scene-from "$work/a.png" --export "$work/b.png"
cmp -s "$work/a.png" "$work/b.png" || fail "--scene-from of an export exports another picture"
expect 0 "" -- "$explore" --scene "$line" --export "$work/c.png"
cmp -s "$work/a.png" "$work/c.png" || fail "the printed scene line draws another picture"
if command -v identify >/dev/null; then
    [ "$(identify -format '%wx%h' "$work/a.png")" = 900x61 ] || fail "the export is not 900x61"
    identify -verbose "$work/a.png" | grep -q "Scene: v=2 kick=0.77" ||
        fail "no Scene text chunk in the export"
    identify -verbose "$work/a.png" | grep -q "Software: explore " ||
        fail "no Software text chunk in the export"
fi
# On any number of threads the same file; a count out of range is refused.
for threads in 1 3; do
    expect 0 "" -- "$explore" --threads "$threads" --scene "$scene" --export "$work/t$threads.png"
done
cmp -s "$work/t1.png" "$work/t3.png" || fail "--threads 1 and --threads 3 export other files"
expect 2 "^explore: bad thread count '0': " -- "$explore" --threads 0 --export "$work/t0.png"
# A strip wider than an SDL 1.2 surface can be (16383 pixels) is written all the same.
expect 0 "" -- "$explore" --scene "size=20000x8 length=20" --export "$work/wide.png"
command -v file >/dev/null && { file "$work/wide.png" | grep -q "20000 x 8" ||
    fail "the wide strip is $(file "$work/wide.png")"; }
# A PNG without a scene, and a file that is no PNG.
expect 0 "" -- "$bin/figure6" --export "$work/slides"
expect 1 "holds no scene" -- "$explore" --scene-from "$work/slides/slide-01.png" --export "$work/d.png"
echo "not a picture" >"$work/e.png"
expect 1 "cannot read .*e.png: not a PNG file" -- "$explore" --scene-from "$work/e.png" --export "$work/d.png"
# A FIFO is refused at once, never waited on for a writer (the timeout ends a wait with 124).
mkfifo "$work/fifo"
expect 1 "cannot read .*fifo: not a regular file" -- timeout 10 "$explore" --scene-from "$work/fifo" \
    --export "$work/d.png"
expect 1 "is a folder" -- "$explore" --export "$work/slides"

# The size limit is refused before anything is allocated: with 300 MB of address space, the
# largest strip allowed runs out of memory (and says so), one pixel more is refused as a size.
# (AddressSanitizer reserves far more address space than that to start at all.)
if ldd "$explore" 2>/dev/null | grep -q libasan; then
    echo "the size limit under a small address space is not checked in the sanitizer build"
else (
    failures=0
    ulimit -v 300000
    expect 1 "not enough memory" -- "$explore" --scene "size=100000x1000" --export "$work/f.png"
    expect 2 "size: '100001x1000' is not allowed" -- "$explore" --scene "size=100001x1000" \
        --export "$work/f.png"
    [ -e "$work/f.png" ] && fail "a refused size wrote a picture"
    exit "$failures"
) || failures=$((failures + $?))
fi

# A sweep: COUNT frames of evenly spaced values, each with its scene.
expect 0 "" -- "$explore" --scene "size=120x20 length=50" --sweep kick=0.5:1.5:5 --export "$work/frames"
[ "$(ls "$work/frames" | tr '\n' ' ')" = "frame-0001.png frame-0002.png frame-0003.png frame-0004.png frame-0005.png " ] ||
    fail "the sweep wrote $(ls "$work/frames")"
expect 0 "" -- "$explore" --scene "size=120x20 length=50 kick=1" --export "$work/k1.png"
cmp -s "$work/k1.png" "$work/frames/frame-0003.png" || fail "the sweep's middle frame is not kick=1"
expect 2 "frame 2: kick: '10.5' is not allowed" -- "$explore" --sweep kick=0:21:3 --export "$work/bad"
[ -e "$work/bad" ] && fail "a refused sweep made its folder"
expect 2 "--sweep 'size=1:2:3'" -- "$explore" --sweep size=1:2:3 --export "$work/bad"
expect 2 "add --export DIR" -- "$explore" --sweep kick=0:1:3

# The table of orbits: alone or beside the export, one row an orbit under its header; the
# picture's scene and the table's are one. Refused beside a sweep, and at a folder.
scene="kick=2.5 step=0.05 length=300 orbit=3.1415927,0 orbit=0.01,0.01 colour=chaos size=300x40"
expect 0 "" -- "$explore" --scene "$scene" --orbits "$work/o.csv"
grep -q "^explore: wrote .*o.csv (128 orbits)" "$work/out" || fail "--orbits says: $(cat "$work/out")"
[ "$(head -n 1 "$work/o.csv")" = "index,theta,p,lyapunov,kind" ] || fail "the table's header: $(head -n 1 "$work/o.csv")"
[ "$(wc -l <"$work/o.csv")" = 129 ] || fail "the table has $(wc -l <"$work/o.csv") lines, not 1 + 128"
# The seed line's first orbit sits on the hyperbolic fixed point (0, 0): its exponent tends to
# the log of the larger eigenvalue of [[1, K], [1, 1 + K]], ln 4.2656 = 1.4507 at K = 2.5.
awk -F, 'NR == 2 && !($1 == 0 && $2 == 0 && $3 == 0 && $4 > 1.44 && $4 < 1.451 && $5 == "chaotic") {
    exit 1 }' "$work/o.csv" || fail "the hyperbolic point's row: $(sed -n 2p "$work/o.csv")"
grep -q "^126,3.1415927,0,[0-9.e-]*,regular$" "$work/o.csv" || fail "the island's centre is not regular"
grep -q "^127,0.01,0.01,[0-9.e-]*,chaotic$" "$work/o.csv" || fail "the sea's orbit is not chaotic"
expect 0 "" -- "$explore" --scene "$scene" --orbits "$work/p.csv" --export "$work/p.png"
cmp -s "$work/o.csv" "$work/p.csv" || fail "the table beside an export differs from the table alone"
[ -f "$work/p.png" ] || fail "--orbits with --export wrote no picture"
expect 0 "" -- "$explore" --scene-from "$work/p.png" --orbits "$work/q.csv"
cmp -s "$work/o.csv" "$work/q.csv" || fail "the table of the picture's scene differs"
ls -a "$work" | grep -q '\.part$' && fail "a temporary file was left behind"
expect 1 "is a folder: give --orbits a file name" -- "$explore" --orbits "$work"
expect 2 "not with --sweep" -- "$explore" --sweep kick=0:1:3 --export "$work/bad" --orbits "$work/s.csv"
expect 2 "lines of version 1 do not take colour=" -- "$explore" --scene "v=1 colour=density" --orbits "$work/v.csv"
[ -e "$work/v.csv" ] && fail "a refused scene wrote a table"

# No display: the window cannot open, and says so.
expect 1 "no display" -- env -u DISPLAY -u WAYLAND_DISPLAY SDL_VIDEODRIVER= "$explore"

[ "$failures" = 0 ] && echo "all explore command-line checks passed"
exit $((failures > 0))
