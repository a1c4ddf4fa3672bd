#!/usr/bin/env bash
# The browser build in headless Chromium: checks that Chromium, node, the test packages, the page
# and the desktop programs are there (status 77, skipped, when a part is not installed or built),
# then runs the test SCRIPT (browser_test.mjs: every slide of the slide shows against the desktop
# exports; explore_browser_test.mjs: the studio against the desktop explore).
set -u
usage="usage: browser_test.sh SCRIPT BIN_DIR WEB_DIR NODE_MODULES_DIR PROGRAM..."
script=${1:?$usage}
bin=${2:?$usage}
web=${3:?$usage}
modules=${4:?$usage}
shift 4
[ $# -gt 0 ] || { echo "$usage"; exit 2; }
chromium=${CHROMIUM:-/usr/bin/chromium}

skip() {
    echo "SKIP: $*"
    exit 77
}
[ -x "$chromium" ] || skip "$chromium is not installed (make deps installs chromium)"
command -v node >/dev/null || skip "node is not installed (make deps installs nodejs)"
for package in playwright-core pngjs; do
    [ -f "$modules/$package/package.json" ] ||
        skip "$package is not in $modules (make deps runs npm ci in web/)"
done
[ -f "$web/index.html" ] || skip "there is no page in $web (make web builds it with emscripten)"
for program in "$@"; do
    [ -f "$web/$program.js" ] || skip "$web/$program.js is not built (make web builds it with emscripten)"
    [ -x "$bin/$program" ] || { echo "FAIL: the desktop $bin/$program is missing"; exit 1; }
done

exec node "$(dirname "$0")/$script" "$bin" "$web" "$modules" "$chromium" "$@"
