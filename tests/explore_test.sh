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

# Targets that are not files: "-" and a link to standard output (as /dev/stdout is) are standard
# output, with the report on standard error; a FIFO and a link to a device are written through,
# in place, and stay what they were; a FIFO no program reads, a socket and a missing folder are
# refused at once, before anything is drawn.
small="size=120x20 length=50"
# Run in the work folder: an explore that took "-" for a file name would write it there.
here=$(realpath "$explore")
expect 0 "" -- "$explore" --scene "$small" --export "$work/small.png"
expect 0 "^explore: wrote standard output \(120x20\)" -- env -C "$work" "$here" --scene "$small" --export -
cmp -s "$work/out" "$work/small.png" || fail "--export - wrote another picture to standard output"
# (Never /dev/stdout or /dev/full themselves: run as root, an explore that replaced its target
# would replace the system's; links to them in the work folder are what it would replace.)
ln -s /proc/self/fd/1 "$work/stdout"
expect 0 "" -- "$explore" --scene "$small" --export "$work/stdout"
cmp -s "$work/out" "$work/small.png" || fail "--export of a link to standard output wrote another picture"
[ -L "$work/stdout" ] || fail "--export replaced a link to standard output"
mkfifo "$work/pipe"
timeout 20 cat "$work/pipe" >"$work/piped.png" &
reader=$!
# The FIFO has a reader once cat is in its open (257: openat); before that a writer that does
# not wait is rightly refused.
for _ in $(seq 200); do
    cat_pid=$(pgrep -P "$reader" -x cat)
    [ -n "$cat_pid" ] && [ "$(cut -d' ' -f1 "/proc/$cat_pid/syscall" 2>/dev/null)" = 257 ] && break
    sleep 0.05
done
expect 0 "" -- timeout 10 "$explore" --scene "$small" --export "$work/pipe"
wait "$reader"
[ -p "$work/pipe" ] || fail "--export onto a FIFO replaced it"
cmp -s "$work/piped.png" "$work/small.png" || fail "--export onto a FIFO sent another picture"
ln -s /dev/null "$work/null-link"
expect 0 "" -- "$explore" --scene "$small" --export "$work/null-link"
[ "$(readlink "$work/null-link")" = /dev/null ] || fail "--export onto a link to /dev/null replaced it"
expect 1 "no program reads from that FIFO" -- timeout 10 "$explore" --scene "$small" --export "$work/pipe"
[ -p "$work/pipe" ] || fail "a FIFO no one reads was replaced"
python3 -c "import socket,sys; socket.socket(socket.AF_UNIX).bind(sys.argv[1])" "$work/socket"
expect 1 "a socket" -- "$explore" --scene "$small" --export "$work/socket"
[ -S "$work/socket" ] || fail "--export onto a socket replaced it"
expect 1 "the folder $work/none does not exist" -- "$explore" --scene "$small" --export "$work/none/x.png"
# A link to a file is replaced, never written through; a device that fails the write says so.
echo "keep" >"$work/linked.txt"
ln -s "$work/linked.txt" "$work/link.png"
expect 0 "" -- "$explore" --scene "$small" --export "$work/link.png"
[ "$(cat "$work/linked.txt")" = keep ] || fail "--export wrote through a link"
[ -L "$work/link.png" ] && fail "--export left the link at its name"
cmp -s "$work/link.png" "$work/small.png" || fail "--export over a link wrote another picture"
ln -s /dev/full "$work/full-device"
expect 1 "^explore: cannot write .*/full-device: No space left on device$" -- \
    "$explore" --scene "$small" --export "$work/full-device"
[ "$(readlink "$work/full-device")" = /dev/full ] || fail "--export replaced a link to /dev/full"
# The report that cannot be written (a full standard output) is a failure, said on stderr.
expect 1 "^explore: cannot write to standard output: No space left on device" -- \
    "$explore" --scene "$small" --export "$work/full.png" --stdout=/dev/full
expect 1 "^explore: cannot write standard output: No space left on device" -- \
    env -C "$work" "$here" --scene "$small" --export - --stdout=/dev/full
# A name as long as a file name may be: the temporary name beside it is cut to fit.
long=$(printf 'x%.0s' $(seq 244)).png
expect 0 "" -- "$explore" --scene "$small" --export "$work/$long"
cmp -s "$work/$long" "$work/small.png" || fail "a 248-byte name was not written"

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

# A size is refused by the limit that decided it, each limit named.
expect 2 "size: '25000000x4' is not allowed: W 25000000 is beyond the width limit, 1,000,000; .* at most 100,000,000 pixels" -- \
    "$explore" --scene "size=25000000x4" --export "$work/f.png"
expect 2 "size: '100000x1001' is not allowed: 100000x1001 is 100,100,000 pixels, beyond the limit of 100,000,000" -- \
    "$explore" --scene "size=100000x1001" --export "$work/f.png"

