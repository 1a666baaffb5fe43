#!/usr/bin/env bash
# Cross-builds zu_zozov for 32-bit Windows with mingw-w64 (i686, the -posix
# compilers) and runs the whole unit-test suite under Wine through ctest.
# Exits non-zero when a build step or a test fails.
#
# What it makes, in $BUILD_DIR/dist:
#   bin/zu_zozov.dll               the library
#   bin/libgcc_s_dw2-1.dll,        the compiler's runtime DLLs that ship beside
#   bin/libwinpthread-1.dll        it (shared libgcc: exceptions cross the DLL)
#   lib/libzu_zozov.dll.a          the import library
#   include/zu_zozov/...           the headers
#
# Its dependencies are built for the target the first time and kept, keyed by
# their Debian version, the compiler's version and the build options:
#   Xerces-C 3.2 from Debian's source package (apt-get source xerces-c), static,
#   no network access, the Windows transcoder and the in-memory messages;
#   GoogleTest from the sources Debian's googletest package installs.
# Boost is header-only and comes in through an include folder that holds only
# Boost.
#
#   BUILD_DIR (default build-win32)
#   CACHE_DIR (default /var/cache/zu_zozov-win32, or $BUILD_DIR/deps when that
#             cannot be written)  the cross-built dependencies and the Wine prefix
#   JOBS (default nproc)          build and test parallelism
#   CMAKE_ARGS, CTEST_ARGS        extra arguments for the library's configure
#                                 step and for ctest
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
BUILD_DIR=${BUILD_DIR:-build-win32}
case "$BUILD_DIR" in /*) ;; *) BUILD_DIR="$root/$BUILD_DIR" ;; esac
JOBS=${JOBS:-$(nproc)}
CACHE_DIR=${CACHE_DIR:-/var/cache/zu_zozov-win32}
if ! mkdir -p "$CACHE_DIR" 2>/dev/null || [ ! -w "$CACHE_DIR" ]; then
    CACHE_DIR="$BUILD_DIR/deps"
    mkdir -p "$CACHE_DIR"
fi
triple=i686-w64-mingw32
toolchain="$root/cmake/mingw-w64-i686.cmake"
log() { echo "test-win32: $*" >&2; }

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive

installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

# --- tools: the cross compilers, Wine (32-bit), and what the sources need ---
bash scripts/install-deps.sh
packages=(g++-mingw-w64-i686-posix wine wine32:i386 dpkg-dev googletest libboost-dev)
missing=()
for p in "${packages[@]}"; do installed "$p" || missing+=("$p"); done
if [ ${#missing[@]} -gt 0 ]; then
    log "installing ${missing[*]}"
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        $SUDO dpkg --add-architecture i386
    fi
    # After adding an architecture one index may fail to update; the packages
    # needed here come from the main archive all the same.
    $SUDO apt-get update -qq || log "apt-get update reported a failure; going on"
    $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

pkgver() { dpkg-query -W -f='${Version}' "$1"; }
compiler_id="$(pkgver g++-mingw-w64-i686-posix)"
# Raise when the way the dependencies are built changes: old entries are
# then rebuilt.
recipe=1
# A short digest of the things that decide a cached build's contents.
digest() { sha256sum | cut -c1-12; }

# Configures the CMake project in $1 for the target with the options in
# $4..., builds and installs it with the function $3 (given the build folder)
# into the cache entry $2, made atomically: an interrupted build leaves no
# entry behind.
build_dep() {
    local src=$1 dest=$2 build=$3
    shift 3
    local work="$dest.build"
    rm -rf "$work" "$dest.tmp"
    cmake -S "$src" -B "$work/build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$dest.tmp" "$@" >"$work.log" 2>&1 ||
        { tail -n 40 "$work.log" >&2; return 1; }
    "$build" "$work/build" >>"$work.log" 2>&1 || { tail -n 40 "$work.log" >&2; return 1; }
    rm -rf "$work" "$work.log"
    mv "$dest.tmp" "$dest"
}

# Only Xerces-C's library, installed by its own rules: the source package has
# no prebuilt documentation, which the top-level install wants.  The static
# library's package names Threads::Threads without looking for it.
build_xerces() {
    cmake --build "$1" --target xerces-c -j "$JOBS" &&
        cmake -P "$1/src/cmake_install.cmake" || return 1
    local config="$xerces.tmp/cmake/XercesCConfig.cmake"
    printf '%s\n' "include(CMakeFindDependencyMacro)" "find_dependency(Threads)" |
        cat - "$config" >"$config.new" && mv "$config.new" "$config"
}
build_gtest() { cmake --build "$1" -j "$JOBS" --target install; }

# --- Xerces-C for the target ---
xerces_ver=$(pkgver libxerces-c-dev)
xerces_opts=(-DBUILD_SHARED_LIBS=OFF -Dnetwork=OFF -Dtranscoder=windows -Dmessage-loader=inmemory
             -Dthreads=ON)
xerces_key=$(printf '%s\n' "$recipe" "$compiler_id" "${xerces_opts[*]}" | cat - "$toolchain" | digest)
xerces="$CACHE_DIR/xerces-c-$xerces_ver-$xerces_key"
if [ ! -d "$xerces" ]; then
    log "building Xerces-C $xerces_ver for $triple (kept in $xerces)"
    srcdir="$CACHE_DIR/src"
    if ! apt-cache showsrc "xerces-c=$xerces_ver" 2>/dev/null | grep -q '^Package:'; then
        # The source package comes from the archive's deb-src entry.
        src_list=/etc/apt/sources.list.d/zu_zozov-deb-src.sources
        if [ ! -f "$src_list" ]; then
            printf '%s\n' "Types: deb-src" "URIs: http://deb.debian.org/debian" \
                "Suites: bookworm bookworm-updates" "Components: main" \
                "Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg" |
                $SUDO tee "$src_list" >/dev/null
        fi
        $SUDO apt-get update -qq || log "apt-get update reported a failure; going on"
    fi
    rm -rf "$srcdir"
    mkdir -p "$srcdir"
    (cd "$srcdir" && apt-get source -qq "xerces-c=$xerces_ver" >/dev/null 2>&1) || {
        log "apt-get source xerces-c=$xerces_ver failed"
        exit 1
    }
    xsrc=$(find "$srcdir" -mindepth 1 -maxdepth 1 -type d -name 'xerces-c-*' | head -n 1)
    build_dep "$xsrc" "$xerces" build_xerces "${xerces_opts[@]}"
    rm -rf "$srcdir"
fi

# --- GoogleTest for the target ---
gtest_ver=$(pkgver googletest)
gtest_opts=(-DBUILD_GMOCK=ON -DINSTALL_GTEST=ON -Dgtest_disable_pthreads=OFF)
gtest_key=$(printf '%s\n' "$recipe" "$compiler_id" "${gtest_opts[*]}" | cat - "$toolchain" | digest)
gtest="$CACHE_DIR/googletest-$gtest_ver-$gtest_key"
if [ ! -d "$gtest" ]; then
    log "building GoogleTest $gtest_ver for $triple (kept in $gtest)"
    build_dep /usr/src/googletest "$gtest" build_gtest "${gtest_opts[@]}"
fi

# --- Boost: an include folder with nothing but Boost in it ---
boost_inc="$BUILD_DIR/boost-include"
mkdir -p "$boost_inc"
ln -sfn /usr/include/boost "$boost_inc/boost"

# --- Wine: its own prefix, kept with the cache; the server runs throughout ---
WINEPREFIX="$CACHE_DIR/wine-$(pkgver wine)"
export WINEPREFIX
export WINEARCH=win32
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
# The test programs start from the build folder; the library and the
# compiler's runtime DLLs lie beside them.
stop_wine() { wineserver -k >/dev/null 2>&1 || true; }
trap stop_wine EXIT
mkdir -p "$WINEPREFIX"
start_wine() { (wineserver -p && wine cmd /c exit) </dev/null >/dev/null 2>&1; }
if ! start_wine; then
    # A server of an earlier run may still be going down: wait for it, retry.
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
    start_wine || { log "Wine does not start (prefix $WINEPREFIX)"; exit 1; }
fi

# --- the library and its tests ---
# Every program, also one that does not link the library, runs on the two
# runtime DLLs that ship with it and nothing else.
# shellcheck disable=SC2086
cmake -S . -B "$BUILD_DIR/build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_FIND_PACKAGE_PREFER_CONFIG=ON \
    -DCMAKE_PREFIX_PATH="$xerces;$gtest" \
    -DCMAKE_FIND_ROOT_PATH="$xerces;$gtest" \
    -DBoost_INCLUDE_DIR="$boost_inc" -DBoost_NO_BOOST_CMAKE=ON -DBoost_NO_SYSTEM_PATHS=ON \
    -DCMAKE_RUNTIME_OUTPUT_DIRECTORY="$BUILD_DIR/build/bin" \
    -DCMAKE_EXE_LINKER_FLAGS="-static-libstdc++ -shared-libgcc" \
    -DZU_ZOZOV_BUILD_TESTS=ON -DZU_ZOZOV_BUILD_BENCH=OFF -DZU_ZOZOV_BUILD_EXAMPLES=OFF \
    -DZU_ZOZOV_WERROR=ON ${CMAKE_ARGS:-} >/dev/null
runtime_dlls=("$($triple-gcc-posix -print-file-name=libgcc_s_dw2-1.dll)"
              "$($triple-gcc-posix -print-file-name=libwinpthread-1.dll)")
for dll in "${runtime_dlls[@]}"; do
    [ -f "$dll" ] || { log "missing runtime DLL $dll"; exit 1; }
done
mkdir -p "$BUILD_DIR/build/bin"
cp -u "${runtime_dlls[@]}" "$BUILD_DIR/build/bin/"
cmake --build "$BUILD_DIR/build" -j "$JOBS"

# The package a Windows host builds against: the DLL with the runtime DLLs to
# ship beside it, the import library, the headers and CMake package, and the
# Xerces-C headers and package that the library's headers need.
dist="$BUILD_DIR/dist"
rm -rf "$dist"
cmake --install "$BUILD_DIR/build" --prefix "$dist" >/dev/null
cp "${runtime_dlls[@]}" "$dist/bin/"
cp -r "$xerces/." "$dist/"
log "package: $dist ($(cd "$dist" && echo bin/*.dll lib/libzu_zozov*))"

# shellcheck disable=SC2086
ctest --test-dir "$BUILD_DIR/build" --output-on-failure -j "$JOBS" ${CTEST_ARGS:-}

# A host built against the package alone, run beside the shipped DLLs.
consumer="$BUILD_DIR/consumer"
rm -rf "$consumer"
cmake -S ci/consumer -B "$consumer" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_PREFIX_PATH="$dist" -DCMAKE_FIND_ROOT_PATH="$dist" \
    -DBoost_INCLUDE_DIR="$boost_inc" -DBoost_NO_BOOST_CMAKE=ON -DBoost_NO_SYSTEM_PATHS=ON \
    -DCMAKE_RUNTIME_OUTPUT_DIRECTORY="$consumer/bin" >/dev/null
cmake --build "$consumer" -j "$JOBS" >/dev/null
cp "$dist"/bin/*.dll "$consumer/bin/"
wine "$consumer/bin/consumer.exe"
log "all passed"
