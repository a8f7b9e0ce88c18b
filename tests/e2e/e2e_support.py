"""Drives the real RHEOTRACKPANEL program the way an operator does, for the end-to-end tests.

Everything is real: an Xvfb display, the program's own windows found and worked with xdotool
(pointer and keys), a socat pseudo-terminal pair as the serial cable, the machine-wide settings
store as a file under a private XDG_CONFIG_DIRS, and pictures of the screen taken with
ImageMagick's import. Only the Python standard library is used.

A Rig is one scene: its own folder (program folder, home, runtime and data folders, store), its
own display, cable and program process. Everything it starts it also ends.
"""

import os
import re
import shutil
import signal
import subprocess
import sys
import time

SKIP = 77  # ctest's SKIP_RETURN_CODE for the e2e tests

MAIN_PREFIX = "Incoming data - "
NO_FILE_CAPTION = "Incoming data - No file selected"
SPLASH_TITLE = "Acerca de..."
BOX_TITLE = "RHEOTRACKPANEL"
DIALOG_TITLE = "Select destination file"
STORE_KEY = "Software\\Kavrel\\Quelmar"

# The reading list fills the monitor window below the toolbar (0, 48, 561, 305).
LIST_POINT = (280, 200)

REQUIRED_TOOLS = ("Xvfb", "xdotool", "socat", "import")


class Failure(Exception):
    """A check of the scene failed."""


def check(condition, message):
    if not condition:
        raise Failure(message)


def missing_tools():
    return [tool for tool in REQUIRED_TOOLS if shutil.which(tool) is None]


