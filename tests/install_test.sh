#!/usr/bin/env bash
# cmake --install puts every program into bin/ and the README into the doc folder; the
# installed programs run from there.
#   install_test.sh BUILD_DIR SOURCE_DIR
set -u
build=$1 source=$2
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
version=$(sed -n 's/^project(figures VERSION \([0-9.]*\).*/\1/p' "$source/CMakeLists.txt")
programs=$(sed -n 's/^set(FIGURES_PROGRAMS \(.*\))$/\1/p' "$source/CMakeLists.txt")
# The studio is installed beside the slide shows.
for program in $programs explore; do
    [ -x "$prefix/bin/$program" ] || { fail "bin/$program is not installed"; continue; }
    [ "$("$prefix/bin/$program" --version)" = "$program $version" ] ||
        fail "the installed $program --version says '$("$prefix/bin/$program" --version)'"
done
cmp -s "$source/README.md" "$prefix/share/doc/figures/README.md" ||
    fail "share/doc/figures/README.md is not the README"
for picture in figure6.png studio-groups.png; do
    [ -f "$prefix/share/doc/figures/docs/$picture" ] || fail "the README's $picture is not installed"
done
"$prefix/bin/figure6" --export "$prefix/slides" >/dev/null 2>&1 &&
    [ "$(ls "$prefix/slides" | wc -l)" = 6 ] || fail "the installed figure6 does not export"
[ "$failures" -eq 0 ] || exit 1
echo "PASS: $(echo $programs explore | wc -w) programs in bin/, the README in share/doc/figures/"
