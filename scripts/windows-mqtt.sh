#!/usr/bin/env bash
# Builds what publishing to a broker needs for Windows (static, MinGW-w64), once per machine,
# into one prefix of a cache outside the clone, and prints that prefix for the cross build's
# CMAKE_PREFIX_PATH:
#   OpenSSL (libssl.a, libcrypto.a)   from Debian's openssl sources, its own Configure (mingw64);
#   SQLite (libsqlite3.a)             the amalgamation made from Debian's sqlite3 sources with the
#                                     host's tclsh, compiled by cmake/sqlite3/CMakeLists.txt;
#   libmosquitto (libmosquitto_static.a)  from Debian's mosquitto sources with the patches of
#                                     cmake/mosquitto, its CMake build: the static library only,
#                                     TLS on that OpenSSL, no threading (the program calls it
#                                     from one network thread);
#   nlohmann/json                     the headers and CMake package of the installed
#                                     nlohmann-json3-dev.
#
# The cache is keyed by the Debian versions of the four (those of the Linux build's packages,
# else the ones apt would install), the cross compiler's version, the options below and the
# files of cmake/sqlite3 and cmake/mosquitto; a key that is already built is printed at once.
# The sources are fetched as windows-qt.sh fetches qt6-base (fetch_debian_source in
# scripts/lib.sh). When the host's OpenSSL version cannot be fetched (the archive keeps the
# newest ones only), the newest version of the source lists that can be is built instead; the
# prefix's versions.txt names what was built. The C compiler goes through ccache when there is
# one. About 4 to 5 minutes on 2 shared cores the first time (OpenSSL most of it), 1.5 with
# ccache's objects.
#
# Usage: windows-mqtt.sh      (prints the prefix on standard output; progress on stderr)
# Exit status: 0 built or cached; 2 when something it needs cannot be had (the reason on stdout,
# prefixed "skipped: "); 1 when the build itself failed.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cache="${RHEO_QT_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/rheotrackpanel}"
source "$root/scripts/lib.sh"

skip() {
    echo "skipped: $*"
    exit 2
}
say() { echo "windows-mqtt: $*" >&2; }
# The version the Linux build uses (its package installed), else the one apt would install.
debian_version() {
    local v
    v="$(dpkg-query -W -f '${Version}' "$1" 2>/dev/null)" ||
        v="$(apt-cache policy "$1" 2>/dev/null | sed -n 's/^ *Candidate: //p')"
    [ -n "$v" ] && [ "$v" != "(none)" ] || return 1
    echo "$v"
}
# Runs a build step with its output in WORK/NAME.log, shown in part when it fails.
step() {
    local name="$1"
    shift
    "$@" >"$work/$name.log" 2>&1 || {
        tail -n 40 "$work/$name.log" >&2
        say "$name failed (log: $work/$name.log)"
        exit 1
    }
}

triple=x86_64-w64-mingw32
command -v $triple-gcc-posix >/dev/null || skip "no MinGW-w64 (posix) compiler"
command -v tclsh >/dev/null || skip "no tclsh (Debian package tcl) for SQLite's amalgamation"
command -v cc >/dev/null && command -v make >/dev/null || skip "no host C compiler and make"
[ -f /usr/share/cmake/nlohmann_json/nlohmann_jsonConfig.cmake ] ||
    skip "no nlohmann/json (nlohmann-json3-dev)"
openssl="$(debian_version libssl-dev)" || skip "apt knows no openssl"
sqlite="$(debian_version libsqlite3-dev)" || skip "apt knows no sqlite3"
mosquitto="$(debian_version libmosquitto-dev)" || skip "apt knows no mosquitto"
json="$(dpkg-query -W -f '${Version}' nlohmann-json3-dev)"
compiler="$($triple-gcc-posix -dumpfullversion)"

