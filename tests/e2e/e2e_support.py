"""Drives the real RHEOTRACKPANEL program as an operator does: its own Xvfb display, xdotool for
pointer and keys, a socat pseudo-terminal pair as the serial cable, the machine-wide store as a
file under a private XDG_CONFIG_DIRS, pictures with ImageMagick's import. Python stdlib only."""

import argparse
import json
import os
import pathlib
import shutil
import socket
import subprocess
import time

MAIN_PREFIX = "Incoming data - "
NO_FILE_CAPTION = MAIN_PREFIX + "No file selected"
TREND_PREFIX = "Trend - "
BOX_TITLE = "RHEOTRACKPANEL"


READING_KEYS = ("date", "hour", "spindle", "rpm", "temperature", "temperature_error",
                "viscosity", "viscosity_error", "torque")


def row_of(message):
    """The session-file row of a published reading (the default configuration's separator)."""
    return ",".join(message[k] for k in READING_KEYS).encode("cp1252")


def check(condition, message):
    if not condition:
        raise AssertionError(message)


def wait_for(predicate, timeout, what):
    """Polls predicate until it returns something true; returns that value."""
    deadline = time.monotonic() + timeout
    while not (value := predicate()):
        check(time.monotonic() < deadline, "timed out after %.1f s waiting for " % timeout + what)
        time.sleep(0.05)
    return value


def capture(first, count):
    """Measurements as the viscometer prints them, three lines each ended by a CR: every error
    word in place of its value at fixed places of every 16, other units every 11th and 13th."""
    def message(i):
        f = {"T": "%.1f%s" % (20 + i % 150 / 10, "F" if i % 11 == 4 else "C"),
             "V": "%08d" % ((1000 + i * 37) % 100000), "%": "%.1f" % (i * 13 % 1000 / 10)}
        f.update({3: {"T": "Lw"}, 6: {"T": "Hih"}, 9: {"T": "---"}, 12: {"V": "Out of Range"},
                  14: {"%": "--"}}.get(i % 16, {}))
        return ("%02d:%02d:%02d   sp: %s    rpm: %s   T: %s\r%s: %s\r %%: %s\r" % (
            i // 3600 % 24, i // 60 % 60, i % 60, ("LCP", "S21", "HA4")[i % 3],
            ("100", "0.3", "12", "2.5")[i % 4], f["T"], "mPas" if i % 13 == 2 else "cP", f["V"],
            f["%"])).encode()
    return b"".join(message(i) for i in range(first, first + count))


def read_bytes(path):
    return pathlib.Path(path).read_bytes() if os.path.exists(path) else None


def row_count(path):
    return (read_bytes(path) or b"").count(b"\r\n")


def log_events(data):
    """Event-log lines (each ended by CR LF) without their date and time."""
    check(data.endswith(b"\r\n") or not data, "log does not end with CR LF: %r" % data[-40:])
    return [line.split(b" ", 2)[2] for line in data.split(b"\r\n")[:-1]]


def replay(tool, data, workdir, content, name="replay"):
    """The session file and the event log that rheotrack-replay makes of the same bytes on the
    date of the first row of the session file's content."""
    source, output, log = (os.path.join(workdir, name + s) for s in (".bin", ".csv", ".log.txt"))
    pathlib.Path(source).write_bytes(data)
    date = content.split(b"\r\n")[1].split(b",")[0].decode("latin-1")
    result = subprocess.run([tool, "--date", date, "--time", "00:00:00", "--output", output,
                             "--log", log, source], capture_output=True, text=True)
    check(result.returncode == 0, "rheotrack-replay failed: %s" % result.stderr)
    return read_bytes(output), read_bytes(log) or b""


