#!/usr/bin/env bash
# The Debian package from end to end: built with cpack from the build tree, installed on this
# machine, the installed program started on an Xvfb display by an operator (an ordinary user in
# the dialout group), and the package purged again, leaving the machine as it was (a settings
# store that existed before put back).   Usage: package_test.sh BUILD_DIR ARTEFACTS_DIR
# Needs root (dpkg). Exit status 0 passed, 1 failed, 77 skipped (not root, or a tool missing).
set -euo pipefail

build="$(cd "$1" && pwd)"
out="$2"
store=/etc/xdg/rheotrackpanel
port_map=/etc/xdg/rheotrackpanel-ports # the administrator's, root's alone
operator=nobody # an ordinary user, who may use the serial ports (dialout)
other=daemon    # another operator of the same group, who may write the store too

fail() { echo "FAIL: $*"; exit 1; }
skip() { echo "SKIP: $*"; exit 77; }
[ "$(id -u)" -eq 0 ] || skip "installing a package needs root"
for tool in cpack dpkg dpkg-deb Xvfb xdotool socat setpriv; do
    command -v "$tool" >/dev/null || skip "$tool is missing"
done
id "$operator" >/dev/null 2>&1 && id "$other" >/dev/null 2>&1 &&
    getent group dialout >/dev/null || skip "no user $operator or $other, or no group dialout"

rm -rf "$out"
mkdir -p "$out"
out="$(cd "$out" && pwd)"
pids=()
saved_store=""
saved_port_map=""
# What the operator must reach (the line's device names, the home folder) lies outside the build
# tree, whose parents an ordinary user may not be allowed to enter.
operator_dir="$(mktemp -d /tmp/rheo-operator.XXXXXX)"
chmod 755 "$operator_dir"
cleanup() {
    kill "${pids[@]}" 2>/dev/null || true
    dpkg --purge rheotrackpanel >>"$out/dpkg.log" 2>&1 || true
    rm -rf "$operator_dir"
    if [ -n "$saved_store" ]; then
        rm -rf "$store"
        mv "$saved_store" "$store"
    fi
    rm -f "$port_map"
    [ -z "$saved_port_map" ] || mv "$saved_port_map" "$port_map"
}
trap cleanup EXIT
# Polls the command for up to thirty seconds.
await() { for _ in $(seq 300); do "$@" && return 0; sleep 0.1; done; return 1; }

cpack --config "$build/CPackConfig.cmake" -B "$out/deb" >"$out/cpack.log" 2>&1 ||
    { cat "$out/cpack.log"; fail "cpack could not build the package"; }
debs=("$out"/deb/rheotrackpanel_*.deb)
[ "${#debs[@]}" -eq 1 ] && [ -f "${debs[0]}" ] || fail "expected one package: ${debs[*]}"
deb="${debs[0]}"
depends="$(dpkg-deb -f "$deb" Depends)"
for lib in libqt6widgets6 libqt6serialport6 libglib2.0-0 libmosquitto1 libsqlite3-0 fonts-liberation; do
    [[ ", $depends," =~ ,\ $lib[\ ,] ]] || fail "Depends does not name $lib"
done
[[ "$depends" != *libasan* ]] || fail "the package was built with the sanitizers"

dpkg --purge rheotrackpanel >>"$out/dpkg.log" 2>&1 || true
if [ -e "$store" ]; then
    saved_store="$out/store-before"
    mv "$store" "$saved_store"
fi
if [ -e "$port_map" ]; then
    saved_port_map="$out/port-map-before"
    mv "$port_map" "$saved_port_map"
fi
if ! dpkg -i "$deb" >>"$out/dpkg.log" 2>&1; then
    DEBIAN_FRONTEND=noninteractive apt-get -f install -y -qq >>"$out/dpkg.log" 2>&1 ||
        { cat "$out/dpkg.log"; fail "the package does not install"; }
fi
# The program and the two tools in /usr/bin, a desktop entry and its icon.
for path in /usr/bin/rheotrackpanel /usr/bin/rheotrack-replay /usr/bin/rheotrack-sim; do
    [ -x "$path" ] || fail "$path is not installed"
done
grep -qx 'Exec=rheotrackpanel' /usr/share/applications/rheotrackpanel.desktop ||
    fail "no desktop entry that starts rheotrackpanel"
[ -f /usr/share/icons/hicolor/48x48/apps/rheotrackpanel.png ] || fail "no icon"
# The store folder: the dialout group may write it, and its files keep that group.
[ "$(stat -c '%U:%G %a' "$store")" = "root:dialout 2775" ] ||
    fail "$store is $(stat -c '%U:%G %a' "$store"), not root:dialout 2775"

