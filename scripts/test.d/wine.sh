#!/usr/bin/env bash
# The Windows suite: cross-builds the platform layer and its tests with MinGW-w64 and runs them
# under Wine, in a Wine prefix of their own. When the tools cannot be installed the suite is
# skipped with one line saying why; a build or test failure fails it.
# Usage: wine.sh [main build dir]   (the cross build goes beside it, in win32/)
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
main_build="${1:-$root/build/test}"
build="$(realpath -m "${RHEO_WIN32_BUILD_DIR:-$(dirname "$main_build")/win32}")"
started=$SECONDS

skip() {
    echo "Windows suite skipped: $*"
    exit 0
}

packages=(g++-mingw-w64-x86-64-posix wine wine64 googletest cmake ninja-build socat)
source "$root/scripts/lib.sh"
why="$(try_packages "${packages[@]}")" || skip "$why"
[ -f /usr/src/googletest/CMakeLists.txt ] || skip "no GoogleTest sources in /usr/src/googletest"

echo "-- cross build in $build"
mkdir -p "$build"
if ! cmake -S "$root/tests/win32" --preset win32-tests -B "$build" \
    >"$build/configure.log" 2>&1; then
    cat "$build/configure.log"
    echo "FAILED: configuring the Windows cross build"
    exit 1
fi
if ! cmake --build "$build" --target win32_tests -j "$(nproc)"; then
    echo "FAILED: building the Windows tests with MinGW-w64"
    exit 1
fi

# A private prefix: the tests write to HKEY_LOCAL_MACHINE and must not meet anyone else's.
# No display, no Mono or Gecko installers: only console programs run here.
export WINEPREFIX="$build/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
wineserver -k >/dev/null 2>&1 || true
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT

if ! timeout 300 wineboot -i >"$build/wineboot.log" 2>&1; then
    skip "wine cannot set up a prefix here ($(tail -n 1 "$build/wineboot.log"))"
fi
# One server for the whole run, so that each test process starts at once.
wineserver -p
if ! timeout 120 wine cmd /c echo ok >/dev/null 2>&1; then
    skip "wine cannot run a program here"
fi

# Real lines for the COM port link: a pseudo-terminal pair as COM8 and COM9, and COM10, whose far
# end goes away after its first byte.
ports="$build/ports"
rm -rf "$ports" && mkdir -p "$ports"
socat PTY,link="$ports/a",raw,echo=0 PTY,link="$ports/b",raw,echo=0 2>/dev/null &
pair=$!
socat PTY,link="$ports/c",raw,echo=0 SYSTEM:'head -c 1 >/dev/null' 2>/dev/null &
vanishing=$!
trap 'kill $pair $vanishing 2>/dev/null; wineserver -k >/dev/null 2>&1 || true' EXIT
for _ in $(seq 50); do
    [ -e "$ports/a" ] && [ -e "$ports/b" ] && [ -e "$ports/c" ] && break
    sleep 0.1
done
if [ -e "$ports/c" ]; then
    ln -sfn "$(readlink -f "$ports/a")" "$WINEPREFIX/dosdevices/com8"
    ln -sfn "$(readlink -f "$ports/b")" "$WINEPREFIX/dosdevices/com9"
    ln -sfn "$(readlink -f "$ports/c")" "$WINEPREFIX/dosdevices/com10"
    export RHEO_WIN32_COM_PAIR="8 9" RHEO_WIN32_COM_VANISHING=10
fi

status=0
ctest --test-dir "$build" --output-on-failure --timeout 120 || status=1
echo "Windows suite: $((SECONDS - started)) s"
exit "$status"
