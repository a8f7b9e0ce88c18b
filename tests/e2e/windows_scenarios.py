#!/usr/bin/env python3
"""The Windows program under Wine, driven as an operator does (the scenes of e2e_scenarios.py
that show what only Windows does): the portable rheotrackpanel.exe on its own Xvfb display and
Wine prefix, a socat pseudo-terminal pair as COM1, the stored port in HKEY_LOCAL_MACHINE.
    windows_scenarios.py --folder PORTABLE --replay LINUX_REPLAY --prefix WINEPREFIX
                         --artefacts DIR"""

import argparse
import os
import shutil
import subprocess
import sys
import time

sys.dont_write_bytecode = True  # keep the source folder clean
import e2e_support
from e2e_support import (BOX_TITLE, MAIN_PREFIX, NO_FILE_CAPTION, Failure, capture, check,
                         log_events, proc_stat, read_bytes, replay, row_count, wait_for)

SPLASH_TITLE = "Acerca de..."
DIALOG_TITLE = "Select destination file"
# Noise on the line between messages: bytes the decoder must drop without a trace.
NOISE = b"\x00\xff#!\x15garbage 12:3\r\xba\x80\r"


class WineRig(e2e_support.Rig):
    """One Windows scene: a copy of the portable folder, a private display and Wine prefix (set
    up by the caller), the cable as COM1."""

    def __init__(self, name, args):
        self.base = os.path.join(os.path.abspath(args.artefacts), name)
        shutil.rmtree(self.base, ignore_errors=True)
        os.makedirs(self.base)
        self.prefix = os.path.abspath(args.prefix)
        self.app = self.path("app")
        shutil.copytree(args.folder, self.app)
        self.sessions = os.path.join(self.prefix, "drive_c", "sessions")
        shutil.rmtree(self.sessions, ignore_errors=True)
        os.makedirs(self.sessions)
        self.port_device, self.instrument_device = self.path("tty-port"), self.path("tty-instr")
        self.processes, self.children, self.pictures = [], [], 0
        self.cable = self.instrument = None
        self.xvfb, self.display = e2e_support.start_xvfb()

    def env(self):
        env = {k: v for k, v in os.environ.items() if not k.startswith(
            ("XDG_", "QT_", "DESKTOP_", "DBUS_", "WAYLAND_"))}
        env.update(DISPLAY=self.display, WINEPREFIX=self.prefix, WINEDEBUG="-all",
                   WINEDLLOVERRIDES="mscoree,mshtml=")
        return env

    def wine(self, *args, **kwargs):
        return subprocess.run(["wine"] + list(args), env=self.env(), capture_output=True,
                              timeout=120, **kwargs)

    def windows(self, process):
        """Visible windows on the display. Wine's processes are not the ones started here, so
        the display, which holds nothing else, stands for the program."""
        found = []
        for wid in self.x("search", "--onlyvisible", "--name", "", check_rc=False).split():
            name = self.x("getwindowname", wid, check_rc=False).rstrip("\n")
            if name:
                found.append((name, wid))
        return found

    def plug_cable(self):
        super().plug_cable()
        # Wine's mount manager links com1 to /dev/ttyS0 when it starts, unless the registry
        # names another device; both are set.
        # COM1 is the program's end of the cable, COM2 the instrument's (for rheotrack-sim.exe).
        for port, end in (("COM1", self.port_device), ("COM2", self.instrument_device)):
            device = os.path.realpath(end)
            check(self.wine("reg", "add", r"HKLM\Software\Wine\Ports", "/v", port, "/t",
                            "REG_SZ", "/d", device, "/f").returncode == 0, "wine reg add " + port)
            link = os.path.join(self.prefix, "dosdevices", port.lower())
            if os.path.lexists(link):
                os.remove(link)
            os.symlink(device, link)

    def start_program(self, label="program"):
        process = subprocess.Popen(["wine", os.path.join(self.app, "rheotrackpanel.exe")],
                                   cwd=self.app, env=self.env(), start_new_session=True,
                                   stdout=open(self.path(label + ".log"), "wb"),
                                   stderr=subprocess.STDOUT)
        process.log = self.path(label + ".log")
        self.processes.append(process)
        return process

    def window_picture(self, process, label):
        """The monitor window alone, as the README shows it."""
        subprocess.run(["import", "-window", self.main_window(process, 5),
                        self.path(label + ".png")], env=dict(os.environ, DISPLAY=self.display),
                       capture_output=True, timeout=30)

    def answer_box(self, process, label, timeout=10):
        """As on Linux, but the box is given the keyboard first: with no window manager, Wine
        leaves the focus where it was."""
        box = wait_for(lambda: self.window(process, BOX_TITLE), timeout, "a message box")
        self.picture(label)
        self.x("windowfocus", "--sync", box[1], check_rc=False)
        self.x("key", "Return")
        wait_for(lambda: not self.window(process, BOX_TITLE), 10, "the message box to close")

    def unix_path(self, windows_path):
        return os.path.join(self.prefix, "drive_c", *windows_path[3:].split("\\"))


