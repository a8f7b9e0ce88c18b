#!/usr/bin/env python3
"""The Windows program under Wine, driven as an operator does, for what only Windows shows: the
portable rheotrackpanel.exe on its own Xvfb display and Wine prefix, the stored port in
HKEY_LOCAL_MACHINE, a socat pseudo-terminal pair as COM1 (its far end as COM2).
    windows_scenarios.py --folder PORTABLE --replay LINUX_REPLAY --prefix WINEPREFIX
                         --artefacts DIR windows"""

import os
import shutil
import subprocess
import sys
import time

sys.dont_write_bytecode = True  # keep the source folder clean
import e2e_support
from e2e_support import (BOX_TITLE, MAIN_PREFIX, NO_FILE_CAPTION, TREND_PREFIX, capture, check,
                         log_events, proc_stat, read_bytes, replay, row_count, wait_for)

NOISE = b"\x00\xff#!\x15garbage 12:3\r\xba\x80\r"  # line noise between messages


class WineRig(e2e_support.Rig):
    """A copy of the portable folder, a display of its own, the caller's Wine prefix."""

    def place_program(self, args):
        self.prefix = os.path.abspath(args.prefix)
        self.app = self.path("app")
        shutil.copytree(args.folder, self.app)
        self.sessions = os.path.join(self.prefix, "drive_c", "sessions")
        shutil.rmtree(self.sessions, ignore_errors=True)
        os.makedirs(self.sessions)

    def command(self):
        env = {k: v for k, v in os.environ.items() if not k.startswith(
            ("XDG_", "QT_", "DESKTOP_", "DBUS_", "WAYLAND_"))}
        env.update(DISPLAY=self.display, WINEPREFIX=self.prefix, WINEDEBUG="-all",
                   WINEDLLOVERRIDES="mscoree,mshtml=")
        return ["wine", os.path.join(self.app, "rheotrackpanel.exe")], env

    def wine(self, *args):
        return subprocess.run(["wine"] + list(args), env=self.command()[1], capture_output=True,
                              timeout=120)

    def windows(self, process):
        """Named visible windows on the display, which holds the program's alone (under Wine)."""
        return [w for w in super().windows(None) if w[0]]

    def plug_cable(self):
        super().plug_cable()
        # Wine links com1 to /dev/ttyS0 unless the registry names another device: both are set.
        for port, end in (("COM1", self.port_device), ("COM2", self.instrument_device)):
            device = os.path.realpath(end)
            check(self.wine("reg", "add", r"HKLM\Software\Wine\Ports", "/v", port, "/t",
                            "REG_SZ", "/d", device, "/f").returncode == 0, "wine reg add " + port)
            link = os.path.join(self.prefix, "dosdevices", port.lower())
            if os.path.lexists(link):
                os.remove(link)
            os.symlink(device, link)


def program_cpu_seconds():
    """CPU time of the Linux process that runs rheotrackpanel.exe (behind Wine's launcher)."""
    pids = subprocess.run(["pgrep", "-f", r"rheotrackpanel\.exe"], capture_output=True,
                          text=True).stdout.split()
    check(pids, "no process runs rheotrackpanel.exe")
    return proc_stat(min(map(int, pids)))[0]


def trend_shows_readings(rig, process):
    """The trend window from the command menu, captioned with the session in Windows form, draws
    the readings: the viscosity curve's colour is on its picture (README). It stays open."""
    rig.menu(process, "t")  # Ver &Tendencia
    title = TREND_PREFIX + r"C:\sessions\run1.csv"
    trend = wait_for(lambda: rig.window(process, title), 30, "the window " + title)[1]
    time.sleep(1)  # the next redraw, at most a tenth of a second away, and Wine's painting
    rig.picture("trend-window-windows", trend)
    picture = rig.path("%02d-trend-window-windows.png" % rig.pictures)
    histogram = subprocess.run(["convert", picture, "-format", "%c", "histogram:info:-"],
                               capture_output=True, text=True, timeout=30).stdout
    drawn = sum(int(line.split(":")[0]) for line in histogram.splitlines()
                if "#1F5FA8" in line.upper())
    check(drawn > 100, "the viscosity curve is not on the trend window (%d pixels)" % drawn)


