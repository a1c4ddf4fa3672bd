#!/usr/bin/env bash
# An export that fails or is cut short never leaves a truncated slide-NN.png: every slide file
# that exists is byte for byte the one a complete export writes, and no temporary file stays
# behind. A full disk (tiny tmpfs mounts) and a file size limit end the export with status 1 and
# a message naming the file; terminating signals end it with their own status. Links planted in
# the folder are never followed, and two exports into one folder at once both succeed.
#   export_safety_test.sh BIN_DIR
# Exit 0 passed, 1 failed, 77 skipped.
set -u
bin=$1/figure6
if [ ! -x "$bin" ]; then
    echo "SKIP: $bin has not been built"
    exit 77
fi

# Mounting a tmpfs needs a mount namespace of our own: as root a plain one, otherwise one of a
# user namespace. The mounts vanish with the namespace, whatever happens to this script.
if [ -z "${EXPORT_SAFETY_IN_NAMESPACE:-}" ]; then
    export EXPORT_SAFETY_IN_NAMESPACE=1
    for flags in "--mount --propagation private" "--user --map-root-user --mount"; do
        # shellcheck disable=SC2086
        if unshare $flags true 2>/dev/null; then
            exec unshare $flags bash "$0" "$@"
        fi
    done
    export EXPORT_SAFETY_IN_NAMESPACE=none
fi

work=$(mktemp -d)
trap 'umount -q "$work"/disk-* 2>/dev/null; rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

if ! "$bin" --seed 1 --export "$work/reference" >"$work/reference.log" 2>&1; then
    fail "the reference export failed: $(cat "$work/reference.log")"
    exit 1
fi
slides=$(ls "$work/reference" | wc -l)
echo "reference: $slides slides, $(du -sb "$work/reference" | cut -f1) bytes"

# Every slide-NN.png in $1 equals the reference, and slides 1..$2 are all there.
check_slides() {
    local dir=$1 expected=$2 what=$3 f name
    for f in "$dir"/slide-*.png; do
        [ -e "$f" ] || continue
        name=$(basename "$f")
        if ! cmp -s "$f" "$work/reference/$name"; then
            fail "$what: $name differs from the complete export ($(stat -c %s "$f") bytes)"
        fi
    done
    for n in $(seq "$expected"); do
        name=$(printf 'slide-%02d.png' "$n")
        [ -e "$dir/$name" ] || fail "$what: $name is missing"
    done
}

# Case 1: disks too small for the whole show. Each export writes what fits, then stops at the
# first slide that does not, naming it, and leaves neither that slide nor its temporary file.
mounted=0
if [ "$EXPORT_SAFETY_IN_NAMESPACE" = none ]; then
    echo "no mount namespace available: the full-disk cases cannot run"
else
    for size in 4 16 28 40 52 64; do
        disk=$work/disk-$size
        mkdir -p "$disk"
        if ! mount -t tmpfs -o size=${size}k tmpfs "$disk" 2>"$work/mount.log"; then
            echo "cannot mount a tmpfs ($(cat "$work/mount.log"))"
            break
        fi
        mounted=$((mounted + 1))
        "$bin" --seed 1 --export "$disk/out" >"$work/out.log" 2>"$work/err.log"
        status=$?
        written=$(ls "$disk/out" | grep -c '^slide-..\.png$')
        check_slides "$disk/out" "$written" "${size}k disk"
        if [ "$written" -eq "$slides" ]; then
            [ "$status" -eq 0 ] || fail "${size}k disk: all slides written, yet status $status"
        else
            first_missing=$(printf 'slide-%02d.png' $((written + 1)))
            message="figure6: cannot write $disk/out/$first_missing: No space left on device"
            [ "$status" -eq 1 ] || fail "${size}k disk: status $status, not 1"
            grep -qxF "$message" "$work/err.log" ||
                fail "${size}k disk: expected '$message', got '$(cat "$work/err.log")'"
            echo "ok: ${size}k disk: $written slides kept, then: $(cat "$work/err.log")"
        fi
        if ls -A "$disk/out" | grep -v '^slide-..\.png$' | grep -q .; then
            fail "${size}k disk: left behind: $(ls -A "$disk/out" | grep -v '^slide-..\.png$')"
        fi
        umount "$disk"
    done
fi

# Case 2: a file size limit smaller than slide 2. The export ignores SIGXFSZ, so the write of
# slide 2 fails with EFBIG and is reported like a full disk; slide 1 stays complete.
limit_kb=$((($(stat -c %s "$work/reference/slide-02.png") - 1) / 1024))
if [ "$limit_kb" -lt $((($(stat -c %s "$work/reference/slide-01.png") + 1023) / 1024)) ]; then
    fail "the reference slides no longer suit the size-limit case"
else
    (ulimit -f "$limit_kb" && exec "$bin" --seed 1 --export "$work/limited") 2>"$work/err.log"
    status=$?
    message="figure6: cannot write $work/limited/slide-02.png: File too large"
    [ "$status" -eq 1 ] || fail "size limit: status $status, not 1"
    grep -qxF "$message" "$work/err.log" ||
        fail "size limit: expected '$message', got '$(cat "$work/err.log")'"
    check_slides "$work/limited" 1 "size limit"
    [ -e "$work/limited/slide-02.png" ] && fail "size limit: slide-02.png exists"
    left=$(ls -A "$work/limited" | grep -v '^slide-..\.png$')
    [ -z "$left" ] || fail "size limit: left behind: $left"
    echo "ok: size limit ${limit_kb} KiB: refused at slide 2, slide 1 intact, nothing left"