as_operator=(setpriv --reuid="$operator" --regid=nogroup --groups=dialout)
port="$operator_dir/tty-port"
instrument="$operator_dir/tty-instrument"
socat "pty,raw,echo=0,link=$port,group=dialout,mode=660" "pty,raw,echo=0,link=$instrument" &
pids+=($!)
await test -e "$instrument" || fail "socat made no pty pair"
# Port 1 is the cable, mapped by the administrator. The other operator writes the store: the
# stored port as the text "1", and a device line of their own for port 1, a pseudo-terminal they
# hold. The program opens port 1 at start-up from the administrator's map alone, says once that
# the store's device lines are ignored, and stores the port again as a number, which shows that
# it could write the store.
printf '%s\n' '[Software\Kavrel\Quelmar]' "\"Port1\"=\"$port\"" >"$port_map"
chmod 644 "$port_map"
mkdir "$operator_dir/theirs"
chown "$other" "$operator_dir/theirs"
theirs="$operator_dir/theirs/tty"
setpriv --reuid="$other" --regid=nogroup --groups=dialout \
    socat "pty,raw,echo=0,link=$theirs" "pty,raw,echo=0,link=$theirs-instrument" &
pids+=($!)
await test -e "$theirs-instrument" || fail "socat made no pty pair for $other"
setpriv --reuid="$other" --regid=nogroup --groups=dialout sh -c \
    "printf '%s\n' '[Software\\Kavrel\\Quelmar]' '\"Port1\"=\"$theirs\"' '\"Puerto\"=\"1\"' \
    > '$store/settings'" || fail "the other operator cannot write $store"
home="$operator_dir/home"
mkdir -p "$home/run" "$home/work"
chmod 700 "$home/run"
chown -R "$operator:nogroup" "$home"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$out/display" 2>/dev/null &
pids+=($!)
await grep -q '^[0-9]' "$out/display" || fail "Xvfb did not start"
display=":$(head -n1 "$out/display")"
(cd "$home/work" && exec "${as_operator[@]}" env -i PATH=/usr/bin:/bin DISPLAY="$display" \
    HOME="$home" XDG_RUNTIME_DIR="$home/run" LC_ALL=C.UTF-8 QT_QPA_PLATFORM=xcb \
    /usr/bin/rheotrackpanel >"$out/program.log" 2>&1) &
program=$!
pids+=("$program")
shown() { DISPLAY=$display xdotool search --onlyvisible --name '^Incoming data - ' >/dev/null; }
await shown || { cat "$out/program.log"; fail "the installed program shows no window"; }
[ "$(stat -c %U "/proc/$program")" = "$operator" ] || fail "the program does not run as $operator"

# vcfg.txt with its defaults and the event log in the per-user data folder, an empty vlog.txt
# in the folder it was started from; one reading on port 1 starts the event log's run.
data="$home/.local/share/rheotrackpanel"
printf 'csv\r\n,\r\n.\r\n' | cmp -s - "$data/vcfg.txt" || fail "$data/vcfg.txt is not the default"
[ -f "$home/work/vlog.txt" ] && [ ! -s "$home/work/vlog.txt" ] || fail "no empty vlog.txt"
printf '09:59:59   sp: LCP    rpm: 100   T: 27.5C\rcP: 00001250\r %%: 10.2\r' >"$theirs-instrument"
sleep 2
! grep -qs 'Start of process' "$data/vlog.txt" || fail "the other operator's device was opened"
printf '10:00:00   sp: LCP    rpm: 100   T: 27.5C\rcP: 00001250\r %%: 10.2\r' >"$instrument"
await grep -q 'Start of process' "$data/vlog.txt" 2>/dev/null ||
    fail "no reading from port 1 in $data/vlog.txt: the stored port was not opened"
grep -q "Port map ignored::$store/settings" "$data/vlog.txt" ||
    fail "the store's device line was not reported as ignored: $(cat "$data/vlog.txt")"
[ "$(grep -c 'Port map ignored' "$data/vlog.txt")" = 1 ] || fail "more than one line on the store"
grep -q '^"Puerto"=dword:00000001$' "$store/settings" ||
    fail "the program did not store port 1: $(cat "$store/settings")"
[ "$(stat -c %G "$store/settings")" = dialout ] || fail "the store file left group dialout"

kill "$program"
wait "$program" || true
dpkg --purge rheotrackpanel >>"$out/dpkg.log" 2>&1 || fail "the package does not purge"
[ ! -e /usr/bin/rheotrackpanel ] && [ ! -e "$store" ] || fail "files left behind by the purge"
echo "PASS package"
