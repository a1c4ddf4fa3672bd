#!/usr/bin/env bash
# cmake --install puts every program into bin/, its manual page into share/man/man1/ and the
# README into the doc folder; the installed programs run from there (in a cross build, under the
# emulator given).
#   install_test.sh BUILD_DIR SOURCE_DIR VERSION [EMULATOR...]
set -u
build=$1 source=$2 version=$3
emulator=("${@:4}")
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

if ! cmake --install "$build" --prefix "$prefix" >"$prefix.log" 2>&1; then
    cat "$prefix.log"
    echo "FAIL: cmake --install failed"
    exit 1
fi
rm -f "$prefix.log"
mapfile -t programs <"$build/programs.txt"
[ "${#programs[@]}" -gt 0 ] || fail "$build/programs.txt lists no programs"
for program in "${programs[@]}"; do
    [ -x "$prefix/bin/$program" ] || { fail "bin/$program is not installed"; continue; }
    [ -s "$prefix/share/man/man1/$program.1" ] || fail "share/man/man1/$program.1 is not installed"
    said=$("${emulator[@]}" "$prefix/bin/$program" --version)
    [ "$said" = "$program $version" ] || fail "the installed $program --version says '$said'"
done
# explore is installed beside the slide shows.
[ -x "$prefix/bin/explore" ] || fail "bin/explore is not installed"
[ -s "$prefix/share/man/man1/explore.1" ] || fail "share/man/man1/explore.1 is not installed"
said=$("${emulator[@]}" "$prefix/bin/explore" --version)
[ "$said" = "explore $version" ] || fail "the installed explore --version says '$said'"
cmp -s "$source/README.md" "$prefix/share/doc/figures/README.md" ||
    fail "share/doc/figures/README.md is not the README"
for picture in figure6.png explore-groups.png scene-format.md; do
    [ -f "$prefix/share/doc/figures/docs/$picture" ] || fail "the README's $picture is not installed"
done
"${emulator[@]}" "$prefix/bin/figure6" --export "$prefix/slides" >/dev/null 2>&1 &&
    [ "$(ls "$prefix/slides" | wc -l)" = 6 ] || fail "the installed figure6 does not export"
[ "$failures" -eq 0 ] || exit 1
echo "PASS: ${#programs[@]} programs and explore in bin/, the README in share/doc/figures/"
