#!/usr/bin/env bash
# Builds Qt for Windows (static, MinGW-w64) from Debian's qt6-base sources, once per machine,
# into a cache outside the clone, and prints the folder it is installed in.
#
# The cache is keyed by the Debian version of qt6-base (the host tools must be the same version),
# the cross compiler's version and the configure options below; a key that is already built is
# printed at once. The source package is fetched through a private apt configuration that
# mirrors the system's own sources as deb-src entries; the system's apt setup is never changed.
#
# Usage: windows-qt.sh            (prints the Qt prefix on standard output; progress on stderr)
# Exit status: 0 built or cached; 2 when something it needs cannot be had (the reason on stdout,
# prefixed "skipped: "); 1 when the build itself failed.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cache="${RHEO_QT_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/rheotrackpanel}"

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
exec 9>"$cache/qt-$key.lock"
flock 9
if [ -f "$prefix/lib/cmake/Qt6/qt.toolchain.cmake" ]; then
    echo "$prefix"
    exit 0
fi
rm -rf "$work"
mkdir -p "$work/apt/lists/partial" "$work/apt/sources.list.d" "$work/src"

# The system's own sources as source entries, in the private folder.
: >"$work/apt/sources.list"
for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] && sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' "$f" >>"$work/apt/sources.list"
done
for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] && sed 's/^Types:.*/Types: deb-src/' "$f" >"$work/apt/sources.list.d/${f##*/}"
done
apt_private=(-o "Dir::Etc::sourcelist=$work/apt/sources.list"
    -o "Dir::Etc::sourceparts=$work/apt/sources.list.d"
    -o "Dir::State::Lists=$work/apt/lists" -o "Dir::Cache=$work/apt")
say "fetching qt6-base $version sources"
apt-get "${apt_private[@]}" update -qq >"$work/apt.log" 2>&1 ||
    skip "apt cannot read the source lists ($(tail -n 1 "$work/apt.log"))"
(cd "$work/src" && apt-get "${apt_private[@]}" source --download-only "qt6-base=$version") \
    >>"$work/apt.log" 2>&1 || skip "cannot fetch qt6-base $version sources ($(tail -n 1 "$work/apt.log"))"
(cd "$work/src" && dpkg-source --no-check -x ./*.dsc qt6-base) >>"$work/apt.log" 2>&1 ||
    skip "cannot unpack the qt6-base sources"

say "configuring (log: $work/configure.log)"
started=$SECONDS
if ! cmake -S "$work/src/qt6-base" -B "$work/build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" -DQT_HOST_PATH=/usr \
    -DQT_HOST_PATH_CMAKE_DIR="/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/cmake" \
    -DCMAKE_INSTALL_PREFIX="$prefix.partial" "${options[@]}" >"$work/configure.log" 2>&1; then
    tail -n 40 "$work/configure.log" >&2
    exit 1
fi
say "building, about half an hour on 2 cores (log: $work/build.log)"
if ! cmake --build "$work/build" -j "$(nproc)" >"$work/build.log" 2>&1; then
    tail -n 40 "$work/build.log" >&2
    exit 1
fi
rm -rf "$prefix.partial"
cmake --install "$work/build" >"$work/install.log" 2>&1 || { tail -n 20 "$work/install.log" >&2; exit 1; }
mv "$prefix.partial" "$prefix"
say "built in $((SECONDS - started)) s"
rm -rf "$work"
echo "$prefix"
