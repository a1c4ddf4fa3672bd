#!/usr/bin/env bash
# The browser build in headless Chromium: every slide of figure6 and figure5 on the page's canvas
# is, pixel for pixel, what the desktop program exports; keys and clicks advance it to the end.
set -u
bin=${1:?usage: browser_test.sh BIN_DIR WEB_DIR NODE_MODULES_DIR}
web=${2:?usage: browser_test.sh BIN_DIR WEB_DIR NODE_MODULES_DIR}
modules=${3:?usage: browser_test.sh BIN_DIR WEB_DIR NODE_MODULES_DIR}
chromium=${CHROMIUM:-/usr/bin/chromium}

skip() {
    echo "SKIP: $*"
    exit 77
}
[ -x "$chromium" ] || skip "$chromium is not installed (make deps installs chromium)"
command -v node >/dev/null || skip "node is not installed (make deps installs nodejs)"
[ -f "$modules/playwright-core/package.json" ] ||
    skip "playwright-core is not in $modules (make deps runs npm ci in web/)"
for program in figure6 figure5; do
    [ -f "$web/$program.js" ] || skip "$web/$program.js is not built (make web builds it with emscripten)"
    [ -x "$bin/$program" ] || { echo "FAIL: the desktop $bin/$program is missing"; exit 1; }
done

exec node "$(dirname "$0")/browser_test.mjs" "$bin" "$web" "$modules" "$chromium"
