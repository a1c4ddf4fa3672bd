#!/usr/bin/env bash
# The browser build in headless Chromium: every slide of every program on the page's canvas is,
# pixel for pixel, what the desktop program exports; keys, clicks and taps advance the shows; the
# page fits common screens and runs in full screen. See browser_test.mjs.
set -u
usage="usage: browser_test.sh BIN_DIR WEB_DIR NODE_MODULES_DIR PROGRAM..."
bin=${1:?$usage}
web=${2:?$usage}
modules=${3:?$usage}
shift 3
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

exec node "$(dirname "$0")/browser_test.mjs" "$bin" "$web" "$modules" "$chromium" "$@"
