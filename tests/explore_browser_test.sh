#!/usr/bin/env bash
# The frieze studio on the page against the desktop explore, in headless Chromium; see
# explore_browser_test.mjs. Skips (status 77) without Chromium, node, the test packages or the page.
set -u
usage="usage: explore_browser_test.sh BIN_DIR WEB_DIR NODE_MODULES_DIR"
bin=${1:?$usage}
web=${2:?$usage}
modules=${3:?$usage}
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
[ -f "$web/explore.js" ] || skip "$web/explore.js is not built (make web builds it with emscripten)"
[ -x "$bin/explore" ] || { echo "FAIL: the desktop $bin/explore is missing"; exit 1; }

exec node "$(dirname "$0")/explore_browser_test.mjs" "$bin" "$web" "$modules" "$chromium"
