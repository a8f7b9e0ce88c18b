#!/usr/bin/env python3
"""The Windows program under Wine while a faulty instrument floods its line: a socat
pseudo-terminal pair as COM1, random bytes written to it as fast as the line takes them for a
while, the program's processor time and peak memory over that time, and how long the monitor
window takes to open its context menu, again and again meanwhile and once after.
    windows_flood.py --folder FOLDER [--prefix WINEPREFIX] [--seconds 30] [--artefacts DIR]
FOLDER holds rheotrackpanel.exe (the unpacked portable zip, or the src folder of the
windows-cross build). The prefix is made when it does not exist yet."""

import argparse
import os
import re
import select
import statistics
import subprocess
import sys
import threading
import time

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
from e2e_support import MAIN_PREFIX, check, proc_stat, wait_for  # noqa: E402
from windows_scenarios import WineRig  # noqa: E402


def program_pid(rig):
    """The Linux process that runs this rig's rheotrackpanel.exe (in its own prefix)."""
    pids = subprocess.run(["pgrep", "-f", r"rheotrackpanel\.exe"], capture_output=True,
                          text=True).stdout.split()
    ours = []
    for pid in map(int, pids):
        try:
            environ = open("/proc/%d/environ" % pid, "rb").read().split(b"\0")
        except OSError:
            continue
        if ("WINEPREFIX=" + rig.prefix).encode() in environ:
            ours.append(pid)
    check(ours, "no process runs rheotrackpanel.exe in " + rig.prefix)
    return min(ours)


def peak_kib(pid):
    status = open("/proc/%d/status" % pid).read()
    return int(re.search(r"VmHWM:\s+(\d+) kB", status).group(1))


def menu_seconds(rig, process, limit=90):
    """From moving the pointer over the reading list (xdotool waits until the pointer is seen
    there) and the right click to the context menu on the screen, and from the Escape key to
    the menu gone: the longer of the two. The pointer goes to a new place every time: to the
    place where it is already, xdotool's --sync waits some 15 s for a move that never comes."""
    others = lambda: [w for w in rig.windows(process) if not w[0].startswith(MAIN_PREFIX)]
    main = rig.main_window(process, 5)
    rig.moves = getattr(rig, "moves", 0) + 1
    started = time.monotonic()
    rig.x("mousemove", "--window", main, "--sync", 200 + rig.moves % 2 * 80, 200)
    rig.x("click", 3)
    wait_for(others, limit, "the command menu")
    opened = time.monotonic() - started
    started = time.monotonic()
    rig.x("key", "Escape")
    wait_for(lambda: not others(), limit, "the command menu to close")
    return max(opened, time.monotonic() - started)


def flood(fd, seconds, sent):
    """Random bytes for the given time, as fast as the line takes them; sent[0] counts them."""
    os.set_blocking(fd, False)
    end = time.monotonic() + seconds
    data = b""
    while time.monotonic() < end:
        if not data:
            data = os.urandom(1 << 16)
        if select.select([], [fd], [], 0.1)[1]:
            try:
                n = os.write(fd, data)
            except BlockingIOError:
                continue
            sent[0] += n
            data = data[n:]


def measure(rig, seconds):
    rig.plug_cable()
    check(rig.wine("reg", "add", r"HKLM\Software\Kavrel\Quelmar", "/v", "Puerto", "/t",
                   "REG_DWORD", "/d", "1", "/f").returncode == 0, "wine reg add Puerto")
    process = rig.start_program()
    wait_for(lambda: rig.window(process, "Acerca de..."), 60, "the splash window")
    rig.main_window(process, 60)
    quiet = menu_seconds(rig, process)
    pid = program_pid(rig)
    cpu, before_kib = proc_stat(pid)
    sent = [0]
    writer = threading.Thread(target=flood, args=(rig.instrument, seconds, sent))
    started = time.monotonic()
    writer.start()
    answers = []
    while writer.is_alive():
        time.sleep(1)
        if time.monotonic() - started < seconds - 1:
            answers.append(menu_seconds(rig, process))
    writer.join()
    cpu = proc_stat(pid)[0] - cpu
    peak = peak_kib(pid)
    after = menu_seconds(rig, process)
    rig.quit(process)
    print("flood: %.1f MB of random bytes in %.0f s taken by the line (%.2f MB/s)"
          % (sent[0] / 1e6, seconds, sent[0] / 1e6 / seconds))
    print("processor time of the program over the flood: %.1f s" % cpu)
    print("resident memory: %d KiB before the flood, peak %d KiB" % (before_kib, peak))
    print("context menu: %.2f s before the flood; during it (%d times) median %.2f s, worst "
          "%.2f s; %.2f s after it" % (quiet, len(answers), statistics.median(answers or [0]),
                                       max(answers or [0]), after))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--folder", required=True)
    parser.add_argument("--prefix", default=os.path.join(os.getcwd(), "build", "flood-prefix"))
    parser.add_argument("--seconds", type=float, default=30)
    parser.add_argument("--artefacts", default=os.path.join(os.getcwd(), "build", "flood"))
    args = parser.parse_args()
    args.prefix = os.path.abspath(args.prefix)
    env = dict(os.environ, WINEPREFIX=args.prefix, WINEDEBUG="-all",
               WINEDLLOVERRIDES="mscoree,mshtml=")
    for variable in ("DISPLAY", "WAYLAND_DISPLAY"):
        env.pop(variable, None)
    if not os.path.exists(os.path.join(args.prefix, "system.reg")):
        subprocess.run(["wineboot", "-i"], env=env, capture_output=True, timeout=300, check=True)
    # A fresh server, started by the program with its display.
    subprocess.run(["wineserver", "-k"], env=env, capture_output=True)
    subprocess.run(["wineserver", "-w"], env=env, capture_output=True)
    rig = WineRig("flood", args)
    try:
        measure(rig, args.seconds)
    finally:
        rig.close()
        subprocess.run(["wineserver", "-k"], env=env, capture_output=True)


if __name__ == "__main__":
    main()
