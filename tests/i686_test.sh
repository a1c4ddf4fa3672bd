#!/usr/bin/env bash
# A cross build for 32-bit x86 (Debian's cross compiler and :i386 libraries) builds, tests and
# fuzz targets included where GoogleTest for i386 is there, and its programs draw every slide
# exactly as this build does, and the studio a scene in each frieze group: the exports of both
# are compared byte for byte.
#   i686_test.sh SOURCE_DIR BIN_DIR WORK_DIR
# Exit 0 passed, 1 failed, 77 skipped.
set -u
source_dir=$1 bin=$2 work=$3
skip() {
    echo "SKIP: $*"
    exit 77
}
command -v i686-linux-gnu-g++ >/dev/null ||
    skip "no i686-linux-gnu-g++ (Debian: g++-i686-linux-gnu)"
for pc in sdl libpng; do
    [ -f /usr/lib/i386-linux-gnu/pkgconfig/$pc.pc ] ||
        skip "no $pc for i386 (Debian: dpkg --add-architecture i386; libsdl1.2-compat-dev:i386 libpng-dev:i386)"
done
[ -x /lib/ld-linux.so.2 ] || skip "this machine cannot run 32-bit x86 programs"

build=$work/build
mkdir -p "$work"
testing=OFF
[ -f /usr/lib/i386-linux-gnu/libgtest.a ] && testing=ON
if ! cmake -S "$source_dir" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/i686-linux-gnu.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=$testing >"$work/configure.log" 2>&1; then
    cat "$work/configure.log"
    echo "FAIL: the i686 build does not configure"
    exit 1
fi
programs=$(sed -n 's/^set(FIGURES_PROGRAMS \(.*\))$/\1/p' "$source_dir/CMakeLists.txt")
if ! cmake --build "$build" -j 2 >"$work/build.log" 2>&1; then
    tail -n 40 "$work/build.log"
    echo "FAIL: the i686 build does not compile"
    exit 1
fi
echo "the i686 build compiles (its tests too: $testing)"

failures=0
for program in $programs; do
    rm -rf "$work/host" "$work/i686"
    # A fixed seed for the programs that draw random colours.
    seed=()
    "$bin/$program" --help | grep -q -- --seed && seed=(--seed 7)
    "$bin/$program" "${seed[@]}" --export "$work/host" >/dev/null || { echo "FAIL: $program --export"; exit 1; }
    if ! "$build/bin/$program" "${seed[@]}" --export "$work/i686" >"$work/run.log" 2>&1; then
        echo "FAIL: the i686 $program --export failed: $(cat "$work/run.log")"
        failures=$((failures + 1))
        continue
    fi
    count=0
    for slide in "$work"/host/slide-*.png; do
        name=$(basename "$slide")
        count=$((count + 1))
        cmp -s "$slide" "$work/i686/$name" || {
            echo "FAIL: $program $name differs between x86-64 and i686"
            failures=$((failures + 1))
        }
    done
    [ "$(ls "$work/i686" | wc -l)" = "$count" ] || {
        echo "FAIL: $program: the i686 build wrote $(ls "$work/i686" | wc -l) slides, not $count"
        failures=$((failures + 1))
    }
    echo "ok: $program: $count slides alike"
done
# The studio: one scene in each of the seven groups, with a kick above one, orbits of its own and
# a zoomed window, exported by both builds (the picture and its scene chunk, byte for byte).
if [ -x "$build/bin/explore" ]; then
    for group in p1 p11g p1m1 p2 p2mg p11m p2mm; do
        scene="kick=-2.37 group=$group size=1500x131 keep=1 theta=0.4:5.2 p=1:5 orbit=1,2 orbit=3,0.5"
        "$bin/explore" --scene "$scene" --export "$work/host.png" >/dev/null ||
            { echo "FAIL: explore --export of $group"; exit 1; }
        if ! "$build/bin/explore" --scene "$scene" --export "$work/i686.png" >"$work/run.log" 2>&1; then
            echo "FAIL: the i686 explore --export failed: $(cat "$work/run.log")"
            failures=$((failures + 1))
        elif ! cmp -s "$work/host.png" "$work/i686.png"; then
            echo "FAIL: explore's $group strip differs between x86-64 and i686"
            failures=$((failures + 1))
        fi
    done
    echo "ok: explore: a scene in each of the seven groups alike"
else
    echo "FAIL: the i686 build has no explore"
    failures=$((failures + 1))
fi
[ "$failures" -eq 0 ] || exit 1
echo "PASS"
