#!/usr/bin/env bash
# The programs from the outside: help, bad options, export folders, and no display.
set -u
bin=${1:?usage: command_line_test.sh BIN_DIR}
program=$bin/figure6
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# expect STATUS STDERR_PATTERN -- command... [--stdout=FILE]
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

expect 0 "" -- "$program" --help
grep -q "^usage: figure6 \[--export DIR\] \[--seed N\]" "$work/out" || fail "--help prints no usage"

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

# Export creates its folder and parents and writes exactly the six slides, nothing else.
expect 0 "" -- "$program" --export "$work/a/b/slides"
listing=$(cd "$work/a/b/slides" && ls -A | tr '\n' ' ')
[ "$listing" = "slide-01.png slide-02.png slide-03.png slide-04.png slide-05.png slide-06.png " ] ||
    fail "export wrote: $listing"
for f in "$work"/a/b/slides/*.png; do
    head -c 8 "$f" | od -An -tx1 | grep -q "89 50 4e 47 0d 0a 1a 0a" || fail "$f is not a PNG"
done
# Exporting works with no display at all.
expect 0 "" -- env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER "$program" --export "$work/c"

# No display: a message that says so and suggests --export, promptly, instead of waiting for
# keys on an invisible window.
expect 1 "no display.*--export DIR" -- \
    timeout 20 env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER "$program"

if [ "$failures" != 0 ]; then
    echo "$failures command line check(s) failed"
    exit 1
fi
echo "command line: all checks passed"
