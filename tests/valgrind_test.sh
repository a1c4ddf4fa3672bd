#!/usr/bin/env bash
# A whole export under valgrind's memcheck: no invalid reads or writes, no use of uninitialised
# values, and no lost memory (definitely, indirectly or possibly). Memory still reachable at
# exit is the libraries' own (SDL keeps its video back end loaded) and is allowed.
#   valgrind_test.sh PROGRAM SLIDES
# Exit 0 passed, 1 failed, 77 skipped.
set -u
program=$1 slides=$2
if ! command -v valgrind >/dev/null; then
    echo "SKIP: valgrind is not installed"
    exit 77
fi
if [ ! -x "$program" ]; then
    echo "SKIP: $program has not been built"
    exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

valgrind --tool=memcheck --error-exitcode=99 --leak-check=full \
    --errors-for-leak-kinds=definite,indirect,possible --track-origins=yes \
    --log-file="$work/memcheck.log" "$program" --export "$work/out"
status=$?
written=$(ls "$work/out" 2>/dev/null | grep -c '^slide-..\.png$')
if [ "$status" -ne 0 ] || [ "$written" -ne "$slides" ]; then
    cat "$work/memcheck.log"
    echo "FAIL: $(basename "$program") --export under memcheck: status $status" \
        "(99: memcheck found errors), $written of $slides slides written"
    exit 1
fi
grep -E 'ERROR SUMMARY|definitely lost|indirectly lost|possibly lost' "$work/memcheck.log"
echo "PASS"
