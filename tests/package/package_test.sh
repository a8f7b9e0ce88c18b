#!/usr/bin/env bash
# The Debian package from end to end: built with cpack from the build tree, its contents and
# control fields checked, installed on this machine, the installed program started on an Xvfb
# display by an operator (an ordinary user in the dialout group), and the package purged again.
#
#   package_test.sh BUILD_DIR ARTEFACTS_DIR
#
# Needs root (dpkg). Exit status 0 passed, 1 failed, 77 skipped (not root, or a tool missing).
# The machine is left as it was: the package purged, a settings store that existed before put
# back.
set -euo pipefail

build="$(cd "$1" && pwd)"
out="$2"
store=/etc/xdg/rheotrackpanel
operator=nobody            # an ordinary user ...
operator_group=nogroup
operator_extra=dialout     # ... who may use the serial ports

step() { echo "-- $*"; }
fail() {
    echo "FAIL: $*"
    exit 1
}
skip() {
    echo "SKIP: $*"
    exit 77
}

[ "$(id -u)" -eq 0 ] || skip "installing a package needs root"
for tool in cpack dpkg dpkg-deb Xvfb xdotool socat import setpriv; do
    command -v "$tool" >/dev/null || skip "$tool is missing"
done
id "$operator" >/dev/null 2>&1 || skip "no user $operator to play the operator"
getent group "$operator_extra" >/dev/null || skip "no group $operator_extra"

rm -rf "$out"
mkdir -p "$out"
out="$(cd "$out" && pwd)"

pids=()
saved_store=""
# What the operator must reach (the line's device names, the home folder) lies outside the build
# tree, whose parents an ordinary user may not be allowed to enter.
operator_dir="$(mktemp -d /tmp/rheo-operator.XXXXXX)"
chmod 755 "$operator_dir"
cleanup() {
    local pid
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    if dpkg -s rheotrackpanel >/dev/null 2>&1; then
        dpkg --purge rheotrackpanel >>"$out/dpkg.log" 2>&1 || true
    fi
    rm -rf "$operator_dir"
    if [ -n "$saved_store" ]; then
        rm -rf "$store"
        mv "$saved_store" "$store"
    fi
}
trap cleanup EXIT

# ---- Build ----------------------------------------------------------------------------------
step "cpack"
cpack --config "$build/CPackConfig.cmake" -B "$out/deb" >"$out/cpack.log" 2>&1 ||
    { cat "$out/cpack.log"; fail "cpack could not build the package"; }
shopt -s nullglob
debs=("$out"/deb/rheotrackpanel_*.deb)
shopt -u nullglob
[ "${#debs[@]}" -eq 1 ] || fail "expected one package, found: ${debs[*]:-none}"
deb="${debs[0]}"
echo "   $deb"

# ---- Contents -------------------------------------------------------------------------------
step "contents"
dpkg-deb -c "$deb" >"$out/contents.txt"
for path in ./usr/bin/rheotrackpanel ./usr/bin/rheotrack-replay ./usr/bin/rheotrack-sim \
    ./usr/share/applications/rheotrackpanel.desktop \
    ./usr/share/icons/hicolor/16x16/apps/rheotrackpanel.png \
    ./usr/share/icons/hicolor/32x32/apps/rheotrackpanel.png \
    ./usr/share/icons/hicolor/48x48/apps/rheotrackpanel.png \
    ./usr/share/icons/hicolor/128x128/apps/rheotrackpanel.png; do
    grep -q " ${path}\$" "$out/contents.txt" || fail "the package lacks $path"
done
grep ' ./usr/bin/' "$out/contents.txt" | grep -v '^-rwxr-xr-x root/root ' | grep -v '/$' &&
    fail "programs not owned by root or not mode 0755"
if grep -v ' ./usr/$\| ./usr/bin/\| ./usr/share/' "$out/contents.txt"; then
    fail "files outside /usr/bin and /usr/share"
fi

version="$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")"
[ "$(dpkg-deb -f "$deb" Package)" = rheotrackpanel ] || fail "package name"
[ "$(dpkg-deb -f "$deb" Version)" = "$version-1" ] || fail "version $(dpkg-deb -f "$deb" Version), not $version-1"
[ -n "$(dpkg-deb -f "$deb" Maintainer)" ] || fail "no maintainer"
depends="$(dpkg-deb -f "$deb" Depends)"
echo "   Depends: $depends"
for lib in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6serialport6 fonts-liberation; do
    [[ ", $depends," == *", $lib "* || ", $depends," == *", $lib,"* ]] ||
        fail "Depends does not name $lib"
done
[[ "$depends" != *libasan* && "$depends" != *libubsan* ]] ||
    fail "the package was built with the sanitizers"
dpkg-deb -I "$deb" postinst >"$out/postinst" || fail "no postinst"
grep -q 'dialout' "$out/postinst" || fail "postinst does not give the store to dialout"

mkdir -p "$out/extracted"
dpkg-deb -x "$deb" "$out/extracted"
desktop="$out/extracted/usr/share/applications/rheotrackpanel.desktop"
grep -qx 'Exec=rheotrackpanel' "$desktop" || fail "desktop entry does not start rheotrackpanel"
grep -qx 'Icon=rheotrackpanel' "$desktop" || fail "desktop entry has no icon"
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$desktop" || fail "desktop entry not valid"
fi

# ---- Install --------------------------------------------------------------------------------
step "install"
if dpkg -s rheotrackpanel >/dev/null 2>&1; then
    echo "   an earlier rheotrackpanel is installed: purging it first"
    dpkg --purge rheotrackpanel >>"$out/dpkg.log" 2>&1
