#!/usr/bin/env python3
"""The Windows program under Wine, driven as an operator does, for what only Windows shows: the
portable rheotrackpanel.exe on its own Xvfb display and Wine prefix, the stored port in
HKEY_LOCAL_MACHINE, a socat pseudo-terminal pair as COM1 (its far end as COM2).
    windows_scenarios.py --folder PORTABLE --replay LINUX_REPLAY --prefix WINEPREFIX
                         --artefacts DIR windows"""

import getpass
import glob
import os
import shutil
import signal
import subprocess
import sys
import time

sys.dont_write_bytecode = True  # keep the source folder clean
import e2e_support
from e2e_support import (BOX_TITLE, MAIN_PREFIX, NO_FILE_CAPTION, TREND_PREFIX, capture, check,
                         check_as_replay, log_events, proc_stat, read_bytes, replay, row_count,
                         row_of, wait_for)

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


def logger_stop(process):
    """Ctrl+C for the console program: Wine turns SIGINT into the console's CTRL_C_EVENT."""
    pids = subprocess.run(["pgrep", "-f", r"rheotrack-logger\.exe"], capture_output=True,
                          text=True).stdout.split()
    check(pids, "no process runs rheotrack-logger.exe")
    for pid in pids:
        os.kill(int(pid), signal.SIGINT)
    return process.wait(30)


