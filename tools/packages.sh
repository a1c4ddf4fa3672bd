#!/usr/bin/env bash
# Installs the Debian (or Ubuntu) packages that are missing, with apt-get (through sudo unless
# run as root).
#   packages.sh run    what building and running the programs needs
#   packages.sh web    that, and what the browser build needs (emscripten and acorn)
#   packages.sh test   that, and what the test suite needs. The optional parts are tried group
#                      by group: a group that cannot be installed (not in this release, no network)
#                      is reported, and its tests report themselves skipped.
#   packages.sh i686 [ROOT]
#                      what the 32-bit x86 build needs (make test-i686): the cross compiler and
#                      the :i386 libraries, after adding i386 to dpkg's architectures; where
#                      those cannot be installed, unpacked into ROOT (build/i386-root).
# Package names are the same on Debian 12 and later and on current Ubuntu; the one name that
# carries a version, clang's fuzzing runtime, is derived from the clang that is installed.
set -u
what=${1:?usage: packages.sh run|web|test|i686}

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

# A package counts when it is installed for this machine's architecture (or for all): the :i386
# library of a 32-bit build does not build this machine's programs. A name may carry its
# architecture (libpng-dev:i386). A Node.js from outside Debian (NodeSource's) brings its own npm
# and conflicts with Debian's npm package: a command already there counts as its package.
native=$(dpkg --print-architecture)
installed() {
    case $1 in
    npm) command -v npm >/dev/null && return 0 ;;
    nodejs) command -v node >/dev/null && return 0 ;;
    esac
    local name=${1%%:*} arch=$native
    [ "$name" = "$1" ] || arch=${1#*:}
    dpkg-query -W -f='${Status} ${Architecture}\n' "$name:*" 2>/dev/null |
        grep -qE "^install ok installed ($arch|all)\$"
}

missing() {
    local package
    for package in "$@"; do installed "$package" || echo "$package"; done
}

updated=
apt_install() {
    if [ -z "$updated" ]; then
        # A mirror caught mid-sync serves an index that fails its check; a later try usually
        # finds it whole, and a foreign architecture's libraries must match the native versions.
        local try
        for try in 1 2 3; do
            $sudo apt-get update -q && break
            if [ "$try" = 3 ]; then
                echo "apt-get update failed; trying the package lists there are"
            else
                echo "apt-get update failed; trying again in 30 s"
                sleep 30
            fi
        done
        updated=1
    fi
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "$@"
}

# Where the :i386 libraries cannot be installed beside this machine's own (a foreign
# architecture's versions must equal the native ones, and a mirror caught mid-sync lacks them for
# a while), they are unpacked into a folder of their own, for the 32-bit build and its programs
# alone: the development packages and, with what they depend on, SDL 2, which sdl12-compat loads
# as a program starts. The C and C++ runtimes are the cross compiler's and this machine's. The
# folder is made whole under another name, then renamed into place.
unpack_i386_libraries() {
    local root=$1 packages part deb count=0
    # The C library and its development files are the cross compiler's own.
    local c_runtime='libc6|libc6-dev|libc-dev-bin|linux-libc-dev|libcrypt-dev|libnsl-dev|libtirpc-dev'
    c_runtime+='|rpcsvc-proto|sysvinit-utils|libgcc-s1|gcc-[0-9]+-base|libstdc\+\+6'
    echo "Unpacking the :i386 libraries into $root instead (the 32-bit build looks there)"
    packages=$(apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts \
        --no-breaks --no-replaces --no-enhances \
        libsdl1.2-compat-dev:i386 libpng-dev:i386 libsdl2-2.0-0:i386 2>/dev/null |
        grep -E '^[a-z0-9].*:i386$' | grep -vE "^($c_runtime):" |
        sort -u)
    [ -n "$packages" ] || { echo "apt-cache knows no :i386 packages to unpack"; return 1; }
    mkdir -p "$(dirname "$root")" && part=$(mktemp -d "$root.XXXXXX") || return 1
    # (apt-get download, run as root, says it cannot hand the files to its own user: harmless.)
    # shellcheck disable=SC2086
    (cd "$part" && apt-get download -q $packages 2>&1 | grep -v "unsandboxed as root")
    for deb in "$part"/*.deb; do
        [ -e "$deb" ] || break
        dpkg-deb -x "$deb" "$part/root" || { rm -rf "$part"; return 1; }
        count=$((count + 1))
    done
    if [ ! -f "$part/root/usr/lib/i386-linux-gnu/pkgconfig/sdl.pc" ] ||
        [ ! -e "$part/root/usr/lib/i386-linux-gnu/libSDL2-2.0.so.0" ]; then
        echo "Could not fetch the :i386 libraries ($count packages unpacked)"
        rm -rf "$part"
        return 1
    fi
    rm -rf "$root" && mv "$part/root" "$root" && rm -rf "$part" || return 1
    echo "Unpacked $count :i386 packages into $root"
}

# The 32-bit x86 build, which must draw every slide as this machine's does, only when asked for:
# Debian's cross compiler and the :i386 libraries, once i386 is a foreign architecture of dpkg's.
if [ "$what" = i686 ]; then
    if [ "$native" != amd64 ]; then
        echo "The 32-bit x86 build is made on x86-64 machines only; this one is $native."
        exit 0
    fi
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        echo "Adding i386 to dpkg's architectures for the 32-bit x86 build's libraries"
        $sudo dpkg --add-architecture i386 || exit 1
    fi
    # qemu-user runs the 32-bit programs where the kernel cannot run them itself.
    absent=$(missing g++-i686-linux-gnu qemu-user)
    if [ -n "$absent" ]; then
        echo "Installing:" $absent
        # shellcheck disable=SC2086
        apt_install $absent || {
            echo "Could not install:" $absent
            exit 1
        }
    fi
    absent=$(missing libsdl1.2-compat-dev:i386 libpng-dev:i386)
    [ -z "$absent" ] && exit 0
    echo "Installing:" $absent
    # shellcheck disable=SC2086
    apt_install $absent && exit 0
    unpack_i386_libraries "${2:-$(cd "$(dirname "$0")/.." && pwd)/build/i386-root}" || exit 1
    exit 0
fi

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
