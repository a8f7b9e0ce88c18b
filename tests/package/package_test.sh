#!/usr/bin/env bash
# The Debian package from end to end: built with cpack from the build tree and checked by
# lintian, installed on this machine, the installed program started on an Xvfb display by an
# operator (an ordinary user in the dialout group), the logger service's unit checked and two of
# its instances run as the unit runs them, and the package purged again, leaving the machine as
# it was (a settings store that existed before put back).
# Usage: package_test.sh BUILD_DIR ARTEFACTS_DIR
# Needs root (dpkg). Exit status 0 passed, 1 failed, 77 skipped (not root, or a tool missing).
set -euo pipefail

build="$(cd "$1" && pwd)"
store=/etc/xdg/rheotrackpanel
port_map=/etc/xdg/rheotrackpanel-ports # the administrator's, root's alone
operator=nobody # an ordinary user, who may use the serial ports (dialout)
other=daemon    # another operator of the same group, who may write the store too

fail() { echo "FAIL: $*"; exit 1; }
skip() { echo "SKIP: $*"; exit 77; }
[ "$(id -u)" -eq 0 ] || skip "installing a package needs root"
for tool in cpack dpkg dpkg-deb Xvfb xdotool socat setpriv lintian systemd-analyze; do
    command -v "$tool" >/dev/null || skip "$tool is missing"
done
id "$operator" >/dev/null 2>&1 && id "$other" >/dev/null 2>&1 &&
    getent group dialout >/dev/null || skip "no user $operator or $other, or no group dialout"

