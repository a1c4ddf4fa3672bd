#!/usr/bin/env bash
# The programs cross-built for 32-bit x86 (Debian's cross compiler and :i386 libraries) draw
# every slide exactly as this machine's build does, and explore a scene in each frieze group and
# scenes coloured by chaos and by density with their tables of orbits: the exports of both are
# compared byte for byte. Only the programs are built; their list is the one CMake wrote into the host build.
#   i686_test.sh SOURCE_DIR HOST_BUILD_DIR WORK_DIR
# Exit 0 passed, 1 failed, 77 skipped (this machine cannot build or run them).
set -u
source_dir=$1 host=$2 work=$3
skip() {
    echo "SKIP: $*"
    exit 77
}
fail() {
    echo "FAIL: $*"
    exit 1
}
command -v i686-linux-gnu-g++ >/dev/null ||
    skip "no i686-linux-gnu-g++ (tools/packages.sh i686 installs it: g++-i686-linux-gnu)"
# The :i386 libraries, installed or, where they could not be, unpacked into the build's folder
# (tools/packages.sh i686): then the build looks there, and so do the programs as they run.
libraries=/usr/lib/i386-linux-gnu
if [ ! -f $libraries/pkgconfig/sdl.pc ] && [ -f "$host/i386-root/usr/lib/i386-linux-gnu/pkgconfig/sdl.pc" ]; then
    FIGURES_I386_ROOT=$(cd "$host/i386-root" && pwd)
    libraries=$FIGURES_I386_ROOT/usr/lib/i386-linux-gnu
    export FIGURES_I386_ROOT
    export LD_LIBRARY_PATH=$libraries:$FIGURES_I386_ROOT/lib/i386-linux-gnu:$libraries/pulseaudio
    echo "the :i386 libraries unpacked in $FIGURES_I386_ROOT"
fi
for pc in sdl libpng; do
    [ -f $libraries/pkgconfig/$pc.pc ] ||
        skip "no $pc for i386 (tools/packages.sh i686 installs libsdl1.2-compat-dev:i386 libpng-dev:i386)"
done
[ -f "$host/programs.txt" ] || fail "no $host/programs.txt: configure the host build first"
mapfile -t programs <"$host/programs.txt"
[ "${#programs[@]}" -gt 0 ] || fail "$host/programs.txt lists no programs"

build=$work/build
mkdir -p "$work"
if ! cmake -S "$source_dir" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/i686-linux-gnu.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >"$work/configure.log" 2>&1; then
    cat "$work/configure.log"
    fail "the i686 build does not configure"
fi
if ! cmake --build "$build" -j 2 --target programs >"$work/build.log" 2>&1; then
    tail -n 40 "$work/build.log"
    fail "the i686 programs do not compile"
fi

# A kernel without 32-bit x86 support (some containers and sandboxes) runs them under qemu-i386.
runner=()
if ! "$build/bin/${programs[0]}" --version >/dev/null 2>&1; then
    command -v qemu-i386 >/dev/null ||
        skip "this machine does not run 32-bit x86 programs, and there is no qemu-i386 (Debian: qemu-user)"
    "qemu-i386" "$build/bin/${programs[0]}" --version >/dev/null 2>&1 ||
        fail "the i686 ${programs[0]} does not start, neither directly nor under qemu-i386"
    runner=(qemu-i386)
    echo "this machine does not run 32-bit x86 programs: they run under qemu-i386"
fi

failures=0 compared=0
for program in "${programs[@]}"; do
    rm -rf "$work/host" "$work/i686"
    # A fixed seed for the programs that draw random colours.
    seed=()
    "$host/bin/$program" --help | grep -q -- --seed && seed=(--seed 7)
    "$host/bin/$program" "${seed[@]}" --export "$work/host" >/dev/null || fail "$program --export"
    if ! "${runner[@]}" "$build/bin/$program" "${seed[@]}" --export "$work/i686" >"$work/run.log" 2>&1; then
        echo "FAIL: the i686 $program --export failed: $(cat "$work/run.log")"
        failures=$((failures + 1))
        continue
    fi
    count=0
    for slide in "$work"/host/slide-*.png; do
        [ -f "$slide" ] || continue
        name=$(basename "$slide")
        count=$((count + 1))
        cmp -s "$slide" "$work/i686/$name" || {
            echo "FAIL: $program $name differs between this build and i686"
            failures=$((failures + 1))
        }
    done
    [ "$count" -gt 0 ] || fail "$program exported no slides to compare"
    [ "$(ls "$work/i686" | wc -l)" = "$count" ] || {
        echo "FAIL: $program: the i686 build wrote $(ls "$work/i686" | wc -l) slides, not $count"
        failures=$((failures + 1))
    }
    compared=$((compared + count))
    echo "ok: $program: $count slides alike"
done
# explore: one scene in each of the seven groups, with a kick above one, orbits of its own and
# a zoomed window (the picture and its scene chunk).
for group in p1 p11g p1m1 p2 p2mg p11m p2mm; do
    scene="kick=-2.37 group=$group size=1500x131 keep=1 theta=0.4:5.2 p=1:5 orbit=1,2 orbit=3,0.5"
    "$host/bin/explore" --scene "$scene" --export "$work/host.png" >/dev/null ||
        fail "explore --export of $group"
    if ! "${runner[@]}" "$build/bin/explore" --scene "$scene" --export "$work/i686.png" \
        >"$work/run.log" 2>&1; then
        echo "FAIL: the i686 explore --export failed: $(cat "$work/run.log")"
        failures=$((failures + 1))
    elif ! cmp -s "$work/host.png" "$work/i686.png"; then
        echo "FAIL: explore's $group strip differs between this build and i686"
        failures=$((failures + 1))
    fi
done
echo "ok: explore: a scene in each of the seven groups alike"
# Coloured by each orbit's exponent and by density, and the table of every orbit's exponent and
# kind: the same pictures and the same table, bit for bit.
for scene in "kick=1.3 group=p2mg size=900x75 colour=chaos orbit=1,2 orbit=3.1415927,0.2" \
    "kick=-2.37 group=p11m size=900x75 length=3000 step=0.005 colour=density orbit=1,2"; do
    "$host/bin/explore" --scene "$scene" --export "$work/host.png" --orbits "$work/host.csv" \
        >/dev/null || fail "explore --export --orbits of $scene"
    if ! "${runner[@]}" "$build/bin/explore" --scene "$scene" --export "$work/i686.png" \
        --orbits "$work/i686.csv" >"$work/run.log" 2>&1; then
        echo "FAIL: the i686 explore --export --orbits failed: $(cat "$work/run.log")"
        failures=$((failures + 1))
    elif ! cmp -s "$work/host.png" "$work/i686.png"; then
        echo "FAIL: explore's strip of $scene differs between this build and i686"
        failures=$((failures + 1))
    elif ! cmp -s "$work/host.csv" "$work/i686.csv"; then
        echo "FAIL: explore's table of orbits of $scene differs between this build and i686"
        failures=$((failures + 1))
    fi
done
echo "ok: explore: a chaos and a density scene and their tables of orbits alike"
[ "$failures" -eq 0 ] || exit 1
echo "PASS: $compared slides of ${#programs[@]} programs and 9 explore scenes alike"
