#!/usr/bin/env bash
# Installs the Debian (or Ubuntu) packages that are missing, with apt-get (through sudo unless
# run as root).
#   packages.sh run    what building and running the programs needs
#   packages.sh web    that, and what the browser build needs (emscripten and acorn)
#   packages.sh test   that, and what the test suite needs. The optional parts are tried group
#                      by group: a group that cannot be installed (not in this release, no network)
#                      is reported, and its tests report themselves skipped.
# Package names are the same on Debian 12 and later and on current Ubuntu; the one name that
# carries a version, clang's fuzzing runtime, is derived from the clang that is installed.
set -u
what=${1:?usage: packages.sh run|web|test}

run_packages="cmake g++ make pkg-config libsdl1.2-compat-dev libpng-dev"
test_packages="libgtest-dev xvfb xdotool x11-utils imagemagick"
web_packages="emscripten node-acorn"
# Optional groups, each "packages|what needs them".
optional_groups=(
    "valgrind|the memory checks of whole exports"
    "clang|the fuzz targets"
    "openbox|the full-screen test, which needs a window manager"
    "python3|the window manager's requests sent by the window tests"
    "emscripten node-acorn|the browser build"
    "chromium nodejs npm|the browser test"
    "libmpfr-dev|the sine check against MPFR (tools/sine_check.cpp)"
)

if ! command -v apt-get >/dev/null || ! command -v dpkg-query >/dev/null; then
    echo "No apt-get here: install the packages yourself (README: other systems). Trying the build."
    exit 0
fi
sudo=
if [ "$(id -u)" != 0 ]; then
    if ! command -v sudo >/dev/null; then
        echo "Installing packages needs root or sudo; install these yourself: $run_packages" \
            "$([ "$what" = test ] && echo "$test_packages")"
        exit 1
    fi
    sudo=sudo
fi

# A Node.js from outside Debian (NodeSource's) brings its own npm and conflicts with Debian's npm
# package: a command already there counts as its package installed.
installed() {
    case $1 in
    npm) command -v npm >/dev/null && return 0 ;;
    nodejs) command -v node >/dev/null && return 0 ;;
    esac
    dpkg-query -W -f='${Status}\n' "$1" 2>/dev/null | grep -q '^install ok installed'
}

missing() {
    local package
    for package in "$@"; do installed "$package" || echo "$package"; done
}

updated=
apt_install() {
    if [ -z "$updated" ]; then
        $sudo apt-get update -q || echo "apt-get update failed; trying the package lists there are"
        updated=1
    fi
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "$@"
}

# shellcheck disable=SC2086 # the lists are words
required=$(missing $run_packages $([ "$what" = test ] && echo $test_packages) \
    $([ "$what" = web ] && echo $web_packages))
if [ -n "$required" ]; then
    echo "Installing:" $required
    # shellcheck disable=SC2086
    apt_install $required || {
        echo "Could not install:" $required
        exit 1
    }
fi
[ "$what" = test ] || exit 0

skipped=()
try_group() {
    local packages=$1 needed_by=$2 absent
    # shellcheck disable=SC2086
    absent=$(missing $packages)
    [ -z "$absent" ] && return 0
    echo "Installing (optional, for $needed_by):" $absent
    # shellcheck disable=SC2086
    apt_install $absent || skipped+=("$needed_by: could not install $(echo $absent)")
}
for group in "${optional_groups[@]}"; do
    try_group "${group%%|*}" "${group#*|}"
done
# libFuzzer comes with clang's runtime, packaged under clang's major version.
if command -v clang >/dev/null; then
    major=$(clang -dumpversion | cut -d. -f1)
    try_group "libclang-rt-$major-dev" "the fuzz targets"
fi
# The 32-bit x86 build, which draws every slide as this one must: Debian's cross compiler and
# the :i386 libraries (on x86-64 machines, once i386 is a foreign architecture of dpkg's).
if [ "$(dpkg --print-architecture)" = amd64 ]; then
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        $sudo dpkg --add-architecture i386 && updated=
    fi
    try_group "g++-i686-linux-gnu libsdl1.2-compat-dev:i386 libpng-dev:i386 libgtest-dev:i386" \
        "the 32-bit x86 build"
fi
# The browser test's driver and PNG reader, at the versions web/package-lock.json pins; again
# whenever the lock file changes (npm ci leaves its own copy of it in node_modules).
if [ ! web/node_modules/.package-lock.json -nt web/package-lock.json ]; then
    if command -v npm >/dev/null; then
        echo "Installing the browser test's packages into web/node_modules (npm ci)"
        (cd web && npm ci --no-audit --no-fund) ||
            skipped+=("the browser test: npm could not install its packages")
    else
        skipped+=("the browser test: no npm to install its packages with")
    fi
fi
for reason in "${skipped[@]}"; do
    echo "Skipped: $reason; those tests will report themselves skipped."
done
exit 0
