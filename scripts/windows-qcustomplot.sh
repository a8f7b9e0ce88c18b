#!/usr/bin/env bash
# Builds QCustomPlot for Windows (static, MinGW-w64) from Debian's qcustomplot sources against
# the Qt for Windows of scripts/windows-qt.sh, once per machine, into a cache outside the clone,
# and prints the folder it is installed in: a CMake prefix holding the package QCustomPlotQt6
# (target QCustomPlotQt6::QCustomPlotQt6) for the cross build's CMAKE_PREFIX_PATH.
#
# The cache is keyed by the Debian version of qcustomplot (the one the Linux program uses), the
# cross compiler's version, the Qt for Windows it is built against, the options below and the
# files of cmake/qcustomplot; a key that is already built is printed at once. The sources are
# fetched as windows-qt.sh fetches qt6-base (fetch_debian_source in scripts/lib.sh); the library is built by
# cmake/qcustomplot/CMakeLists.txt, since Debian's build makes a shared library only.
#
# Usage: windows-qcustomplot.sh QT_PREFIX   (prints the prefix on standard output; progress on
#                                           stderr)
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
say() { echo "windows-qcustomplot: $*" >&2; }

qt="${1:?usage: windows-qcustomplot.sh QT_PREFIX}"
[ -f "$qt/lib/cmake/Qt6/qt.toolchain.cmake" ] || skip "no Qt for Windows in $qt"
[ -d "$qt/lib/cmake/Qt6PrintSupport" ] || skip "the Qt for Windows in $qt has no Print Support"
command -v x86_64-w64-mingw32-g++-posix >/dev/null || skip "no MinGW-w64 (posix) compiler"
# The version the Linux program links (libqcustomplot-dev), else the one apt would install.
version="$(dpkg-query -W -f '${Version}' libqcustomplot-dev 2>/dev/null)" ||
    version="$(apt-cache policy libqcustomplot-dev 2>/dev/null | sed -n 's/^ *Candidate: //p')"
[ -n "$version" ] && [ "$version" != "(none)" ] || skip "apt knows no qcustomplot"
compiler="$(x86_64-w64-mingw32-g++-posix -dumpfullversion)"

options=(-DCMAKE_BUILD_TYPE=Release)
key="$(printf '%s\n' "$version" "$compiler" "${qt##*/}" "${options[@]}" \
    "$(cd "$root/cmake/qcustomplot" && sha256sum ./*)" |
    sha256sum | cut -c1-16)"
prefix="$cache/qcustomplot-${version//[^A-Za-z0-9.+-]/_}-$key"
marker="$prefix/lib/cmake/QCustomPlotQt6/QCustomPlotQt6Config.cmake"
if [ -f "$marker" ]; then
    echo "$prefix"
    exit 0
fi

mkdir -p "$cache"
work="$cache/qcustomplot-build-$key"
# One builder at a time; a second caller waits for the first one's result.
lock_cache "$cache/qcustomplot-$key.lock"
if [ -f "$marker" ]; then
    echo "$prefix"
    exit 0
fi
rm -rf "$work"
say "fetching qcustomplot $version sources"
why="$(fetch_debian_source qcustomplot "$version" "$work")" || skip "$why"

say "configuring (log: $work/configure.log)"
started=$SECONDS
launcher=()
[ -n "${CMAKE_CXX_COMPILER_LAUNCHER:-}" ] && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER="$CMAKE_CXX_COMPILER_LAUNCHER")
if ! cmake -S "$root/cmake/qcustomplot" -B "$work/build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$qt/lib/cmake/Qt6/qt.toolchain.cmake" \
    -DQT_CHAINLOAD_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
    -DRHEO_QCUSTOMPLOT_SOURCE="$work/src/qcustomplot" -DCMAKE_INSTALL_PREFIX="$prefix.partial" \
    "${launcher[@]}" "${options[@]}" >"$work/configure.log" 2>&1; then
    tail -n 40 "$work/configure.log" >&2
    exit 1
fi
build_into_cache "$work" "$prefix" "a few minutes on 2 cores"
say "built in $((SECONDS - started)) s"