# A sweep: COUNT frames of evenly spaced values, each with its scene.
expect 0 "" -- "$explore" --scene "size=120x20 length=50" --sweep kick=0.5:1.5:5 --export "$work/frames"
[ "$(ls "$work/frames" | tr '\n' ' ')" = "frame-0001.png frame-0002.png frame-0003.png frame-0004.png frame-0005.png " ] ||
    fail "the sweep wrote $(ls "$work/frames")"
expect 0 "" -- "$explore" --scene "size=120x20 length=50 kick=1" --export "$work/k1.png"
cmp -s "$work/k1.png" "$work/frames/frame-0003.png" || fail "the sweep's middle frame is not kick=1"
# Each end is checked as given, against the key's limits, which the refusal states.
expect 2 "TO: kick: '21' is not allowed: give a decimal number from -10 to 10" -- \
    "$explore" --sweep kick=0:21:3 --export "$work/bad"
expect 2 "^explore: --sweep 'kick=1e308:-1e308:2': FROM: kick: '1e308' is not allowed: .* -10 to 10$" -- \
    "$explore" --sweep kick=1e308:-1e308:2 --export "$work/bad"
grep -qi nan "$work/err" && fail "a sweep's refusal shows a value no one gave: $(head -n1 "$work/err")"
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
# "-" is standard output (the report going to standard error), but not for both at once.
expect 0 "^explore: wrote standard output \(128 orbits\)" -- "$explore" --scene "$scene" --orbits -
cmp -s "$work/o.csv" "$work/out" || fail "--orbits - wrote another table to standard output"
expect 2 "would both write to standard output" -- "$explore" --orbits - --export -
expect 2 "not with --sweep" -- "$explore" --sweep kick=0:1:3 --export "$work/bad" --orbits "$work/s.csv"
expect 2 "lines of version 1 do not take colour=" -- "$explore" --scene "v=1 colour=density" --orbits "$work/v.csv"
[ -e "$work/v.csv" ] && fail "a refused scene wrote a table"

# A sweep into a folder that holds another sweep's frames is refused, naming them, and changes
# nothing; with --replace it removes them and says so. A rerun of the same sweep is its own.
expect 0 "" -- "$explore" --scene "$small" --sweep kick=0.5:1.5:10 --export "$work/ten"
expect 0 "" -- "$explore" --scene "$small" --sweep kick=0.5:1.5:10 --export "$work/ten"
cp "$work/ten/frame-0002.png" "$work/frame-2-of-10.png"
expect 1 "holds frames of another sweep \(frame-0002.png to frame-0010.png\): give --replace" -- \
    "$explore" --scene "$small" --sweep kick=0.5:1.5:4 --export "$work/ten"
cmp -s "$work/ten/frame-0002.png" "$work/frame-2-of-10.png" || fail "a refused sweep wrote a frame"
[ "$(ls "$work/ten" | wc -l)" = 10 ] || fail "a refused sweep changed the folder: $(ls "$work/ten")"
expect 0 "removed 9 frames of another sweep from .*: frame-0002.png to frame-0010.png$" -- \
    "$explore" --scene "$small" --sweep kick=0.5:1.5:4 --export "$work/ten" --replace
[ "$(ls -A "$work/ten" | tr '\n' ' ')" = "frame-0001.png frame-0002.png frame-0003.png frame-0004.png " ] ||
    fail "--replace left $(ls -A "$work/ten")"
# A file under a frame's name that is no frame of this sweep (no PNG at all) is another's too.
mkdir "$work/planted-frame"
echo "not a frame" >"$work/planted-frame/frame-0002.png"
expect 1 "holds frames of another sweep \(frame-0002.png\)" -- \
    "$explore" --scene "$small" --sweep kick=0.5:1.5:3 --export "$work/planted-frame"
[ "$(cat "$work/planted-frame/frame-0002.png")" = "not a frame" ] || fail "a refused sweep replaced a file"
expect 0 "removed 1 frame of another sweep" -- \
    "$explore" --scene "$small" --sweep kick=0.5:1.5:3 --export "$work/planted-frame" --replace
cmp -s "$work/planted-frame/frame-0002.png" "$work/k1.png" ||
    fail "--replace did not write this sweep's frame 2"
expect 2 "--replace is for --sweep" -- "$explore" --replace --export "$work/r.png"
expect 2 "give --export DIR, not -" -- env -C "$work" "$here" --sweep kick=0:1:2 --export -
# The temporary files a killed run left are removed by the next run into the folder (or of the
# file); one of a process that still runs (this shell) stays.
touch "$work/ten/.frame-0003.png.4999999.7.part" "$work/ten/.frame-0002.png.$$.1.part" \
    "$work/.small.png.4999999.2.part" "$work/.small.png.$$.2.part"