# OpenSSL without what libmosquitto's TLS client never asks for (engines, compression, DTLS,
# SRP, CMS, time stamps, CMP, the rare ciphers and digests): a smaller program, a shorter build.
openssl_options=(mingw64 no-shared no-module no-legacy no-tests --libdir=lib no-engine no-comp
    no-dtls no-srp no-cms no-ts no-cmp no-idea no-seed no-camellia no-aria no-sm2 no-sm3 no-sm4
    no-whirlpool no-md4 no-mdc2 no-bf no-cast no-rc2 no-rc4 no-siphash)
sqlite_options=(-DCMAKE_BUILD_TYPE=Release)
mosquitto_options=(-DCMAKE_BUILD_TYPE=Release -DWITH_STATIC_LIBRARIES=ON -DWITH_TLS=ON
    -DWITH_TLS_PSK=ON -DWITH_EC=ON -DWITH_THREADING=OFF -DWITH_SRV=OFF -DWITH_CJSON=OFF
    -DWITH_BROKER=OFF -DWITH_CLIENTS=OFF -DWITH_APPS=OFF -DWITH_PLUGINS=OFF -DDOCUMENTATION=OFF
    -DWITH_LIB_CPP=OFF -DWITH_SOCKS=ON -DWITH_DLT=OFF -DOPENSSL_USE_STATIC_LIBS=TRUE)
# Its configuration file is read from OPENSSLDIR at start-up (libmosquitto asks for it), and
# engines from ENGINESDIR: folders only an administrator may write, as OpenSSL's own Windows
# builds have them, never the prefix's Linux path, which Windows would read on the current
# drive, where any user may create it. Configure, on Linux, takes C:/... for a relative path
# and puts the prefix before it, so they are given to make.
windows_dirs=("OPENSSLDIR=C:/Program Files/Common Files/SSL"
    "ENGINESDIR=C:/Program Files/Common Files/SSL/engines-3"
    "MODULESDIR=C:/Program Files/Common Files/SSL/ossl-modules")
