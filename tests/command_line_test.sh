#!/usr/bin/env bash
# The programs from the outside: help, bad options, export folders and what an export reports,
# and no display.
set -u
bin=${1:?usage: command_line_test.sh BIN_DIR}
program=$bin/figure6
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

source "$(dirname "$0")/support.sh"

expect 0 "" -- "$program" --help
grep -q "^usage: figure6 " "$work/out" || fail "--help prints no usage"
# --seed is offered where it changes the picture, and refused where it would not.
grep -q -- "--seed N" "$work/out" || fail "figure6 --help does not offer --seed"
# Then every slide, numbered, with its caption.
[ "$(grep -c -E "^ +[1-6]  [a-z]" "$work/out")" = 6 ] || fail "figure6 --help does not list its 6 slides"
expect 0 "" -- "$bin/figure5" --help
grep -q -- "--seed" "$work/out" && fail "figure5 --help offers a --seed that changes nothing"
expect 2 "^figure5: --seed would change nothing" -- "$bin/figure5" --seed 3

# The version is the project's, from the one place it is set.
version=$(sed -n 's/^project(figures VERSION \([0-9.]*\).*/\1/p' "$(dirname "$0")/../CMakeLists.txt")
expect 0 "" -- "$program" --version
[ "$(cat "$work/out")" = "figure6 $version" ] || fail "--version printed '$(cat "$work/out")'"

# Help or version that cannot be written (a full or closed standard output) is a failure.
for option in --help --version; do
    expect 1 "^figure6: cannot write the .*: No space left on device$" -- "$program" $option \
        --stdout=/dev/full
    "$program" $option >&- 2>"$work/err"
    [ $? -ne 0 ] || fail "$option with standard output closed exited 0"
done

expect 2 "^figure6: unknown option --bogus$" -- "$program" --bogus
grep -q "^usage: figure6" "$work/err" || fail "a bad option does not print the usage"
expect 2 "^figure6: bad seed 'x1'" -- "$program" --seed x1
expect 2 "^figure6: --seed needs a number" -- "$program" --seed
expect 2 "^figure6: --export needs a folder" -- "$program" --export
# An argument is echoed on the message's one line, control bytes escaped, a long one cut short.
expect 2 "^figure6: unknown option --x\\\\n\\\\x1b\\[2J$" -- "$program" $'--x\n\e[2J'
sed -n 2p "$work/err" | grep -q "^usage: figure6" || fail "an argument with a newline split its message"
expect 2 "" -- "$program" --seed "$(head -c 100000 /dev/zero | tr '\0' 7)"
[ "$(head -n1 "$work/err" | wc -c)" -lt 300 ] || fail "a 100 KB argument was echoed in full"

# A folder that cannot be made: its parent is a file.
touch "$work/file"
expect 1 "cannot create export folder $work/file/slides: Not a directory" -- \
    "$program" --export "$work/file/slides"
# A folder that cannot be written (root may write anywhere, so only test it for other users).
if [ "$(id -u)" != 0 ]; then
    mkdir "$work/locked" && chmod 500 "$work/locked"
    expect 1 "cannot write to export folder $work/locked: Permission denied" -- \
        "$program" --export "$work/locked"
fi

# Export creates its folder and parents, writes exactly the six slides, nothing else, and says so.
expect 0 "" -- "$program" --export "$work/a/b/slides"
[ "$(cat "$work/out")" = "figure6: 6 slides written to $work/a/b/slides" ] ||
    fail "export reported: $(cat "$work/out")"
listing=$(cd "$work/a/b/slides" && ls -A | tr '\n' ' ')
[ "$listing" = "slide-01.png slide-02.png slide-03.png slide-04.png slide-05.png slide-06.png " ] ||
    fail "export wrote: $listing"
for f in "$work"/a/b/slides/*.png; do
    head -c 8 "$f" | od -An -tx1 | grep -q "89 50 4e 47 0d 0a 1a 0a" || fail "$f is not a PNG"
done
# Into a folder that holds a longer show's slides: they stay, and a warning names them.
mkdir "$work/mixed"
for n in 01 07 08 13; do echo "not figure6's" >"$work/mixed/slide-$n.png"; done
expect 0 "also holds slide-07.png, slide-08.png, slide-13.png" -- "$program" --export "$work/mixed"
[ "$(cat "$work/mixed/slide-13.png")" = "not figure6's" ] || fail "export changed slide-13.png"
cmp -s "$work/mixed/slide-01.png" "$work/a/b/slides/slide-01.png" ||
    fail "slide-01.png was not replaced"

# The line an export prints is the only record of a clock seed: when it cannot be written, that
# is a failure (status 1), and the message on standard error gives the seed instead.
expect 1 "^figure4: the slides are written to $work/full, seed [0-9]+, but .*: No space left on device$" -- \
    "$bin/figure4" --export "$work/full" --stdout=/dev/full
[ "$(ls "$work/full" | wc -l)" = 9 ] || fail "figure4 >/dev/full did not keep its slides"

# figure4 seeds from the clock and tells the seed, which draws the same slides again.
expect 0 "" -- "$bin/figure4" --export "$work/clock"
seed=$(sed -n 's/^figure4: 9 slides written to .*, seed \([0-9]*\)$/\1/p' "$work/out")
if [ -z "$seed" ]; then
    fail "figure4's export told no seed: $(cat "$work/out")"
else
    expect 0 "" -- "$bin/figure4" --export "$work/seeded" --seed "$seed"
    diff -r "$work/clock" "$work/seeded" >/dev/null || fail "--seed $seed draws other slides"
fi

# Exporting works with no display at all.
expect 0 "" -- env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER "$program" --export "$work/c"

# No display: a message that says so and suggests --export, promptly, instead of waiting for
# keys on an invisible window.
expect 1 "no display.*--export DIR" -- \
    timeout 20 env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER "$program"
# A display that nothing answers at is named, on the one line, without SDL's own complaints.
expect 1 "^figure6: no display .*DISPLAY=:59317\\..*--export DIR\\.$" -- timeout 20 env -u WAYLAND_DISPLAY \
    -u SDL_VIDEODRIVER -u XDG_RUNTIME_DIR DISPLAY=:59317 "$program"
# (A sanitizer's report at exit may follow; SDL's noise would come first.)
head -n1 "$work/err" | grep -q "^figure6: no display" && ! grep -q XDG_RUNTIME_DIR "$work/err" ||
    fail "no display: more than the program's line: $(cat "$work/err")"

if [ "$failures" != 0 ]; then
    echo "$failures command line check(s) failed"
    exit 1
fi
echo "command line: all checks passed"