expect 0 "" -- "$explore" --scene "$small" --sweep kick=0.5:1.5:4 --export "$work/ten"
[ -e "$work/ten/.frame-0003.png.4999999.7.part" ] && fail "a killed sweep's temporary file stays"
[ -e "$work/ten/.frame-0002.png.$$.1.part" ] || fail "a running process's temporary frame was removed"
expect 0 "" -- "$explore" --scene "$small" --export "$work/small.png"
[ -e "$work/.small.png.4999999.2.part" ] && fail "a killed export's temporary file stays"
[ -e "$work/.small.png.$$.2.part" ] || fail "a running process's temporary file was removed"
# A second sweep into a folder in use is refused at once, not after a wait.
if command -v flock >/dev/null; then
    flock "$work/ten" sleep 5 &
    holder=$!
    sleep 0.3
    started=$(date +%s%N)
    expect 1 "^explore: export folder .*ten is in use by another export" -- \
        "$explore" --scene "$small" --sweep kick=0.5:1.5:4 --export "$work/ten"
    took=$((($(date +%s%N) - started) / 1000000))
    [ "$took" -lt 2000 ] || fail "a sweep into a folder in use waited ${took} ms"
    [ "$(wc -l <"$work/err")" = 1 ] || fail "a folder in use takes more than a line: $(cat "$work/err")"
    kill "$holder"
    wait "$holder" 2>/dev/null
fi

# Work far beyond anything interactive is refused before anything is drawn or made, saying how
# long it would take; with --yes it goes on, but a target that cannot be written is still
# refused before the drawing.
heavy="size=18311x5461 step=0.0001 length=10000"
expect 1 "^explore: this sweep of 100 frames would take about .* give --yes to go on" -- \
    "$explore" --scene "$heavy" --sweep kick=0.5:1:100 --export "$work/heavy"
[ -e "$work/heavy" ] && fail "a sweep refused as too long made its folder"
for target in "--export $work/none/x.png" "--orbits $work/none/x.csv"; do
    started=$(date +%s%N)
    # shellcheck disable=SC2086 # the option and its file
    expect 1 "the folder $work/none does not exist" -- timeout 20 "$explore" --scene "$heavy" \
        --yes $target
    took=$((($(date +%s%N) - started) / 1000000))
    [ "$took" -lt 2000 ] || fail "$target: a missing folder was refused after ${took} ms, not first"
done
expect 2 "--yes is for --export" -- "$explore" --yes

# A sweep of more than a second says how far it has come on a terminal, and nothing elsewhere.
slow="size=2400x200 step=0.0001 length=6000"
expect 0 "" -- "$explore" --scene "$slow" --sweep kick=0.5:1:4 --export "$work/slow"
[ -s "$work/err" ] && fail "a sweep wrote to a standard error that is no terminal: $(cat "$work/err")"
if command -v script >/dev/null; then
    script -qec "'$explore' --scene '$slow' --sweep kick=0.5:1:4 --export '$work/slow'" /dev/null \
        >"$work/tty"
    grep -qE "explore: frame [1-4] of 4, [0-9]+ s so far, about [0-9]+ s left" "$work/tty" ||
        fail "a sweep on a terminal shows no progress: $(tr '\r' '\n' <"$work/tty" | head -c 300)"
    grep -q "4 frames written" "$work/tty" || fail "the sweep on a terminal did not finish"
    # One strip of more than a second (628 million steps on one thread, about 2 s on a quiet
    # machine here): the drawing's time so far and left, then the line gone.
    script -qec "'$explore' --threads 1 --scene 'size=2400x200 step=0.0001 length=10000' --export '$work/one.png'" \
        /dev/null >"$work/tty"
    grep -qE "explore: drawing, [0-9]+ s so far, (about [0-9]+ s left|longer than estimated)" "$work/tty" ||
        fail "an export on a terminal shows no progress: $(tr '\r' '\n' <"$work/tty" | head -c 300)"
    tr '\r' '\n' <"$work/tty" | grep -q "^.*\[Kexplore: wrote .*one.png" ||
        fail "the progress line was not cleared before the report: $(tr '\r' '\n' <"$work/tty" | tail -c 300)"
fi
# Ctrl+C stops it: killed by the signal, saying so, no temporary file left, whole frames only.
rm -rf "$work/slow"
env --default-signal=INT "$explore" --scene "$slow" --sweep kick=0.5:1:20 --export "$work/slow" \
    2>"$work/err" &
sweeper=$!
sleep 1
kill -INT "$sweeper"
wait "$sweeper"
status=$?
[ "$status" = 130 ] || fail "Ctrl+C ended a sweep with status $status"
grep -q "^explore: interrupted; what was being written was removed" "$work/err" ||
    fail "Ctrl+C ended a sweep without a word: $(cat "$work/err")"
ls -A "$work/slow" | grep -q -v '^frame-00[0-9][0-9].png$' && fail "Ctrl+C left $(ls -A "$work/slow")"
if command -v identify >/dev/null; then
    for frame in "$work"/slow/frame-*.png; do
        [ -e "$frame" ] || continue
        identify "$frame" >/dev/null 2>&1 || fail "Ctrl+C left a damaged $(basename "$frame")"
    done
fi

# No display: the window cannot open, and says so.
expect 1 "no display" -- env -u DISPLAY -u WAYLAND_DISPLAY SDL_VIDEODRIVER= "$explore"

[ "$failures" = 0 ] && echo "all explore command-line checks passed"
exit $((failures > 0))
