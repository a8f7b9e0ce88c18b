#!/usr/bin/env bash
# The Windows program: builds Qt for Windows once per machine (scripts/windows-qt.sh), cross-builds
# the four programs, makes the installer and the portable zip, checks that the programs import
# only Windows system DLLs, installs with the installer under Wine, and drives the portable
# program under Wine as an operator does, and the console logger on a COM port
# (tests/e2e/windows_scenarios.py). When the tools or the Qt sources cannot be had the suite says
# "skipped: <why>"; a build or scene failure fails it.
# Usage: windows-e2e.sh [main build dir]   (builds beside it, in windows/; the Linux
#                                           rheotrack-replay of the main build is the reference)
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
main_build="$(realpath -m "${1:-$root/build/test}")"
build="$(realpath -m "${RHEO_WINDOWS_BUILD_DIR:-$(dirname "$main_build")/windows}")"
started=$SECONDS

skip() {
    echo "skipped: $*"
    exit 0
}
fail() {
    echo "FAILED: $*"
    exit 1
}

packages=(g++-mingw-w64-x86-64-posix wine wine64 nsis cmake ninja-build qt6-base-dev
    qt6-base-dev-tools xvfb xauth xdotool socat imagemagick unzip procps python3 icoutils
    tcl nlohmann-json3-dev mosquitto mosquitto-clients)  # the publishing libraries; the broker
source "$root/scripts/lib.sh"
why="$(try_packages "${packages[@]}")" || skip "$why"

# Qt for Windows (built on the first run, cached afterwards), the programs, the packages.
program="$(bash "$root/scripts/windows-package" "$build/program")"
case $? in
    0) ;;
    2) skip "${program#skipped: }" ;;
    *) fail "building the Windows programs and packages (scripts/windows-package)" ;;
esac
installer="$(ls "$program"/rheotrackpanel-*-win64.exe 2>/dev/null)"
portable_zip="$(ls "$program"/rheotrackpanel-*-win64.zip 2>/dev/null)"
[ -f "$installer" ] && [ -f "$portable_zip" ] || fail "no installer or zip in $program"
echo "-- $(basename "$installer"): $(du -k "$installer" | cut -f1) KiB;" \
    "$(basename "$portable_zip"): $(du -k "$portable_zip" | cut -f1) KiB"

# The portable folder, unpacked as a user would.
rm -rf "$build/portable"
unzip -q "$portable_zip" -d "$build/portable" || fail "unzipping $portable_zip"
folder="$build/portable/$(basename "$portable_zip" .zip)"

# Nothing but Windows' own DLLs: every import must be an API set of Windows (api-ms-win-...) or a
# DLL that Wine ships as a system one.
system_dlls=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows
status=0
for exe in rheotrackpanel rheotrack-replay rheotrack-sim rheotrack-logger; do
    [ -f "$folder/$exe.exe" ] || fail "$exe.exe is not in the portable folder"
    imports="$(x86_64-w64-mingw32-objdump -p "$folder/$exe.exe" | sed -n 's/^[[:space:]]*DLL Name: //p')"
    for dll in $imports; do
        if [[ ${dll,,} != api-ms-win-* ]] && [ ! -e "$system_dlls/${dll,,}" ]; then
            echo "FAILED: $exe.exe imports $dll, which is not a Windows system DLL"
            status=1
        fi
    done
    echo "-- $exe.exe imports: $(echo $imports)"
done
grep -q "GNU GENERAL PUBLIC LICENSE" "$folder/LICENSE.txt" || fail "no licence in the folder"
grep -q "Apache License" "$folder/licences/OpenSSL-LICENSE.txt" &&
    grep -q "Eclipse Distribution License" "$folder/licences/mosquitto-edl-v10.txt" ||
    fail "no licences of the libraries linked in"