def logger_scene(rig, args):
    """rheotrack-logger.exe in a console on COM1: a session file and event log byte for byte
    the Linux rheotrack-replay's for the same bytes, ended cleanly by Ctrl+C; appended to again
    through --port 1, mapped as the window maps it; a device that is not a COM port refused;
    publishing to Mosquitto, each reading in order, equal to its row; the same as a service,
    started and stopped through Wine's net."""
    rig.plug_cable()
    logger = [os.path.join(rig.app, "rheotrack-logger.exe")]
    env = rig.command()[1]
    session_file, log = (os.path.join(rig.sessions, f) for f in ("visco.csv", "vlog.txt"))

    def start(*options, label):
        process = subprocess.Popen(["wine"] + logger + list(options), env=env,
                                   stdout=subprocess.DEVNULL,
                                   stderr=open(rig.path(label + ".log"), "wb"))
        process.log = rig.path(label + ".log")
        rig.processes.append(process)
        wait_for(lambda: b"logging " in (read_bytes(process.log) or b""), 60, label + " to start")
        return process

    first = start("--device", "COM1", "--output", r"C:\sessions\visco.csv", label="logger")
    data = [b"".join(capture(i, 1) + (NOISE if i % 7 == 3 else b"") for i in range(40)),
            capture(40, 5)]
    rig.send(data[0])
    wait_for(lambda: row_count(session_file) == 41, 60, "41 lines in the session file")
    check(logger_stop(first) == 0, "the logger did not end with 0 after Ctrl+C")
    told = read_bytes(first.log)
    check(b"logging COM1 to C:\\sessions\\visco.csv" in told and
          b"stopped after 40 readings" in told, "the console's lines: %r" % told[-300:])
    content = read_bytes(session_file)
    expected, expected_log = replay(args.replay, data[0], rig.base, content)
    check(content == expected, "the session file differs from rheotrack-replay's")
    check(log_events(read_bytes(log)) == log_events(expected_log),
          "vlog.txt differs from rheotrack-replay's")

    second = start("--port", "1", "--append", r"C:\sessions\visco.csv", label="logger-port")
    rig.send(data[1])
    wait_for(lambda: row_count(session_file) == 46, 30, "the appended rows")
    check(logger_stop(second) == 0, "the logger on --port 1 did not end with 0")
    expected, _ = replay(args.replay, b"".join(data), rig.base, content, "replay-all")
    check(read_bytes(session_file) == expected, "the appended file differs from the replay's")

    refused = subprocess.run(["wine"] + logger + ["--device", "/dev/ttyS0", "--output",
                             r"C:\sessions\other.csv"], env=env, capture_output=True, timeout=60)
    check(refused.returncode == 2 and b"is not a COM port" in refused.stderr and
          not os.path.exists(os.path.join(rig.sessions, "other.csv")),
          "a device that is not a COM port: %d %r" % (refused.returncode, refused.stderr))

    # Publishing to a real Mosquitto on 127.0.0.1, through the outbox in the per-user data folder.
    outboxes = os.path.join(rig.prefix, "drive_c", "users", getpass.getuser(), "AppData", "Local",
                            "rheotrackpanel")
    for old in glob.glob(os.path.join(outboxes, "visco-1.outbox*")):
        os.remove(old)
    broker = e2e_support.Broker(rig.base)
    broker.up()
    try:
        third = start("--port", "1", "--append", r"C:\sessions\visco.csv", "--instrument",
                      "visco-1", "--mqtt", "mqtt://127.0.0.1:%d" % broker.port, "--mqtt-base",
                      "lab", label="logger-mqtt")
        data.append(capture(45, 4))
        rig.send(data[2])
        wait_for(lambda: len(broker.messages()) >= 4, 60, "4 readings at the broker")
        check(logger_stop(third) == 0, "the publishing logger did not end with 0")
    finally:
        broker.end()
    check(b"rheotrackpanel\\visco-1.outbox" in read_bytes(third.log),
          "no outbox in the user's data folder: %r" % read_bytes(third.log)[-300:])
    published = [(m["seq"], row_of(m)) for m in broker.messages()]
    rows = read_bytes(session_file).split(b"\r\n")[-5:-1]
    check(published == list(zip(range(1, 5), rows)), "published %r, rows %r" % (published, rows))

    # As a service of Wine's Service Control Manager: registered, started, fed, stopped (the
    # clean end), removed.
    data.append(capture(49, 3))
    installed = rig.wine(logger[0], "--install-service", "visco1", "--device", "COM1",
                         "--append", r"C:\sessions\visco.csv")
    check(installed.returncode == 0, "--install-service: %r" % installed.stderr[-300:])
    check(rig.wine("net", "start", "visco1").returncode == 0, "net start visco1")
    check(b"RUNNING" in rig.wine("sc", "query", "visco1").stdout, "the service does not run")
    rig.send(data[3])
    wait_for(lambda: row_count(session_file) == 53, 30, "the service's rows")
    check(rig.wine("net", "stop", "visco1").returncode == 0, "net stop visco1")
    state = rig.wine("sc", "query", "visco1").stdout
    check(b"STOPPED" in state and b"SERVICE_EXIT_CODE  : 0 " in state, "stopped: %r" % state)
    expected, _ = replay(args.replay, b"".join(data), rig.base, content, "replay-service")
    check(read_bytes(session_file) == expected, "the service's file differs from the replay's")
    check(rig.wine(logger[0], "--remove-service", "visco1").returncode == 0, "--remove-service")
    check(rig.wine("sc", "query", "visco1").returncode != 0, "the service is still registered")


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
    # The readings came in one burst, so the curve may be short: drawn at all is what counts.
    check(drawn > 30, "the viscosity curve is not on the trend window (%d pixels)" % drawn)


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
    log = os.path.join(rig.app, "vlog.txt")
    content = check_as_replay(args.replay, data, rig.base, session_file, log)
    last_event = lambda event: wait_for(lambda: log_events(read_bytes(log))[-1:] == [event], 15,
                                        "the line %r" % event)

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
    last_event(b"Port lost::1")
    cpu = program_cpu_seconds()
    time.sleep(3)
    cpu = program_cpu_seconds() - cpu
    check(cpu < 0.5, "the program used %.2f s of CPU in 3 s without the adapter" % cpu)
    rig.menu(process, "Escape")  # it answers
    rig.picture("adapter-pulled")
    check(rig.caption(process) == MAIN_PREFIX + r"C:\sessions\run1.csv", "the session was dropped")
    rig.plug_cable()
    last_event(b"Port back::1")
    rig.send(capture(40, 2))
    wait_for(lambda: row_count(session_file) == 45, 20, "two rows after the adapter is back")
    rig.quit(process)
    check(read_bytes(session_file).startswith(content), "rows written earlier changed")


if __name__ == "__main__":
    sys.exit(e2e_support.main({"windows": windows_scene, "logger": logger_scene}, WineRig,
                              ("--folder", "--replay", "--prefix", "--artefacts"), ("wine",)))