fi

# Case 3: exports killed outright at moments spread over their run. Whatever is there is whole;
# a later export into the same folder completes over the leftovers.
for delay in 0.01 0.03 0.06 0.1 0.15 0.2 0.3; do
    out=$work/killed-$delay
    "$bin" --seed 1 --export "$out" >/dev/null 2>&1 &
    pid=$!
    sleep "$delay"
    kill -KILL "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    check_slides "$out" 0 "killed after ${delay}s"
done
echo "ok: exports killed at 7 moments left only complete slides" \
    "($(ls "$work"/killed-*/slide-*.png 2>/dev/null | wc -l) in all)"
out=$work/killed-0.1
if "$bin" --seed 1 --export "$out" >/dev/null 2>&1; then
    check_slides "$out" "$slides" "export over a killed one"
else
    fail "an export into a folder left by a killed one failed"
fi

# Case 4: links planted in the export folder by someone who can write to it. A link under the
# old temporary name, a dangling one pointing out of the folder, and one under a slide's own
# name: the export neither writes through any of them nor creates files elsewhere; the slide
# name ends up a plain file (the link there is replaced), the other links stay as they were.
out=$work/planted
mkdir -p "$out" "$work/outside"
printf 'secret\n' >"$work/secret" && chmod 600 "$work/secret"
printf 'other\n' >"$work/other"
ln -s "$work/secret" "$out/slide-01.png.part"
ln -s "$work/outside/made-through-a-link" "$out/slide-03.png.part"
ln -s "$work/other" "$out/slide-02.png"
if "$bin" --seed 1 --export "$out" >"$work/out.log" 2>&1; then
    check_slides "$out" "$slides" "planted links"
    [ "$(cat "$work/secret")" = secret ] || fail "planted links: the export wrote through a link"
    [ "$(cat "$work/other")" = other ] || fail "planted links: the link at slide-02.png was followed"
    [ -e "$work/outside/made-through-a-link" ] && fail "planted links: a file appeared outside"
    for n in $(seq "$slides"); do
        name=$(printf 'slide-%02d.png' "$n")
        [ -L "$out/$name" ] && fail "planted links: $name is still a link"
    done
    [ -L "$out/slide-01.png.part" ] && [ -L "$out/slide-03.png.part" ] ||
        fail "planted links: the planted links were removed"
    left=$(ls -A "$out" | grep -v -e '^slide-..\.png$' -e '^slide-0[13]\.png\.part$')
    [ -z "$left" ] || fail "planted links: left behind: $left"
    echo "ok: planted links neither followed nor reused"
else
    fail "planted links: the export failed: $(cat "$work/out.log")"
fi

# Case 5: exports into one folder at the same time, round after round: each succeeds, and every
# slide is whole.
for round in 1 2 3 4 5; do
    out=$work/together-$round
    "$bin" --seed 1 --export "$out" >"$work/a.log" 2>&1 &
    first=$!
    "$bin" --seed 1 --export "$out" >"$work/b.log" 2>&1 &
    second=$!
    wait "$first" || fail "concurrent exports: the first failed: $(cat "$work/a.log")"
    wait "$second" || fail "concurrent exports: the second failed: $(cat "$work/b.log")"
    check_slides "$out" "$slides" "concurrent exports, round $round"
    left=$(ls -A "$out" | grep -v '^slide-..\.png$')
    [ -z "$left" ] || fail "concurrent exports: left behind: $left"
done
echo "ok: two exports into one folder at once, five rounds"

# Case 6: SIGINT and SIGTERM at moments spread over an export end it with the signal's status
# (or it finished first), remove the temporary file of a slide being written, and leave only
# whole slides.
interrupted=0
for delay in 0.005 0.01 0.02 0.03 0.04 0.05 0.06 0.07 0.08 0.09 0.1 0.12 0.14 0.16 0.18 0.2; do
    for signal in INT TERM; do
        out=$work/signal-$signal-$delay
        "$bin" --seed 1 --export "$out" >/dev/null 2>&1 &
        pid=$!
        sleep "$delay"
        kill -s "$signal" "$pid" 2>/dev/null
        wait "$pid"
        status=$?
        expected=$((128 + $(kill -l "$signal")))
        if [ "$status" -eq "$expected" ]; then
            interrupted=$((interrupted + 1))
        elif [ "$status" -ne 0 ]; then
            fail "SIG$signal after ${delay}s: status $status, not $expected"
        fi
        check_slides "$out" 0 "SIG$signal after ${delay}s"
        left=$(ls -A "$out" 2>/dev/null | grep -v '^slide-..\.png$')
        [ -z "$left" ] || fail "SIG$signal after ${delay}s: left behind: $left"
    done
done
echo "ok: SIGINT and SIGTERM ended $interrupted exports with their status and left nothing behind"

if [ "$mounted" -eq 0 ]; then
    [ "$failures" -eq 0 ] || exit 1
    echo "SKIP: the other cases passed, but no tmpfs could be mounted to fill a disk"
    exit 77
fi
[ "$failures" -eq 0 ] || exit 1
echo "PASS"