key="$(printf '%s\n' "$openssl" "$sqlite" "$mosquitto" "$json" "$compiler" \
    "${openssl_options[@]}" "${windows_dirs[@]}" "${sqlite_options[@]}" "${mosquitto_options[@]}" \
    "$(cd "$root/cmake" && sha256sum sqlite3/* mosquitto/*)" |
    sha256sum | cut -c1-16)"
prefix="$cache/mqtt-${mosquitto//[^A-Za-z0-9.+-]/_}-$key"
marker="$prefix/versions.txt"
if [ -f "$marker" ]; then
    echo "$prefix"
    exit 0
fi

mkdir -p "$cache"
work="$cache/mqtt-build-$key"
# One builder at a time; a second caller waits for the first one's result.
lock_cache "$cache/mqtt-$key.lock"
if [ -f "$marker" ]; then
    echo "$prefix"
    exit 0
fi
rm -rf "$work" "$prefix.partial"
mkdir -p "$work"
started=$SECONDS

say "fetching the openssl, sqlite3 and mosquitto sources"
if ! fetch_debian_source openssl "$openssl" "$work" >/dev/null; then
    # The host's version has left the archive: the newest one of the source lists that can be
    # fetched.
    apt_private=(-o "Dir::Etc::sourcelist=$work/apt/sources.list"
        -o "Dir::Etc::sourceparts=$work/apt/sources.list.d"
        -o "Dir::State::Lists=$work/apt/lists" -o "Dir::Cache=$work/apt")
    built=""
    for v in $(apt-cache "${apt_private[@]}" showsrc openssl 2>/dev/null |
        sed -n 's/^Version: //p' | sort -r -V); do
        rm -f "$work/src"/openssl_*
        if fetch_debian_source openssl "$v" "$work" >/dev/null; then
            built="$v"
            break
        fi
    done
    [ -n "$built" ] || skip "cannot fetch openssl sources ($(tail -n 1 "$work/apt.log"))"
    say "the openssl $openssl sources cannot be fetched: building $built"
    openssl="$built"
fi
why="$(fetch_debian_source sqlite3 "$sqlite" "$work")" || skip "$why"
why="$(fetch_debian_source mosquitto "$mosquitto" "$work")" || skip "$why"

# The C compiler through ccache where there is one (its masquerade: a link named as the
# compiler, first on PATH); CCACHE_BASEDIR makes the work folder's name not matter.
if command -v ccache >/dev/null; then
    mkdir -p "$work/ccache-bin"
    ln -s "$(command -v ccache)" "$work/ccache-bin/$triple-gcc-posix"
    export PATH="$work/ccache-bin:$PATH" CCACHE_BASEDIR="$work"
fi

say "building OpenSSL $openssl, libraries only (log: $work/openssl.log), a few minutes"
(
    cd "$work/src/openssl"
    step openssl-configure ./Configure "${openssl_options[@]}" \
        --cross-compile-prefix=$triple- CC=gcc-posix --prefix="$prefix.partial"
    step openssl make -j "$(nproc)" "${windows_dirs[@]}" build_libs
    step openssl-install make "${windows_dirs[@]}" install_dev
)
rm -rf "$prefix.partial/lib/pkgconfig" "$prefix.partial/bin"

say "making SQLite's amalgamation on the host (log: $work/sqlite-amalgamation.log)"
(
    mkdir -p "$work/sqlite-host"
    cd "$work/sqlite-host"
    step sqlite-amalgamation sh -c "'$work/src/sqlite3/configure' --disable-tcl >/dev/null &&
        make sqlite3.c"
)
step sqlite-configure cmake -S "$root/cmake/sqlite3" -B "$work/sqlite-build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
    -DRHEO_SQLITE_AMALGAMATION="$work/sqlite-host" -DCMAKE_INSTALL_PREFIX="$prefix.partial" \
    "${sqlite_options[@]}"
step sqlite cmake --build "$work/sqlite-build" -j "$(nproc)"
step sqlite-install cmake --install "$work/sqlite-build"

# Only the static library is built and installed: its CMake build always adds the shared one.
# The patches of cmake/mosquitto are applied first (each file says why).
say "building libmosquitto $mosquitto (log: $work/mosquitto.log)"
for patch in "$root"/cmake/mosquitto/*.patch; do
    step mosquitto-patch patch -d "$work/src/mosquitto" -p1 -i "$patch"
done
# OpenSSL's headers through a link in the work folder, so that ccache finds its objects again
# for another key.
ln -s "$prefix.partial" "$work/prefix"
step mosquitto-configure cmake -S "$work/src/mosquitto" -B "$work/mosquitto-build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
    -DCMAKE_PREFIX_PATH="$work/prefix" -DOPENSSL_ROOT_DIR="$work/prefix" \
    "${mosquitto_options[@]}"
step mosquitto cmake --build "$work/mosquitto-build" -j "$(nproc)" --target libmosquitto_static
install -D -m 644 "$work/mosquitto-build/lib/libmosquitto_static.a" \
    "$prefix.partial/lib/libmosquitto_static.a"
install -m 644 "$work/src/mosquitto/include/mosquitto.h" \
    "$work/src/mosquitto/include/mqtt_protocol.h" "$prefix.partial/include/"

mkdir -p "$prefix.partial/share/cmake" "$prefix.partial/share/doc"
cp -r /usr/include/nlohmann "$prefix.partial/include/"
cp -r /usr/share/cmake/nlohmann_json "$prefix.partial/share/cmake/"
# The licences of what the programs carry.
cp "$work/src/openssl/LICENSE.txt" "$prefix.partial/share/doc/openssl-LICENSE.txt"
cp "$work/src/mosquitto/epl-v20" "$prefix.partial/share/doc/mosquitto-epl-v20"
cp "$work/src/mosquitto/edl-v10" "$prefix.partial/share/doc/mosquitto-edl-v10"
printf 'openssl %s\nsqlite3 %s\nmosquitto %s\nnlohmann-json3 %s\n' \
    "$openssl" "$sqlite" "$mosquitto" "$json" >"$prefix.partial/versions.txt"
mv "$prefix.partial" "$prefix"
rm -rf "$work"
say "built in $((SECONDS - started)) s"
echo "$prefix"
