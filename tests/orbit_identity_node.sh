#!/usr/bin/env bash
# The orbit plotter's WebAssembly build against the textbook loop (orbit_identity_node.cpp), run
# by Node.js. `make test` builds it into NODE_DIR (beside the page).
set -u
dir=${1:?usage: orbit_identity_node.sh NODE_DIR}
skip() {
    echo "SKIP: $*"
    exit 77
}
command -v node >/dev/null || skip "node is not installed (make deps installs nodejs)"
[ -f "$dir/orbit_identity_node.js" ] ||
    skip "$dir/orbit_identity_node.js is not built (make test builds it with emscripten)"
# This emscripten's loader prefers fetch() when there is one, which Node.js has but cannot use
# for files.
exec node --no-experimental-fetch "$dir/orbit_identity_node.js"
