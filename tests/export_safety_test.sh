#!/usr/bin/env bash
# An export that fails or is cut short never leaves a truncated slide-NN.png: every slide file
# that exists is byte for byte the one a complete export writes, and no temporary file stays
# behind. A full disk (tiny tmpfs mounts) and a file size limit end the export with status 1 and
# a message naming the file; terminating signals end it with their own status. Links planted in
# the folder are never followed, and two exports into one folder at once make one whole set.
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
# Only this shell cleans up: a signal sent to a background export can reach the shell's child
# that is about to start it (before its exec), which would run this trap too and remove the
# reference and every case's folder while the test goes on.
trap '[ "$BASHPID" = "$$" ] && { umount -q "$work"/disk-* 2>/dev/null; rm -rf "$work"; }' EXIT
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
# a later export into the same folder completes over the leftovers and removes a temporary slide
# a killed export left (one is planted, in case none was), but no other hidden file.
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
mkdir -p "$out"
touch "$out/.slide-03.png.4999999.7.part" "$out/.keep"
if "$bin" --seed 1 --export "$out" >/dev/null 2>&1; then
    check_slides "$out" "$slides" "export over a killed one"
    left=$(ls -A "$out" | grep -v '^slide-..\.png$')
    [ "$left" = .keep ] || fail "export over a killed one: left behind: $left"
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

# Case 5: two exports of other colours (figure4, seeds 7 and 8) into one folder at the same
# time: the second waits for the first, so the folder ends up one whole set, not a mix. A folder
# held by another for longer than the export waits is refused, with nothing written.
bin4=$(dirname "$bin")/figure4
"$bin4" --seed 7 --export "$work/seed-7" >/dev/null && "$bin4" --seed 8 --export "$work/seed-8" >/dev/null ||
    fail "figure4's reference exports failed"
for round in 1 2 3; do
    out=$work/together-$round
    "$bin4" --seed 7 --export "$out" >"$work/a.log" 2>&1 &
    first=$!
    "$bin4" --seed 8 --export "$out" >"$work/b.log" 2>&1 &
    second=$!
    wait "$first" || fail "concurrent exports: the first failed: $(cat "$work/a.log")"
    wait "$second" || fail "concurrent exports: the second failed: $(cat "$work/b.log")"
    diff -r "$out" "$work/seed-7" >/dev/null || diff -r "$out" "$work/seed-8" >/dev/null ||
        fail "concurrent exports, round $round: the folder is not one whole set"
done
echo "ok: two exports of other colours into one folder at once, three rounds, one whole set each"
if command -v flock >/dev/null; then
    mkdir "$work/held"
    flock "$work/held" sleep 1 &
    sleep 0.2
    started=$(date +%s%N)
    "$bin" --seed 1 --export "$work/held" >/dev/null 2>"$work/err.log" ||
        fail "an export waiting for a folder failed: $(cat "$work/err.log")"
    waited=$((($(date +%s%N) - started) / 1000000))
    [ "$waited" -ge 600 ] || fail "an export into a held folder did not wait for it (${waited} ms)"
    check_slides "$work/held" "$slides" "a folder waited for"
    wait
    flock "$work/held" sleep 8 &
    holder=$!
    sleep 0.2
    "$bin" --seed 1 --export "$work/held" >/dev/null 2>"$work/err.log"
    status=$?
    [ "$status" -eq 1 ] && grep -q "^figure6: export folder .* is still in use by another export" \
        "$work/err.log" || fail "a held folder: status $status, $(cat "$work/err.log")"
    left=$(ls -A "$work/held" | grep -v '^slide-..\.png$')
    [ -z "$left" ] || fail "a held folder: left behind: $left"
    kill "$holder"
    wait "$holder" 2>/dev/null
    echo "ok: an export waited ${waited} ms for a held folder; one held too long is refused"
fi

# Case 5b: the export folder's name swapped again and again, atomically, between links to two
# folders while exports run: each export writes every slide into the one folder the name led to
# when it started, none into the other, and leaves no temporary file in either.
mkdir -p "$work/swap/A" "$work/swap/B"
ln -s A "$work/swap/out"
(
    while :; do
        ln -sfn B "$work/swap/next" && mv -T "$work/swap/next" "$work/swap/out"
        ln -sfn A "$work/swap/next" && mv -T "$work/swap/next" "$work/swap/out"
    done
) 2>/dev/null &
swapper=$!
for round in 1 2 3 4 5; do
    rm -f "$work/swap/A"/* "$work/swap/B"/*
    "$bin" --seed 1 --export "$work/swap/out" >"$work/out.log" 2>&1 ||
        fail "swapped folder, round $round: the export failed: $(cat "$work/out.log")"
    a=$(ls -A "$work/swap/A" | wc -l) b=$(ls -A "$work/swap/B" | wc -l)
    [ "$a:$b" = "$slides:0" ] || [ "$a:$b" = "0:$slides" ] ||
        fail "swapped folder, round $round: A holds $(ls -A "$work/swap/A"), B $(ls -A "$work/swap/B")"
    check_slides "$work/swap/A" 0 "swapped folder A"
    check_slides "$work/swap/B" 0 "swapped folder B"
done
kill "$swapper"
wait "$swapper" 2>/dev/null
echo "ok: a folder swapped under five exports got every slide of each in one place"

# Case 6: signals whose default ends a program, at moments spread over an export from its very
# start (before the folder is probed): each ends it with the signal's status (or it finished
# first), removes the temporary file of a slide being written, and leaves only whole slides.
# The signals start at their defaults, as from a terminal (bash would start them ignored).
interrupted=0
for delay in 0 0.005 0.02 0.05 0.1 0.15; do
    for signal in INT TERM HUP QUIT PIPE USR1 ALRM PWR; do
        out=$work/signal-$signal-$delay
        env --default-signal "$bin" --seed 1 --export "$out" >/dev/null 2>"$work/signal.log" &
        pid=$!
        sleep "$delay"
        kill -s "$signal" "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
        status=$?
        expected=$((128 + $(kill -l "$signal")))
        if [ "$status" -eq "$expected" ]; then
            interrupted=$((interrupted + 1))
            # Once the export has begun, it says what stopped it and what became of its files.
            case $signal in INT) said=interrupted ;; TERM) said=terminated ;; *) said= ;; esac
            if [ -n "$said" ] && [ -s "$work/signal.log" ] &&
                ! grep -q "^figure6: $said; what was being written was removed" "$work/signal.log"; then
                fail "SIG$signal after ${delay}s: the export said $(cat "$work/signal.log")"
            fi
        elif [ "$status" -ne 0 ]; then
            fail "SIG$signal after ${delay}s: status $status, not $expected"
        fi
        check_slides "$out" 0 "SIG$signal after ${delay}s"
        left=$(ls -A "$out" 2>/dev/null | grep -v '^slide-..\.png$')
        [ -z "$left" ] || fail "SIG$signal after ${delay}s: left behind: $left"
    done
done
echo "ok: eight signals ended $interrupted exports of 48 with their status and left nothing behind"

if [ "$mounted" -eq 0 ]; then
    [ "$failures" -eq 0 ] || exit 1
    echo "SKIP: the other cases passed, but no tmpfs could be mounted to fill a disk"
    exit 77
fi
[ "$failures" -eq 0 ] || exit 1
echo "PASS"