def windows_scene(rig, args):
    """Port 1 from the registry opened at start-up; a session with the caption in Windows form,
    fed every error word, both unit systems and line noise, its file and log byte for byte the
    Linux rheotrack-replay's; the trend window drawing them; the log viewer; rheotrack-sim.exe on COM2; a second copy refused;
    the adapter pulled (idle, responsive) and, COM1 linked to it again, opened again by itself."""
    rig.plug_cable()
    check(rig.wine("reg", "add", r"HKLM\Software\Kavrel\Quelmar", "/v", "Puerto", "/t",
                   "REG_DWORD", "/d", "1", "/f").returncode == 0, "wine reg add Puerto")
    process = rig.start_program()
    wait_for(lambda: rig.window(process, "Acerca de..."), 60, "the splash window")
    rig.main_window(process, 30)
    check(rig.caption(process) == NO_FILE_CAPTION, "caption %r" % rig.caption(process))
    check(not rig.window(process, BOX_TITLE), "a message at start-up (port 1 did not open?)")

    rig.new_session(process, r"C:\sessions\run1")  # the caption in Windows form
    session_file = os.path.join(rig.sessions, "run1.csv")
    data = b"".join(capture(i, 1) + (NOISE if i % 7 == 3 else b"") for i in range(40))
    rig.send(data)
    wait_for(lambda: row_count(session_file) == 41, 60, "41 lines in the session file")
    rig.picture("main-window-windows", rig.main_window(process, 5))  # as the README shows it
    trend_shows_readings(rig, process)
    content = read_bytes(session_file)
    expected, expected_log = replay(args.replay, data, rig.base, content)
    check(content == expected, "the session file differs from rheotrack-replay's")
    log = os.path.join(rig.app, "vlog.txt")
    check(log_events(read_bytes(log)) == log_events(expected_log),
          "vlog.txt differs from rheotrack-replay's")

    # The log in the desktop's viewer, the program going on meanwhile.
    rig.menu(process, "l")
    viewer = wait_for(lambda: rig.window(process, "vlog"), 30, "the log viewer")
    rig.picture("log-viewer")
    rig.x("windowkill", viewer[1], check_rc=False)
    # The Windows simulator plays the instrument on the other end of the cable, COM2.
    sim = rig.wine(os.path.join(rig.app, "rheotrack-sim.exe"), "--device", "COM2", "--count",
                   "2", "--interval", "200", "--time", "12:34:56")
    check(sim.returncode == 0, "rheotrack-sim.exe on COM2: %r" % sim.stderr[-300:])
    wait_for(lambda: row_count(session_file) == 43, 20, "the simulator's two rows")
    check(read_bytes(session_file).count(b",12:34:56,") == 2, "the simulator's rows differ")

    # A second copy shows its refusal (given the keyboard: Wine without a window manager leaves
    # the focus where it was) and ends; the first goes on.
    second = rig.start_program("second")
    box = wait_for(lambda: rig.window(second, BOX_TITLE), 60, "the refusal of a second copy")
    rig.x("windowfocus", "--sync", box[1], check_rc=False)
    rig.x("key", "Return")
    check(second.wait(30) == 0, "the second copy did not end with 0")

    rig.pull_cable()
    wait_for(lambda: log_events(read_bytes(log))[-1:] == [b"Port lost::1"], 15,
             'the line "Port lost::1"')
    cpu = program_cpu_seconds()
    time.sleep(3)
    cpu = program_cpu_seconds() - cpu
    check(cpu < 0.5, "the program used %.2f s of CPU in 3 s without the adapter" % cpu)
    rig.menu(process, "Escape")  # it answers
    rig.picture("adapter-pulled")
    check(rig.caption(process) == MAIN_PREFIX + r"C:\sessions\run1.csv", "the session was dropped")
    rig.plug_cable()
    wait_for(lambda: log_events(read_bytes(log))[-1:] == [b"Port back::1"], 15,
             'the line "Port back::1"')
    rig.send(capture(40, 2))
    wait_for(lambda: row_count(session_file) == 45, 20, "two rows after the adapter is back")
    rig.quit(process)
    check(read_bytes(session_file).startswith(content), "rows written earlier changed")


if __name__ == "__main__":
    sys.exit(e2e_support.main({"windows": windows_scene}, WineRig,
                              ("--folder", "--replay", "--prefix", "--artefacts"), ("wine",)))