rm -rf "$2" && mkdir -p "$2" && out="$(cd "$2" && pwd)"
pids=()
saved="$out/before" # the store and the port map as they were, put back at the end
had_user="$(id -u rheotrack 2>/dev/null || true)"
# What the operator must reach (the line's device names, the home folder) lies outside the build
# tree, whose parents an ordinary user may not be allowed to enter.
operator_dir="$(mktemp -d /tmp/rheo-operator.XXXXXX)"
chmod 755 "$operator_dir"
cleanup() {
    kill "${pids[@]}" 2>/dev/null || true
    rm -f /etc/rheotrackpanel/logger/test-bench?.conf
    dpkg --purge rheotrackpanel >>"$out/dpkg.log" 2>&1 || true
    rm -rf "$operator_dir"
    rm -f "$port_map"
    for f in "$store" "$port_map"; do
        [ ! -e "$saved/${f##*/}" ] || { rm -rf "$f" && mv "$saved/${f##*/}" "$f"; }
    done
    rm -rf /var/lib/rheotrackpanel/test-bench1 /var/lib/rheotrackpanel/test-bench2
    rmdir /var/lib/rheotrackpanel 2>/dev/null || true
    [ -n "$had_user" ] || userdel rheotrack 2>/dev/null || true
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
lintian --fail-on error,warning "$deb" >"$out/lintian.log" 2>&1 ||
    { cat "$out/lintian.log"; fail "lintian finds errors or warnings in the package"; }

dpkg --purge rheotrackpanel >>"$out/dpkg.log" 2>&1 || true
mkdir "$saved"
for f in "$store" "$port_map"; do [ ! -e "$f" ] || mv "$f" "$saved/"; done
if ! dpkg -i "$deb" >>"$out/dpkg.log" 2>&1; then
    DEBIAN_FRONTEND=noninteractive apt-get -f install -y -qq >>"$out/dpkg.log" 2>&1 ||
        { cat "$out/dpkg.log"; fail "the package does not install"; }
fi
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
# stored port as the text "1". The program opens port 1 at start-up and stores the port again as
# a number, which shows that it could write the store. (Device lines in the store are ignored:
# PortMapTest.)
printf '%s\n' '[Software\Kavrel\Quelmar]' "\"Port1\"=\"$port\"" >"$port_map"
chmod 644 "$port_map"
setpriv --reuid="$other" --regid=nogroup --groups=dialout sh -c \
    "printf '%s\n' '[Software\\Kavrel\\Quelmar]' '\"Puerto\"=\"1\"' > '$store/settings'" ||
    fail "the other operator cannot write $store"
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
printf '10:00:00   sp: LCP    rpm: 100   T: 27.5C\rcP: 00001250\r %%: 10.2\r' >"$instrument"
await grep -q 'Start of process' "$data/vlog.txt" 2>/dev/null ||
    fail "no reading from port 1 in $data/vlog.txt: the stored port was not opened"
grep -q '^"Puerto"=dword:00000001$' "$store/settings" ||
    fail "the program did not store port 1: $(cat "$store/settings")"
[ "$(stat -c %G "$store/settings")" = dialout ] || fail "the store file left group dialout"

kill "$program"
wait "$program" || true

# The logger service: its unit well-formed and hardened, its user, its example options.
unit=/usr/lib/systemd/system/rheotrack-logger@.service
[ -f "$unit" ] && [ -f /etc/rheotrackpanel/logger/example.conf ] || fail "no unit or example"
[ "$(id -gn rheotrack 2>/dev/null)" = dialout ] || fail "no user rheotrack in group dialout"
for page in rheotrackpanel rheotrack-replay rheotrack-sim rheotrack-logger; do
    [ -f "/usr/share/man/man1/$page.1.gz" ] || fail "no manual page for $page"
done
# systemd-analyze verify wants the program to exist; until the package holds it, a stub.
checked="$operator_dir/rheotrack-logger@bench1.service"
logger=/usr/bin/rheotrack-logger
if [ ! -x "$logger" ]; then
    logger="$operator_dir/stub-logger"
    printf '#!/bin/sh\n' >"$logger"
    chmod 755 "$logger"
fi
sed "s|/usr/bin/rheotrack-logger|$logger|" "$unit" >"$checked"
systemd-analyze verify "$checked" >"$out/verify.log" 2>&1 ||
    { cat "$out/verify.log"; fail "systemd-analyze verify rejects the unit"; }
systemd-analyze security --offline=yes "$unit" >"$out/security.log" 2>&1 || true
exposure="$(sed -n 's/.*Overall exposure level for [^:]*: \([0-9.]*\).*/\1/p' "$out/security.log")"
[ -n "$exposure" ] && awk "BEGIN { exit !($exposure <= 2.5) }" ||
    { cat "$out/security.log"; fail "the unit's exposure is ${exposure:-unknown}, above 2.5"; }
echo "logger service unit: exposure $exposure"

# Two instances on two lines, each started as systemd starts it (systemd cannot run here): the
# unit's ExecStart line with its specifiers and the instance's options filled in, as user
# rheotrack and group dialout, with the manager's environment, in a state folder made as
# StateDirectory= makes it; SIGTERM ends each, leaving whole rows in its own daily file.
if [ ! -x /usr/bin/rheotrack-logger ]; then
    echo "two logger instances: the package holds no /usr/bin/rheotrack-logger yet" |
        tee "$out/skipped.txt"
else
    start_instance() { # NAME DEVICE
        local name=$1 state=/var/lib/rheotrackpanel/$1 word words=() command=()
        printf 'RHEOTRACK_LOGGER_OPTIONS="--device %s --quiet"\n' "$2" \
            >"/etc/rheotrackpanel/logger/$name.conf"
        local options
        options="$(sed -n 's/^RHEOTRACK_LOGGER_OPTIONS="\(.*\)"$/\1/p' \
            "/etc/rheotrackpanel/logger/$name.conf")"
        install -d -o rheotrack -g dialout -m 0750 "$state"
        read -ra words <<<"$(sed -n 's/^ExecStart=//p' "$unit")"
        for word in "${words[@]}"; do
            word="${word//%S//var/lib}"
            if [ "$word" = '$RHEOTRACK_LOGGER_OPTIONS' ]; then
                read -ra split <<<"$options"
                command+=("${split[@]}")
            else
                command+=("${word//%i/$name}")
            fi
        done
        (cd "$state" && exec setpriv --reuid=rheotrack --regid=dialout --clear-groups \
            env -i PATH=/usr/sbin:/usr/bin HOME="$(getent passwd rheotrack | cut -d: -f6)" \
            USER=rheotrack LOGNAME=rheotrack \
            STATE_DIRECTORY="$state" RHEOTRACK_LOGGER_OPTIONS="$options" "${command[@]}" \
            2>"$out/$name.stderr") &
        pids+=($!)
        instances+=($!)
    }
    instances=()
    for n in 1 2; do
        socat "pty,raw,echo=0,link=$operator_dir/line$n,group=dialout,mode=660" \
            "pty,raw,echo=0,link=$operator_dir/line$n-instrument" &
        pids+=($!)
        await test -e "$operator_dir/line$n-instrument" || fail "socat made no pair $n"
        start_instance "test-bench$n" "$operator_dir/line$n"
        pty="$(readlink -f "$operator_dir/line$n")"
        holds() { ls -l "/proc/$1/fd" 2>/dev/null | grep -q " $2\$"; }
        await holds "${instances[-1]}" "$pty" || fail "instance $n did not open its line"
    done
    for n in 1 2; do
        for s in 01 02 03; do
            printf '1%s:00:%s   sp: LCP    rpm: 100   T: 27.5C\rcP: 00001250\r %%: 10.2\r' \
                "$n" "$s" >"$operator_dir/line$n-instrument"
        done
    done
    rows() { cat "/var/lib/rheotrackpanel/test-bench$1"/test-bench$1_*.csv 2>/dev/null |
        grep -c ":00:0[123]" || true; }
    all_rows() { [ "$(rows 1)" = 3 ] && [ "$(rows 2)" = 3 ]; }
    await all_rows ||
        fail "the instances wrote $(rows 1) and $(rows 2) rows of 3: $(cat "$out"/*.stderr)"
    kill -TERM "${instances[@]}"
    for pid in "${instances[@]}"; do
        wait "$pid" || fail "an instance did not end with exit status 0 on SIGTERM"
    done
    for n in 1 2; do
        state=/var/lib/rheotrackpanel/test-bench$n
        files=("$state"/test-bench${n}_"$(date +%Y-%m-%d)".csv)
        [ -f "${files[0]}" ] && [ "$(stat -c %U "${files[0]}")" = rheotrack ] ||
            fail "no daily file of test-bench$n made by rheotrack: $(ls -l "$state")"
        [ "$(grep -c "^[^,]*,1${n}:00:0[123],.*$(printf '\r')\$" "${files[0]}")" = 3 ] &&
            ! grep -q "1$((3 - n)):00:0" "${files[0]}" ||
            fail "test-bench$n's file does not hold its own three rows whole"
        [ -f "$state/vlog.txt" ] || fail "no event log of test-bench$n"
        rm -f "/etc/rheotrackpanel/logger/test-bench$n.conf"
    done
fi
dpkg --purge rheotrackpanel >>"$out/dpkg.log" 2>&1 || fail "the package does not purge"
[ ! -e /usr/bin/rheotrackpanel ] && [ ! -e "$store" ] && [ ! -e "$unit" ] &&
    [ ! -e /etc/rheotrackpanel ] || fail "files left behind by the purge"
echo "PASS package"