def program_pid():
    """The Linux process that runs rheotrackpanel.exe (Wine starts it behind its launcher)."""
    result = subprocess.run(["pgrep", "-f", r"rheotrackpanel\.exe"], capture_output=True,
                            text=True)
    pids = [int(p) for p in result.stdout.split()]
    check(pids, "no process runs rheotrackpanel.exe")
    return min(pids)


class Pid:
    def __init__(self, pid):
        self.pid = pid


def windows_scene(rig, args):
    """Port 1 from the registry, a session through the Windows file dialog, every error word,
    both unit systems and line noise, the caption in Windows form, the log viewer, a second copy
    refused, the adapter pulled and plugged in again; the files byte for byte those of the Linux rheotrack-replay."""
    rig.plug_cable()
    for value, kind, data in (("Puerto", "REG_DWORD", "1"),):
        check(rig.wine("reg", "add", r"HKLM\Software\Kavrel\Quelmar", "/v", value, "/t", kind,
                       "/d", data, "/f").returncode == 0, "wine reg add " + value)
    process = rig.start_program()
    wait_for(lambda: rig.window(process, SPLASH_TITLE), 60, "the splash window")
    rig.picture("splash")
    rig.main_window(process, 30)
    check(rig.caption(process) == NO_FILE_CAPTION, "caption %r" % rig.caption(process))
    check(not rig.window(process, BOX_TITLE), "a message at start-up (port 1 did not open?)")
    rig.picture("monitor-window")

    # A new session, the name typed without extension.
    rig.file_dialog(process, r"C:\sessions\run1", "n")
    windows_path = r"C:\sessions\run1.csv"
    rig.wait_caption(process, MAIN_PREFIX + windows_path)
    session_file = rig.unix_path(windows_path)
    check(read_bytes(session_file) == b"", "the new session file is not there, empty")

    # Every error word, both unit systems, noise between some of the messages.
    data = b"".join(capture(i, 1) + (NOISE if i % 7 == 3 else b"") for i in range(40))
    for word in (b"Lw", b"Hih", b"---", b"Out of Range", b"--", b"mPas", b"cP", b"F", b"C"):
        check(word in data, "the stream lacks %r" % word)
    rig.send(data, piece=53, pause=0.01)
    wait_for(lambda: row_count(session_file) >= 41, 60, "41 lines in the session file")
    time.sleep(0.5)
    rig.picture("readings")
    rig.window_picture(process, "main-window-windows")
    content = read_bytes(session_file)
    check(row_count(session_file) == 41, "%d lines, not 41" % row_count(session_file))
    check(b"\xba" in content and content.endswith(b"\r\n"), "no 0xBA or no CR LF in the file")
    date = content.split(b"\r\n")[1].split(b",")[0].decode("latin-1")
    expected, expected_log = replay(args.replay, data, rig.base, date)
    check(content == expected, "the session file differs from rheotrack-replay's")
    vlog = read_bytes(os.path.join(rig.app, "vlog.txt"))
    check(log_events(vlog) == log_events(expected_log), "vlog.txt differs from rheotrack-replay's")

    # The log in the desktop's viewer, the program going on meanwhile.
    rig.menu(process, "l")
    viewer = wait_for(lambda: next((w for w in rig.windows(process) if "vlog" in w[0].lower()),
                                   None), 30, "the log viewer")
    rig.picture("log-viewer")
    rig.x("windowkill", viewer[1], check_rc=False)
    wait_for(lambda: not any("vlog" in w[0].lower() for w in rig.windows(process)), 10,
             "the log viewer to close")
    # The Windows simulator plays the instrument on the other end of the cable, COM2.
    sim = rig.wine(os.path.join(rig.app, "rheotrack-sim.exe"), "--device", "COM2", "--count",
                   "2", "--interval", "200", "--time", "12:34:56")
    check(sim.returncode == 0, "rheotrack-sim.exe on COM2: %r" % sim.stderr[-300:])
    wait_for(lambda: row_count(session_file) >= 43, 20, "the simulator's rows")
    check(read_bytes(session_file).count(b",12:34:56,") == 2, "the simulator's rows differ")

    # A second copy is refused and ends; the first goes on.
    second = rig.start_program("second")
    wait_for(lambda: rig.window(second, BOX_TITLE), 60, "the refusal of a second copy")
    rig.answer_box(second, "already-open")
    check(second.wait(30) == 0, "the second copy did not end with 0")
    check(rig.caption(process) == MAIN_PREFIX + windows_path, "the first copy's window changed")

    # Idle on a quiet line; the adapter pulled: still idle, and it answers its menu.
    pid = Pid(program_pid())

    def cpu_in_3_seconds():
        cpu = proc_stat(pid)[0]
        time.sleep(3.0)
        return proc_stat(pid)[0] - cpu

    idle = cpu_in_3_seconds()
    check(idle < 0.5, "the program used %.2f s of CPU in 3 s on a quiet line" % idle)
    rig.pull_cable()
    time.sleep(3.0)
    idle = cpu_in_3_seconds()
    check(idle < 0.5, "the program used %.2f s of CPU in 3 s without the adapter" % idle)
    rig.menu(process, "Escape")
    check(rig.caption(process) == MAIN_PREFIX + windows_path, "the session was dropped")
    rig.picture("adapter-pulled")
    log = os.path.join(rig.app, "vlog.txt")
    check(log_events(read_bytes(log))[-1:] == [b"Port lost::1"], 'no line "Port lost::1"')

    # Plugged in again, COM1 mapped to the new device: the port opens again by itself and the
    # readings go on into the same session file.
    rows = row_count(session_file)
    rig.plug_cable()
    wait_for(lambda: b"Port back::1" in read_bytes(log), 15, 'the line "Port back::1"')
    rig.send(capture(40, 2))
    wait_for(lambda: row_count(session_file) == rows + 2, 20, "two rows after the adapter is back")

    rig.quit(process)
    check(read_bytes(session_file).startswith(content), "rows written earlier changed")


def main():
    parser = argparse.ArgumentParser()
    for option in ("--folder", "--replay", "--prefix", "--artefacts"):
        parser.add_argument(option, required=True)
    args = parser.parse_args()
    missing = [t for t in ("Xvfb", "xdotool", "socat", "import", "wine") if not shutil.which(t)]
    if missing:
        print("skipped: missing " + ", ".join(missing))
        return 0
    rig = WineRig("windows", args)
    try:
        windows_scene(rig, args)
        print("PASS windows")
        return 0
    except (Failure, Exception) as error:
        rig.picture("failure")
        print("FAIL windows: %s: %s" % (type(error).__name__, error))
        return 1
    finally:
        rig.close()
        print("  pictures and files: " + rig.base)


if __name__ == "__main__":
    sys.exit(main())