# Explorer shows the emblem for every program and for the installer: the icon group each
# carries is resources/rheotrackpanel.ico, every size of it (wrestool pads what it extracts).
emblem="$root/resources/rheotrackpanel.ico"
for exe in "$folder"/*.exe "$installer"; do
    wrestool -x -t14 "$exe" >"$build/icon.ico" 2>/dev/null &&
        cmp -s -n "$(stat -c %s "$emblem")" "$build/icon.ico" "$emblem" ||
        fail "$(basename "$exe") does not carry the emblem as its icon"
done

# The Linux reference for the files.
replay="$main_build/tools/rheotrack-replay"
if [ ! -x "$replay" ]; then
    cmake --build "$main_build" --target rheotrack-replay >/dev/null || fail "building rheotrack-replay"
fi

# A private Wine prefix, made once; each run starts from a clean store.
export WINEPREFIX="$build/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
wineserver -k >/dev/null 2>&1 || true
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    (unset DISPLAY WAYLAND_DISPLAY; timeout 300 wineboot -i) >"$build/wineboot.log" 2>&1 ||
        skip "wine cannot set up a prefix here ($(tail -n 1 "$build/wineboot.log"))"
fi
(
    unset DISPLAY WAYLAND_DISPLAY
    wine reg delete 'HKLM\Software\Kavrel' /f
    # Hours in 24-hour form, so the event log's date and time are two words as on Linux.
    wine reg add 'HKCU\Control Panel\International' /v sTimeFormat /d HH:mm:ss /f
    wine reg add 'HKCU\Control Panel\International' /v sShortDate /d dd/MM/yyyy /f
    # Text files open in Notepad, as on a Windows desktop (Wine's own prefix lacks the link).
    wine reg add 'HKCR\.txt' /ve /d txtfile /f
) >/dev/null 2>&1

# The installer, silent: Program Files, the Start-menu shortcut, the uninstaller.
installed="$WINEPREFIX/drive_c/Program Files/RHEOTRACKPANEL"
(unset DISPLAY WAYLAND_DISPLAY; timeout 120 wine "$installer" /S) >/dev/null 2>&1
for f in rheotrackpanel.exe rheotrack-replay.exe rheotrack-sim.exe rheotrack-logger.exe LICENSE.txt \
    Uninstall.exe; do
    [ -f "$installed/$f" ] || { echo "FAILED: the installer left no $f in $installed"; status=1; }
done
find "$WINEPREFIX/drive_c" -path '*Start Menu*' -name 'RHEOTRACKPANEL.lnk' | grep -q . ||
    { echo "FAILED: no Start-menu shortcut"; status=1; }
(unset DISPLAY WAYLAND_DISPLAY; timeout 120 wine "$installed/Uninstall.exe" /S) >/dev/null 2>&1
wait_gone=0
while [ -f "$installed/rheotrackpanel.exe" ] && [ $wait_gone -lt 50 ]; do
    sleep 0.2
    wait_gone=$((wait_gone + 1))
done
[ -f "$installed/rheotrackpanel.exe" ] && { echo "FAILED: the uninstaller left the program"; status=1; }

# The console program is a console one (the window program is not).
subsystem="$(x86_64-w64-mingw32-objdump -p "$folder/rheotrack-logger.exe" | sed -n 's/^Subsystem//p')"
[[ $subsystem == *"(Windows CUI)"* ]] || fail "rheotrack-logger.exe is not a console program"

# The operator's scenes, on the portable folder. Wine's desktop process, started above without a
# display, would keep every later window off the screen: a fresh server starts with the display.
wineserver -k >/dev/null 2>&1
wineserver -w >/dev/null 2>&1
python3 "$root/tests/e2e/windows_scenarios.py" --folder "$folder" --replay "$replay" \
    --prefix "$WINEPREFIX" --artefacts "$build/artefacts" windows || status=1
python3 "$root/tests/e2e/windows_scenarios.py" --folder "$folder" --replay "$replay" \
    --prefix "$WINEPREFIX" --artefacts "$build/artefacts" logger || status=1
echo "Windows program suite: $((SECONDS - started)) s"
exit "$status"