def wait_for(predicate, timeout, what, interval=0.05):
    """Polls predicate until it returns something true; returns that value."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise Failure("timed out after %.1f s waiting for %s" % (timeout, what))
        time.sleep(interval)


# ---- Instrument text ---------------------------------------------------------------------------

ERROR_WORDS = ("Lw", "Hih", "---", "Out of Range", "--")


def message(index, with_errors=True):
    """One measurement as the viscometer prints it: three lines, each ended by a CR.

    Speed, spindle, units and values vary with the index; with_errors puts the instrument's error
    words in place of values at fixed places, so that any 16 consecutive messages carry all five.
    """
    seconds = index % 86400
    stamp = "%02d:%02d:%02d" % (seconds // 3600, (seconds // 60) % 60, seconds % 60)
    spindle = ("LCP", "S21", "HA4")[index % 3]
    rpm = ("100", "0.3", "12", "2.5")[index % 4]
    unit_t = "F" if index % 11 == 4 else "C"
    temperature = "T: %.1f%s" % (20 + (index * 7) % 150 / 10.0, unit_t)
    unit_v = "mPas" if index % 13 == 2 else "cP"
    viscosity = "%08d" % ((1000 + index * 37) % 100000)
    torque = "%.1f" % ((index * 13) % 1000 / 10.0)
    if with_errors:
        kind = index % 16
        if kind == 3:
            temperature = "T: Lw"
        elif kind == 6:
            temperature = "T: Hih"
        elif kind == 9:
            temperature = "T: ---"
        elif kind == 12:
            viscosity = "Out of Range"
        elif kind == 14:
            torque = "--"
    text = "%s   sp: %s    rpm: %s   %s\r%s: %s\r %%: %s\r" % (
        stamp, spindle, rpm, temperature, unit_v, viscosity, torque)
    return text.encode("ascii")


def capture(first, count, with_errors=True):
    return b"".join(message(i, with_errors) for i in range(first, first + count))


# ---- Files the program writes ------------------------------------------------------------------

def records(data):
    """Lines of a file the program writes: each ends with CR LF (a log line may hold lone CRs)."""
    check(data == b"" or data.endswith(b"\r\n"), "file does not end with CR LF: %r" % data[-40:])
    return data.split(b"\r\n")[:-1]


def log_events(data):
    """Event-log lines without their date and time: what happened, in order."""
    events = []
    for line in records(data):
        parts = line.split(b" ", 2)
        check(len(parts) == 3, "log line without date and time: %r" % line)
        events.append(parts[2])
    return events


def read_bytes(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except FileNotFoundError:
        return None


def row_count(path):
    data = read_bytes(path)
    return 0 if data is None else data.count(b"\r\n")


def replay(tool, data, workdir, date, name="replay"):
    """The session file and the event log that rheotrack-replay makes of the same bytes."""
    source = os.path.join(workdir, name + "-input.bin")
    output = os.path.join(workdir, name + ".csv")
    log = os.path.join(workdir, name + "-vlog.txt")
    with open(source, "wb") as f:
        f.write(data)
    for path in (output, log):
        if os.path.exists(path):
            os.remove(path)
    result = subprocess.run([tool, "--date", date, "--time", "00:00:00", "--output", output,
                             "--log", log, source], capture_output=True, text=True)
    check(result.returncode == 0, "rheotrack-replay failed: %s" % result.stderr)
    return read_bytes(output), read_bytes(log) or b""


def first_difference(a, b):
    la, lb = records(a), records(b)
    for i, (x, y) in enumerate(zip(la, lb)):
        if x != y:
            return "line %d: %r != %r" % (i + 1, x, y)
    return "%d lines != %d lines" % (len(la), len(lb))


# ---- The process -------------------------------------------------------------------------------

CLOCK_TICKS = os.sysconf("SC_CLK_TCK")


class Process:
    def __init__(self, popen, log_path):
        self.popen = popen
        self.pid = popen.pid
        self.log_path = log_path

    def alive(self):
        return self.popen.poll() is None

    def cpu_seconds(self):
        with open("/proc/%d/stat" % self.pid) as f:
            fields = f.read().rsplit(")", 1)[1].split()
        # utime and stime are fields 14 and 15 of the line, 12 and 13 after the name.
        return (int(fields[11]) + int(fields[12])) / CLOCK_TICKS

    def rss_kib(self):
        with open("/proc/%d/status" % self.pid) as f:
            for line in f:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
        raise Failure("no VmRSS for process %d" % self.pid)

    def wait(self, timeout):
        try:
            return self.popen.wait(timeout)
        except subprocess.TimeoutExpired:
            raise Failure("process %d still runs after %.1f s" % (self.pid, timeout))

    def stop(self):
        if self.alive():
            self.popen.send_signal(signal.SIGKILL)
            self.popen.wait(10)

    def sanitizer_reports(self):
        text = (read_bytes(self.log_path) or b"").decode("utf-8", "replace")
        found = [line for line in text.splitlines()
                 if "ERROR: AddressSanitizer" in line or "runtime error:" in line
                 or "ERROR: LeakSanitizer" in line]
        return found


# ---- The scene ---------------------------------------------------------------------------------

class Rig:
    """One scene: folders, display, cable and program, all private to it."""

    def __init__(self, name, program, artefacts, width=1024, height=768):
        self.name = name
        self.base = os.path.join(os.path.abspath(artefacts), name)
        shutil.rmtree(self.base, ignore_errors=True)
        self.app = self._dir("app")          # the program's folder and working folder
        self.home = self._dir("home")
        self.runtime = self._dir("run")
        os.chmod(self.runtime, 0o700)
        self.data_home = self._dir("data")
        self.config_dirs = self._dir("etc-xdg")
        self.sessions = self._dir("sessions")
        self.pictures = 0
        self.store_file = os.path.join(self.config_dirs, "rheotrackpanel", "settings")
        self.port_device = os.path.join(self.base, "tty-port")        # the program's end
        self.instrument_device = os.path.join(self.base, "tty-instrument")
        self.processes = []
        self.children = []
        self.cable = None
        self.display = None
        self.xvfb = None

        # A program folder of its own, so that its configuration file and log start afresh.
        self.program = os.path.join(self.app, "rheotrackpanel")
        try:
            os.link(program, self.program)
        except OSError:
            shutil.copy2(program, self.program)
        self._start_display(width, height)

    def _dir(self, name):
        path = os.path.join(self.base, name)
        os.makedirs(path, exist_ok=True)
        return path

    # -- display

    def _start_display(self, width, height):
        read_end, write_end = os.pipe()
        log = open(os.path.join(self.base, "xvfb.log"), "wb")
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0",
             "%dx%dx24" % (width, height), "-nolisten", "tcp", "-noreset"],
            pass_fds=(write_end,), stdout=log, stderr=subprocess.STDOUT,
            start_new_session=True)
        os.close(write_end)
        number = b""
        deadline = time.monotonic() + 20
        while not number.endswith(b"\n") and time.monotonic() < deadline:
            chunk = os.read(read_end, 16)
            if not chunk:
                break
            number += chunk
        os.close(read_end)
        check(number.strip().isdigit(), "Xvfb did not start (see xvfb.log)")
        self.display = ":" + number.strip().decode()

    def x(self, *args, check_rc=True):
        env = dict(os.environ, DISPLAY=self.display)
        result = subprocess.run(["xdotool"] + [str(a) for a in args], env=env,
                                capture_output=True, text=True, timeout=20)
        if check_rc and result.returncode != 0:
            raise Failure("xdotool %s: %s" % (" ".join(map(str, args)), result.stderr.strip()))
        return result.stdout

    def windows(self):
        """Visible windows with a process behind them: (id, title, pid)."""
        out = self.x("search", "--onlyvisible", "--name", "", check_rc=False)
        found = []
        for wid in out.split():
            name = self.x("getwindowname", wid, check_rc=False).rstrip("\n")
            pid = self.x("getwindowpid", wid, check_rc=False).strip()
            if pid.isdigit():
                found.append((wid, name, int(pid)))
        return found

    def window(self, title=None, prefix=None, pid=None):
        for wid, name, owner in self.windows():
            if pid is not None and owner != pid:
                continue
            if title is not None and name != title:
                continue
            if prefix is not None and not name.startswith(prefix):
                continue
            return wid, name
        return None

    def geometry(self, wid):
        out = self.x("getwindowgeometry", "--shell", wid)
        values = dict(line.split("=", 1) for line in out.split())
        return int(values["X"]), int(values["Y"]), int(values["WIDTH"]), int(values["HEIGHT"])

    def picture(self, label):
        self.pictures += 1
        path = os.path.join(self.base, "%02d-%s.png" % (self.pictures, label))
        env = dict(os.environ, DISPLAY=self.display)
        subprocess.run(["import", "-window", "root", path], env=env, capture_output=True,
                       timeout=30)
        return path

    # -- settings store and cable

    def write_store(self, values):
        """The machine-wide store with the given values under the program's key."""
        os.makedirs(os.path.dirname(self.store_file), exist_ok=True)
        lines = ["[%s]" % STORE_KEY]
        for name, value in values.items():
            if isinstance(value, int):
                lines.append('"%s"=dword:%08x' % (name, value))
            else:
                lines.append('"%s"="%s"' % (name, value))
        with open(self.store_file, "w") as f:
            f.write("\n".join(lines) + "\n")

    def stored_port(self):
        text = read_bytes(self.store_file)
        if text is None:
            return None
        match = re.search(rb'^"Puerto"=dword:([0-9a-fA-F]{8})\s*$', text, re.M | re.I)
        return int(match.group(1), 16) if match else None

    def plug_cable(self):
        """A socat pseudo-terminal pair: one end for the program, one for the instrument."""
        for path in (self.port_device, self.instrument_device):
            if os.path.lexists(path):
                os.remove(path)
        log = open(os.path.join(self.base, "socat.log"), "wb")
        self.cable = subprocess.Popen(
            ["socat", "-d", "-d",
             "pty,raw,echo=0,link=" + self.port_device,
             "pty,raw,echo=0,link=" + self.instrument_device],
            stdout=log, stderr=subprocess.STDOUT, start_new_session=True)
        wait_for(lambda: os.path.exists(self.port_device) and
                 os.path.exists(self.instrument_device), 10, "the socat pty pair")
        self.instrument = os.open(self.instrument_device, os.O_WRONLY | os.O_NOCTTY)

    def pull_cable(self):
        """The adapter is pulled: the cable and its device name vanish at once."""
        if self.cable is not None and self.cable.poll() is None:
            self.cable.send_signal(signal.SIGKILL)
            self.cable.wait(10)
        # socat killed leaves its links behind, pointing at pty numbers that another program
        # may get next; a pulled adapter's device name is gone.
        for path in (self.port_device, self.instrument_device):
            if os.path.lexists(path):
                os.remove(path)
        if getattr(self, "instrument", None) is not None:
            try:
                os.close(self.instrument)
            except OSError:
                pass
            self.instrument = None

    def send(self, data, piece=0, pause=0.0):
        """Writes instrument text to the cable, whole or in pieces of the given size."""
        if piece <= 0:
            piece = len(data)
        for start in range(0, len(data), piece):
            chunk = memoryview(data)[start:start + piece]
            while len(chunk):
                written = os.write(self.instrument, chunk)
                chunk = chunk[written:]
            if pause:
                time.sleep(pause)

    # -- the program

    def environment(self):
        env = {k: v for k, v in os.environ.items()
               if not k.startswith(("XDG_", "QT_", "DESKTOP_", "DBUS_", "LC_"))
               and k not in ("SESSION_MANAGER", "LANG", "LANGUAGE", "WAYLAND_DISPLAY")}
        env.update({
            "DISPLAY": self.display,
            "HOME": self.home,
            "XDG_RUNTIME_DIR": self.runtime,
            "XDG_CONFIG_DIRS": self.config_dirs,
            "XDG_CONFIG_HOME": os.path.join(self.home, ".config"),
            "XDG_DATA_HOME": self.data_home,
            "XDG_CACHE_HOME": os.path.join(self.home, ".cache"),
            "QT_QPA_PLATFORM": "xcb",
            "LANG": "C.UTF-8",
            "LC_ALL": "C.UTF-8",
            "ASAN_OPTIONS": "detect_leaks=0",
            "UBSAN_OPTIONS": "print_stacktrace=1",
        })
        return env

    def start_program(self, label="program", program=None, env=None, cwd=None):
        log_path = os.path.join(self.base, label + ".log")
        log = open(log_path, "wb")
        popen = subprocess.Popen([program or self.program], cwd=cwd or self.app,
                                 env=env or self.environment(), stdout=log,
                                 stderr=subprocess.STDOUT, start_new_session=True)
        process = Process(popen, log_path)
        self.processes.append(process)
        return process

    def main_window(self, process, timeout=30):
        """Waits for the monitor window of the process and returns its id."""
        found = wait_for(lambda: self.window(prefix=MAIN_PREFIX, pid=process.pid), timeout,
                         "the monitor window")
        return found[0]

    def caption(self, process):
        found = self.window(prefix=MAIN_PREFIX, pid=process.pid)
        return found[1] if found else None

    def wait_caption(self, process, caption, timeout=10):
        wait_for(lambda: self.caption(process) == caption, timeout,
                 "the caption %r (it is %r)" % (caption, self.caption(process)))

    def others(self, process):
        """Visible windows of the process besides the monitor window (menus, dialogs, boxes)."""
        return [w for w in self.windows()
                if w[2] == process.pid and not w[1].startswith(MAIN_PREFIX)]

    def open_menu(self, process):
        """Right button over the reading list: the command menu MArch opens at the pointer."""
        wid = self.main_window(process, timeout=5)
        # A menu closed a moment ago may still be leaving the screen; Qt shows the next one in
        # the same window.
        wait_for(lambda: not self.others(process), 5, "the program's other windows to close")
        for attempt in range(3):
            # Under Xvfb without a window manager a right click now and then opens nothing
            # (seen only right after another program's window went away); an operator clicks
            # again, and so does the test, a few pixels further, saying so.
            self.x("mousemove", "--window", wid, LIST_POINT[0] + 6 * attempt,
                   LIST_POINT[1] + 4 * attempt)
            time.sleep(0.1)
            self.x("click", "3")
            try:
                return wait_for(lambda: self.others(process), 3, "the command menu")[0][0]
            except Failure:
                print("  note: no menu after right click %d; clicking again" % (attempt + 1))
                self.picture("no-menu")
        raise Failure("no command menu after three right clicks")

    def menu(self, process, *keys):
        """Chooses an item of the command menu by its access keys ("p", "1" for Puerto 1)."""
        self.open_menu(process)
        for key in keys:
            self.x("key", key)
            time.sleep(0.25)

    def choose_port(self, process, number):
        self.menu(process, "p", str(number))

    def file_dialog(self, process, path, command):
        """Runs New session ("n") or Open session ("a") through the real file dialog."""
        self.menu(process, command)
        dialog = wait_for(lambda: self.window(title=DIALOG_TITLE, pid=process.pid), 10,
                          "the file dialog")[0]
        self.picture("file-dialog")
        self.x("type", "--delay", "15", path)
        time.sleep(0.2)
        self.x("key", "Return")
        wait_for(lambda: not self.window(title=DIALOG_TITLE, pid=process.pid), 5,
                 "the file dialog %s to accept %s" % (dialog, path))
        time.sleep(0.3)
        # When the typed name matches an existing file, Qt's dialog leaves its completer's
        # suggestion list open after it closes; an operator's next click dismisses it.
        if self.others(process):
            print("  note: the file dialog's suggestion list stayed open after the dialog "
                  "closed; dismissed with a click")
            self.picture("suggestion-list-left-open")
            wid = self.main_window(process, timeout=5)
            self.x("mousemove", "--window", wid, LIST_POINT[0], LIST_POINT[1])
            self.x("click", "1")
            wait_for(lambda: not self.others(process), 5, "the suggestion list to close")

    def message_box(self, process, timeout=10):
        """Waits for a message box of the process (title RHEOTRACKPANEL) and returns its id."""
        return wait_for(lambda: self.window(title=BOX_TITLE, pid=process.pid), timeout,
                        "a message box titled %s" % BOX_TITLE)[0]

    def quit(self, process):
        """"&Salir" from the command menu: the program ends."""
        self.menu(process, "s")
        code = process.wait(15)
        check(code == 0, "the program ended with %s after Quit" % code)

    def close(self):
        for process in self.processes:
            process.stop()
        for child in self.children:
            if child.poll() is None:
                child.kill()
                child.wait(10)
        self.pull_cable()
        if self.xvfb is not None and self.xvfb.poll() is None:
            self.xvfb.terminate()
            try:
                self.xvfb.wait(10)
            except subprocess.TimeoutExpired:
                self.xvfb.kill()