def check_as_replay(tool, data, workdir, session_file, log=None):
    """The session file (and the event log, if given) are what rheotrack-replay makes of the same
    bytes; the session file's content."""
    content = read_bytes(session_file)
    expected, expected_log = replay(tool, data, workdir, content)
    check(content == expected, "the session file differs from rheotrack-replay's")
    if log:
        events = log_events(read_bytes(log))
        check(events == log_events(expected_log), "vlog.txt: %r" % events[:20])
    return content


def proc_stat(pid):
    """(CPU seconds, resident KiB) of a running process, from /proc."""
    fields = pathlib.Path("/proc/%d/stat" % pid).read_text().rsplit(")", 1)[1].split()
    return ((int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK"),
            int(fields[21]) * os.sysconf("SC_PAGE_SIZE") // 1024)


def free_ports(count):
    """Ports free on 127.0.0.1, all different: each probe stays bound until all are found."""
    probes = [socket.socket() for _ in range(count)]
    for probe in probes:
        probe.bind(("127.0.0.1", 0))
    ports = [probe.getsockname()[1] for probe in probes]
    for probe in probes:
        probe.close()
    return ports


class Line:
    """A socat pair: the instrument writes to `instrument_device`, the program reads `device`."""

    def __init__(self, folder, name="line"):
        self.device = os.path.join(folder, name)
        self.instrument_device = os.path.join(folder, name + "-instrument")
        self.cable = self.instrument = None

    def plug(self):
        self.cable = subprocess.Popen(["socat", "pty,raw,echo=0,link=" + self.device,
                                       "pty,raw,echo=0,link=" + self.instrument_device])
        wait_for(lambda: os.path.exists(self.device) and os.path.exists(self.instrument_device),
                 10, "the socat pair")
        self.instrument = os.open(self.instrument_device, os.O_WRONLY | os.O_NOCTTY)

    def pull(self):
        """The adapter pulled: the pair and its names vanish at once."""
        if self.cable:
            self.cable.kill()
            self.cable.wait(10)
        if self.instrument:
            os.close(self.instrument)
        self.cable = self.instrument = None
        for path in (self.device, self.instrument_device):
            if os.path.lexists(path):  # socat killed leaves its links behind
                os.remove(path)

    def send(self, data, rate=None):
        """Writes instrument text as fast as the line takes it, or at `rate` bytes a second."""
        data = memoryview(data)
        while data:
            data = data[os.write(self.instrument, data[:int(rate / 10) if rate else None]):]
            time.sleep(0.1 if rate else 0)


class Broker:
    """Mosquitto on 127.0.0.1 and a free port, persisting in the run's folder, and a subscriber
    with a persistent QoS 1 session that writes every message it gets to sub.log. With `secure`,
    a folder holding ca.crt, server.crt, server.key and passwd, a second listener on
    `secure_port` takes only TLS with a client certificate signed by that CA, and a login."""

    def __init__(self, folder, secure=None):
        self.folder = folder
        self.port, self.secure_port = (free_ports(2) if secure else free_ports(1) + [None])
        self.conf = os.path.join(folder, "mosquitto.conf")
        with open(self.conf, "w") as f:
            # Started as root, the broker would become "mosquitto", who may not read our files.
            f.write("per_listener_settings true\npersistence true\npersistence_location %s/\n%s"
                    "listener %d 127.0.0.1\nallow_anonymous true\n"
                    % (folder, "user root\n" if os.geteuid() == 0 else "", self.port))
            if secure:
                f.write("listener {1} 127.0.0.1\nallow_anonymous false\nrequire_certificate true\n"
                        "password_file {0}/passwd\ncafile {0}/ca.crt\ncertfile {0}/server.crt\n"
                        "keyfile {0}/server.key\n".format(secure, self.secure_port))
        self.log = os.path.join(folder, "sub.log")
        self.broker = self.sub = None

    def up(self):
        self.broker = subprocess.Popen(["mosquitto", "-c", self.conf],
                                       stderr=open(os.path.join(self.folder, "mosquitto.log"), "ab"))
        wait_for(lambda: socket.socket().connect_ex(("127.0.0.1", self.port)) == 0, 10,
                 "the broker")
        if self.sub is None or self.sub.poll() is not None:
            self.sub = subprocess.Popen(["mosquitto_sub", "-p", str(self.port), "-q", "1", "-c",
                                         "-i", "rheo-test-sub", "-v", "-t", "lab/#"],
                                        stdout=open(self.log, "ab"))

    def down(self):
        self.broker.terminate()  # saves its persistent sessions, as a broker stopped does
        self.broker.wait(10)

    def end(self):
        for process in (self.sub, self.broker):
            if process and process.poll() is None:
                process.terminate()
                process.wait(10)

    def messages(self, leaf=b"reading"):
        """The JSON objects received on lab/visco-1/<leaf>, in the order they came."""
        prefix = b"lab/visco-1/" + leaf + b" "
        return [json.loads(line[len(prefix):]) for line in (read_bytes(self.log) or b"").splitlines()
                if line.startswith(prefix)]


class Rig:
    """One scene's folders, display, cable and programs, all its own and all ended by close()."""

    def __init__(self, name, args):
        self.base = os.path.join(os.path.abspath(args.artefacts), name)
        shutil.rmtree(self.base, ignore_errors=True)
        os.makedirs(self.base)
        self.line = Line(self.base, "tty-port")
        self.port_device, self.instrument_device = self.line.device, self.line.instrument_device
        self.processes, self.pictures = [], 0
        self.place_program(args)
        read_end, write_end = os.pipe()  # a display of its own
        self.xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0",
                                      "1024x768x24", "-nolisten", "tcp", "-noreset"],
                                     pass_fds=(write_end,), stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as f:
            self.display = ":" + f.readline().strip()
        check(self.display != ":", "Xvfb did not start")

    def place_program(self, args):
        for d in ("app", "home", "run", "data", "etc-xdg", "sessions"):
            os.makedirs(self.path(d), mode=0o700)
        self.app, self.sessions = self.path("app"), self.path("sessions")
        self.store_file = self.path("etc-xdg", "rheotrackpanel", "settings")
        self.port_map_file = self.path("etc-xdg", "rheotrackpanel-ports")
        self.program = self.path("app", "rheotrackpanel")  # so vcfg.txt and vlog.txt start afresh
        shutil.copy2(args.program, self.program)

    def path(self, *parts):
        return os.path.join(self.base, *parts)

    def x(self, *args, check_rc=True):
        result = subprocess.run(["xdotool"] + [str(a) for a in args], capture_output=True,
                                text=True, timeout=20, env=dict(os.environ, DISPLAY=self.display))
        check(result.returncode == 0 or not check_rc, "xdotool %s: %s" % (args, result.stderr))
        return result.stdout

    def windows(self, process):
        """Titles and ids of the visible windows of the process (None: of every process)."""
        return [(self.x("getwindowname", wid, check_rc=False).rstrip("\n"), wid)
                for wid in self.x("search", "--onlyvisible", "--name", "", check_rc=False).split()
                if not process or self.x("getwindowpid", wid, check_rc=False).strip() == str(
                    process.pid)]

    def window(self, process, prefix):
        return next((w for w in self.windows(process) if w[0].startswith(prefix)), None)

    def picture(self, label, window="root"):
        self.pictures += 1
        subprocess.run(["import", "-window", window, self.path("%02d-%s.png" % (
            self.pictures, label))], env=dict(os.environ, DISPLAY=self.display), timeout=30)

    def plug_cable(self):
        self.line.plug()

    def pull_cable(self):
        self.line.pull()

    def send(self, data):
        """Writes instrument text to the cable, as fast as the line takes it."""
        self.line.send(data)

    def command(self):
        env = {k: v for k, v in os.environ.items() if not k.startswith(
            ("XDG_", "QT_", "DESKTOP_", "DBUS_", "LC_", "LANG", "SESSION_", "WAYLAND_"))}
        env.update(DISPLAY=self.display, HOME=self.path("home"), XDG_RUNTIME_DIR=self.path("run"),
                   XDG_CONFIG_DIRS=self.path("etc-xdg"), XDG_DATA_HOME=self.path("data"),
                   QT_QPA_PLATFORM="xcb", LC_ALL="C.UTF-8", ASAN_OPTIONS="detect_leaks=0")
        return [self.program], env

    def start_program(self, label="program"):
        command, env = self.command()
        process = subprocess.Popen(command, cwd=self.app, env=env, start_new_session=True,
                                   stdout=open(self.path(label + ".log"), "wb"),
                                   stderr=subprocess.STDOUT)
        process.log = self.path(label + ".log")
        self.processes.append(process)
        return process

    def main_window(self, process, timeout=30):
        return wait_for(lambda: self.window(process, MAIN_PREFIX), timeout, "the monitor window")[1]

    def caption(self, process):
        return (self.window(process, MAIN_PREFIX) or (None,))[0]

    def menu(self, process, key):
        """Right button over the reading list opens the command menu; the key chooses an item."""
        others = lambda: [w for w in self.windows(process)
                          if not w[0].startswith((MAIN_PREFIX, TREND_PREFIX))]  # those stay
        # A menu closed a moment ago may still be leaving the screen (Qt reuses its window).
        wait_for(lambda: not others(), 5, "the program's other windows to close")
        # Inside the reading list, once the pointer is seen there.
        main = self.main_window(process, 5)
        self.x("windowraise", main)  # over the trend window, if that is open
        self.x("mousemove", "--window", main, "--sync", 280, 200)
        self.x("click", 3)
        wait_for(others, 5, "the command menu")
        self.x("key", key)

    def new_session(self, process, path):
        """A new session through the real file dialog, the name typed without extension."""
        self.menu(process, "n")
        wait_for(lambda: self.window(process, "Select destination file"), 10, "the file dialog")
        self.x("type", "--delay", "15", path)
        time.sleep(0.2)
        self.x("key", "Return")
        caption = MAIN_PREFIX + path + ".csv"
        wait_for(lambda: self.caption(process) == caption, 20, "the caption " + caption)

    def quit(self, process):
        self.menu(process, "s")  # &Salir
        check(process.wait(15) == 0, "the program did not end with 0 after Quit")

    def close(self):
        for process in self.processes + [self.xvfb]:
            if process.poll() is None:
                process.terminate()
                process.wait(10)
        self.pull_cable()


def main(scenes, rig_class=Rig, options=("--program", "--replay", "--artefacts"), tools=()):
    """Runs the scene named on the command line on a rig of its own: 0 passed, 1 failed (also
    when a program's output holds a sanitizer's report), 77 skipped (a tool is missing)."""
    parser = argparse.ArgumentParser()
    for option in options:
        parser.add_argument(option, required=True)
    parser.add_argument("--count", type=int, default=20000)
    parser.add_argument("--no-memory-check", dest="memory_check", action="store_false")
    parser.add_argument("scene", choices=list(scenes))
    args = parser.parse_args()
    missing = [t for t in ("Xvfb", "xdotool", "socat", "import") + tools if not shutil.which(t)]
    if missing:
        print("SKIP: missing " + ", ".join(missing))
        return 77
    rig, scene = rig_class(args.scene, args), scenes[args.scene]
    try:
        scene(rig, args)
        reports = [line for p in rig.processes for line in open(p.log, errors="replace")
                   if "ERROR: AddressSanitizer" in line or "runtime error:" in line]
        check(not reports, "sanitizer reports: %s" % reports[:3])
        print("PASS " + scene.__name__)
        return 0
    except Exception as error:
        rig.picture("failure")
        print("FAIL %s: %s: %s" % (scene.__name__, type(error).__name__, error))
        return 1
    finally:
        rig.close()
        print("  pictures and files: " + rig.base)