fi
if [ -e "$store" ]; then
    saved_store="$out/store-before"
    mv "$store" "$saved_store"
fi
if ! dpkg -i "$deb" >>"$out/dpkg.log" 2>&1; then
    DEBIAN_FRONTEND=noninteractive apt-get -f install -y -qq >>"$out/dpkg.log" 2>&1 ||
        { cat "$out/dpkg.log"; fail "the package does not install"; }
fi
dpkg -s rheotrackpanel | grep -q '^Status: install ok installed' || fail "not installed"
[ -x /usr/bin/rheotrackpanel ] || fail "/usr/bin/rheotrackpanel missing"
[ "$(stat -c '%U:%G %a' "$store")" = "root:dialout 2775" ] ||
    fail "$store is $(stat -c '%U:%G %a' "$store"), not root:dialout 2775"

# An operator in dialout may write the store; a user outside it may not.
as_operator() {
    setpriv --reuid="$operator" --regid="$operator_group" --groups="$operator_extra" "$@"
}
setpriv --reuid="$operator" --regid="$operator_group" --clear-groups \
    touch "$store/outsider" 2>/dev/null && fail "a user outside dialout can write $store"

# ---- Run the installed program as the operator ----------------------------------------------
step "run the installed program"
ln_port="$operator_dir/tty-port"
ln_instrument="$operator_dir/tty-instrument"
socat -d -d "pty,raw,echo=0,link=$ln_port,group=dialout,mode=660" \
    "pty,raw,echo=0,link=$ln_instrument" >"$out/socat.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do
    [ -e "$ln_port" ] && [ -e "$ln_instrument" ] && break
    sleep 0.1
done
[ -e "$ln_port" ] || fail "socat made no pty pair"

# Port 1 is the cable; the stored port is the text "1", as written by hand. The program opens it
# at start-up and stores it again as a number, which shows that it could write the store.
as_operator sh -c "printf '%s\n' '[Software\\Kavrel\\Quelmar]' '\"Port1\"=\"$ln_port\"' \
    '\"Puerto\"=\"1\"' > '$store/settings'" || fail "the operator cannot write $store"
[ "$(stat -c %G "$store/settings")" = dialout ] || fail "the store file is not in group dialout"

home="$operator_dir/home"
mkdir -p "$home/data" "$home/run" "$home/work"
chmod 700 "$home/run"
chown -R "$operator:$operator_group" "$home"

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$out/display" >"$out/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do
    grep -q '^[0-9]' "$out/display" 2>/dev/null && break
    sleep 0.1
done
display=":$(head -n1 "$out/display")"
[ "$display" != ":" ] || fail "Xvfb did not start"

(cd "$home/work" && as_operator env -i PATH=/usr/bin:/bin DISPLAY="$display" HOME="$home" \
    XDG_DATA_HOME="$home/data" XDG_RUNTIME_DIR="$home/run" LANG=C.UTF-8 LC_ALL=C.UTF-8 \
    QT_QPA_PLATFORM=xcb /usr/bin/rheotrackpanel >"$out/program.log" 2>&1) &
program_shell=$!
pids+=($program_shell)

found=""
for _ in $(seq 150); do
    found="$(DISPLAY=$display xdotool search --onlyvisible --name '^Incoming data - ' 2>/dev/null || true)"
    [ -n "$found" ] && break
    sleep 0.2
done
[ -n "$found" ] || { cat "$out/program.log"; fail "the installed program shows no monitor window"; }
pid="$(DISPLAY=$display xdotool getwindowpid "$found")"
pids+=("$pid")
[ "$(stat -c %U "/proc/$pid")" = "$operator" ] || fail "the program does not run as $operator"

data="$home/data/rheotrackpanel"
printf 'csv\r\n,\r\n.\r\n' >"$out/vcfg-default"
cmp -s "$data/vcfg.txt" "$out/vcfg-default" ||
    fail "$data/vcfg.txt is not the 11 default bytes"
[ -f "$home/work/vlog.txt" ] && [ ! -s "$home/work/vlog.txt" ] ||
    fail "no empty vlog.txt in the working folder"
[ ! -e /usr/bin/vcfg.txt ] && [ ! -e /usr/bin/vlog.txt ] || fail "files written into /usr/bin"

# One reading on port 1: the event log starts its run in the per-user data folder.
printf '10:00:00   sp: LCP    rpm: 100   T: 27.5C\rcP: 00001250\r %%: 10.2\r' >"$ln_instrument"
for _ in $(seq 100); do
    grep -q 'Start of process' "$data/vlog.txt" 2>/dev/null && break
    sleep 0.1
done
grep -q 'Start of process' "$data/vlog.txt" 2>/dev/null ||
    fail "no reading from port 1 in $data/vlog.txt: the stored port was not opened"
grep -q '^"Puerto"=dword:00000001$' "$store/settings" ||
    fail "the program did not store port 1: $(cat "$store/settings")"
[ "$(stat -c %G "$store/settings")" = dialout ] || fail "the rewritten store left group dialout"
DISPLAY=$display import -window root "$out/installed-program.png" || true
ls -l "$data" "$home/work"

kill "$pid"
wait "$program_shell" 2>/dev/null || true

# ---- Remove ---------------------------------------------------------------------------------
step "purge"
dpkg --purge rheotrackpanel >>"$out/dpkg.log" 2>&1 || fail "the package does not purge"
[ ! -e /usr/bin/rheotrackpanel ] || fail "/usr/bin/rheotrackpanel left behind"
[ ! -e /usr/share/applications/rheotrackpanel.desktop ] || fail "desktop entry left behind"
[ ! -e "$store" ] || fail "$store left behind by the purge"
echo "PASS package"