def run_scenarios(scenarios, argv):
    """Command line of the e2e scripts: runs the named scenarios (all without names)."""
    import argparse
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--replay", required=True)
    parser.add_argument("--sim")
    parser.add_argument("--artefacts", required=True)
    parser.add_argument("names", nargs="*")
    args = parser.parse_args(argv)
    missing = missing_tools()
    if missing:
        print("SKIP: missing %s" % ", ".join(missing))
        return SKIP
    names = args.names or list(scenarios)
    failed = []
    for name in names:
        if name not in scenarios:
            print("unknown scenario %s; known: %s" % (name, ", ".join(scenarios)))
            return 2
        rig = Rig(name, args.program, args.artefacts)
        started = time.monotonic()
        try:
            scenarios[name](rig, args)
            reports = [line for p in rig.processes for line in p.sanitizer_reports()]
            check(not reports, "sanitizer reports: %s" % reports[:3])
            print("PASS %s (%.1f s)" % (name, time.monotonic() - started))
        except Exception as error:  # every failure of a scene is reported, then the next runs
            try:
                rig.picture("failure")
            except Exception:
                pass
            print("FAIL %s: %s: %s" % (name, type(error).__name__, error))
            failed.append(name)
        finally:
            rig.close()
        print("  pictures and files: %s" % rig.base)
        sys.stdout.flush()
    return 1 if failed else 0
