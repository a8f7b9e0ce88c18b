#!/usr/bin/env bash
# Builds Qt for Windows (static, MinGW-w64) from Debian's qt6-base sources, once per machine,
# into a cache outside the clone, and prints the folder it is installed in.
#
# The cache is keyed by the Debian version of qt6-base (the host tools must be the same version),
# the cross compiler's version and the configure options below; a key that is already built is
# printed at once. The source package is fetched through a private apt configuration that
# mirrors the system's own sources as deb-src entries (fetch_debian_source in scripts/lib.sh);
# the system's apt setup is never changed.
#
# Usage: windows-qt.sh            (prints the Qt prefix on standard output; progress on stderr)
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
say() { echo "windows-qt: $*" >&2; }

command -v x86_64-w64-mingw32-g++-posix >/dev/null || skip "no MinGW-w64 (posix) compiler"
version="$(dpkg-query -W -f '${Version}' qt6-base-dev 2>/dev/null)" || skip "no host Qt (qt6-base-dev)"
[ -x /usr/lib/qt6/libexec/moc ] || skip "no host Qt tools in /usr/lib/qt6/libexec"
compiler="$(x86_64-w64-mingw32-g++-posix -dumpfullversion)"

# What the program needs of Qt: Core, Gui, Widgets, Print Support (the trend's plotting
# library draws through it), the Windows platform plugin and styles.
# Everything else is off, and the bundled third-party code is used instead of the system's
# (there is no MinGW build of the system's copies). Qt's Windows plugin in this version only
# links with DirectWrite 3 off when Direct2D is off; the tablet headers are not in Debian's
# source.
options=(
    -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF
    -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF -DFEATURE_opengl=OFF
    -DINPUT_opengl=no -DFEATURE_vulkan=OFF -DFEATURE_printsupport=ON -DFEATURE_concurrent=OFF
    -DFEATURE_testlib=OFF -DFEATURE_xml=OFF -DFEATURE_freetype=OFF -DFEATURE_icu=OFF
    -DFEATURE_zstd=OFF -DFEATURE_glib=OFF -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF
    -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF -DFEATURE_system_harfbuzz=OFF
    -DFEATURE_system_doubleconversion=OFF -DFEATURE_tabletevent=OFF -DFEATURE_direct2d=OFF
    -DFEATURE_directwrite3=OFF
)
key="$(printf '%s\n' "$version" "$compiler" "${options[@]}" |
    sha256sum | cut -c1-16)"
prefix="$cache/qt-${version//[^A-Za-z0-9.+-]/_}-$key"
if [ -f "$prefix/lib/cmake/Qt6/qt.toolchain.cmake" ]; then
    echo "$prefix"
    exit 0
fi

mkdir -p "$cache"
work="$cache/qt-build-$key"
# One builder at a time; a second caller waits for the first one's result.
lock_cache "$cache/qt-$key.lock"
if [ -f "$prefix/lib/cmake/Qt6/qt.toolchain.cmake" ]; then
    echo "$prefix"
    exit 0
fi
rm -rf "$work"
say "fetching qt6-base $version sources"
why="$(fetch_debian_source qt6-base "$version" "$work")" || skip "$why"

say "configuring (log: $work/configure.log)"
started=$SECONDS
if ! cmake -S "$work/src/qt6-base" -B "$work/build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" -DQT_HOST_PATH=/usr \
    -DQT_HOST_PATH_CMAKE_DIR="/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/cmake" \
    -DCMAKE_INSTALL_PREFIX="$prefix.partial" "${options[@]}" >"$work/configure.log" 2>&1; then
    tail -n 40 "$work/configure.log" >&2
    exit 1
fi
build_into_cache "$work" "$prefix" "about half an hour on 2 cores"
say "built in $((SECONDS - started)) s"
