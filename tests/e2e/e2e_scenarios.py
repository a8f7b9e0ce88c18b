#!/usr/bin/env python3
"""End-to-end scenes of RHEOTRACKPANEL: the real program on an Xvfb display, driven with the
pointer and the keys, reading a socat pseudo-terminal pair as its serial cable.

    e2e_scenarios.py --program BIN --replay BIN --sim BIN --artefacts DIR [SCENE...]

Each scene runs in DIR/<scene> with a fresh program folder, home, runtime and data folders and
machine-wide store, and keeps its pictures (NN-label.png), the program's output and the files
the program wrote there. Exit status 0 when every scene passed, 1 otherwise, 77 when a tool
(Xvfb, xdotool, socat, ImageMagick) is missing.
"""

import os
import shutil
import subprocess
import sys
import time

sys.dont_write_bytecode = True  # keep the source folder clean
from e2e_support import (BOX_TITLE, ERROR_WORDS, MAIN_PREFIX, NO_FILE_CAPTION, SPLASH_TITLE,
                         capture, check, first_difference, log_events, read_bytes,
                         records, replay, row_count, run_scenarios, wait_for)

DEFAULT_CONFIGURATION = bytes([0x63, 0x73, 0x76, 0x0D, 0x0A, 0x2C, 0x0D, 0x0A, 0x2E, 0x0D, 0x0A])
HEADER = b"Date,Hour,Spindle,RPM,Temp [\xbaC],Error T,Viscosity [cP],Error V,%"


def started_on_port_1(rig):
    """The cable plugged in, port 1 mapped to it, the program up and port 1 chosen."""
    rig.plug_cable()
    rig.write_store({"Port1": rig.port_device})
    process = rig.start_program()
    rig.main_window(process)
    rig.choose_port(process, 1)
    wait_for(lambda: rig.stored_port() == 1, 5, 'the stored "Puerto" 1 after choosing port 1')
    return process


def new_session(rig, process, path):
    """New session through the file dialog with a name typed without extension."""
    rig.file_dialog(process, path, "n")
    session_file = path + ".csv"
    rig.wait_caption(process, MAIN_PREFIX + session_file)
    check(read_bytes(session_file) == b"", "a new session file is created empty")
    return session_file


def rows_arrive(path, count, timeout=60):
    wait_for(lambda: row_count(path) >= count, timeout,
             "%d lines in %s (there are %d)" % (count, path, row_count(path)))
    time.sleep(0.3)
    check(row_count(path) == count, "%s holds %d lines, expected %d"
          % (path, row_count(path), count))


def date_of_rows(content):
    lines = records(content)
    check(len(lines) >= 2, "no row in the session file")
    return lines[1].split(b",", 1)[0].decode("latin-1")


def same_as_replay(rig, args, content, data, name="replay"):
    """The session file is byte for byte what rheotrack-replay makes of the same bytes."""
    expected, expected_log = replay(args.replay, data, rig.base, date_of_rows(content), name)
    check(content == expected, "session file differs from rheotrack-replay's: %s"
          % first_difference(content, expected))
    return expected_log


# ---- Scenes ------------------------------------------------------------------------------------

def first_start(rig, args):
    """First start in an empty folder: splash for 3 s, then the monitor window; the
    configuration file with its defaults and an empty event log appear; no port is opened."""
    process = rig.start_program()
    splash = wait_for(lambda: rig.window(title=SPLASH_TITLE, pid=process.pid), 15,
                      "the splash window")
    shown = time.monotonic()
    check(rig.window(prefix=MAIN_PREFIX, pid=process.pid) is None,
          "the monitor window is visible together with the splash")
    _, _, width, height = rig.geometry(splash[0])
    check((width, height) == (427, 433), "splash window is %dx%d, not 427x433" % (width, height))
    rig.picture("splash")
    wait_for(lambda: rig.window(title=SPLASH_TITLE, pid=process.pid) is None, 10,
             "the splash to close itself")
    gone = time.monotonic()
    splash_seconds = gone - shown
    check(2.6 <= splash_seconds <= 4.5, "splash shown for %.2f s, not about 3 s" % splash_seconds)
    print("  splash shown for %.2f s" % splash_seconds)

    wid = rig.main_window(process, timeout=10)
    check(rig.caption(process) == NO_FILE_CAPTION, "caption %r" % rig.caption(process))
    _, _, width, height = rig.geometry(wid)
    check((width, height) == (560, 352), "monitor window is %dx%d, not 560x352" % (width, height))
    rig.picture("monitor-window")

    configuration = read_bytes(os.path.join(rig.app, "vcfg.txt"))
    check(configuration == DEFAULT_CONFIGURATION,
          "vcfg.txt holds %r, not the 11 default bytes" % configuration)
    check(read_bytes(os.path.join(rig.app, "vlog.txt")) == b"", "vlog.txt is not there, empty")
    check(not os.path.exists(rig.store_file), "the store was written though no port was chosen")

    rig.quit(process)
    check(read_bytes(os.path.join(rig.app, "vlog.txt")) == b"", "Quit wrote to the event log")


def session_new(rig, args):
    """Port 1 from the menu, a new session file typed without extension, 50 messages with every
    error word, close: the file and the log are exactly what rheotrack-replay gives."""
    process = started_on_port_1(rig)
    rig.picture("port-1-open")
    session_file = new_session(rig, process, os.path.join(rig.sessions, "run1"))

    data = capture(0, 50)
    for word in ERROR_WORDS:
        check(word.encode() in data, "the capture lacks %r" % word)
    rig.send(data, piece=37, pause=0.005)  # in pieces, as a serial line delivers it
    rows_arrive(session_file, 51)
    rig.picture("50-readings")

    rig.menu(process, "c")  # &Cerrar Archivo
    rig.wait_caption(process, NO_FILE_CAPTION)
    rig.picture("session-closed")

    content = read_bytes(session_file)
    lines = records(content)
    check(lines[0] == HEADER, "header %r" % lines[0])
    check(len(lines) == 51, "%d lines" % len(lines))
    for word in (b",LOW,", b",HIGH,", b",ERROR,", b",0,Out of Range,", b",0.0"):
        check(any(word in line for line in lines), "no row carries %r" % word)
    expected_log = same_as_replay(rig, args, content, data)

    log = read_bytes(os.path.join(rig.app, "vlog.txt"))
    check(log_events(log) == log_events(expected_log),
          "vlog.txt events differ from rheotrack-replay's:\n%r\n%r"
          % (log_events(log)[:4], log_events(expected_log)[:4]))
    check(log_events(log)[0] == b"Start of process", "the log does not start the process")
    rig.quit(process)


def session_append(rig, args):
    """A session file closed and opened again with "&Abrir Archivo": later readings are
    appended without a second header, and Quit leaves every row in the file."""
    process = started_on_port_1(rig)
    session_file = new_session(rig, process, os.path.join(rig.sessions, "run1"))
    first = capture(0, 20)
    rig.send(first)
    rows_arrive(session_file, 21)
    rig.menu(process, "c")
    rig.wait_caption(process, NO_FILE_CAPTION)

    rig.file_dialog(process, session_file, "a")  # &Abrir Archivo, the existing file
    rig.wait_caption(process, MAIN_PREFIX + session_file)
    second = capture(20, 30)
    rig.send(second, piece=101, pause=0.005)
    rows_arrive(session_file, 51)
    rig.picture("appended")
    rig.quit(process)

    content = read_bytes(session_file)
    check(sum(1 for line in records(content) if line.startswith(b"Date,")) == 1,
          "the file holds more than one header")
    same_as_replay(rig, args, content, first + second)
    # Closing the session ends the recording run: the next reading starts a new one.
    _, log_first = replay(args.replay, first, rig.base, date_of_rows(content), "first")
    _, log_second = replay(args.replay, second, rig.base, date_of_rows(content), "second")
    log = read_bytes(os.path.join(rig.app, "vlog.txt"))
    check(log_events(log) == log_events(log_first) + log_events(log_second),
          "vlog.txt events differ from the two runs rheotrack-replay gives")


def folder_removed(rig, args):
    """The session file's folder is removed while readings arrive: the program says so, ends
    the run in the log with "End of process::" and goes on listing readings."""
    process = started_on_port_1(rig)
    folder = os.path.join(rig.sessions, "doomed")
    os.makedirs(folder)
    session_file = new_session(rig, process, os.path.join(folder, "run1"))
    check(args.sim, "rheotrack-sim is needed for this scene")
    sim = subprocess.Popen([args.sim, "--device", rig.instrument_device, "--interval", "250",
                            "--vary"], stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    rig.children.append(sim)
    wait_for(lambda: row_count(session_file) >= 4, 20, "three rows from rheotrack-sim")
    log_path = os.path.join(rig.app, "vlog.txt")

    shutil.rmtree(folder)
    rig.message_box(process, timeout=10)
    rig.picture("cannot-access-file")
    # The run ends only once the user has answered, and no reading is handled meanwhile
    # (rheotrack-sim goes on sending four a second).
    while_open = log_events(read_bytes(log_path))
    check(b"End of process::" not in while_open,
          "the run was ended before the message was answered")
    time.sleep(1.0)
    check(log_events(read_bytes(log_path)) == while_open,
          "readings were handled while the message was open")
    check(len([w for w in rig.others(process) if w[1] == BOX_TITLE]) == 1,
          "more than one message box")
    rig.x("key", "Return")
    wait_for(lambda: rig.window(title=BOX_TITLE, pid=process.pid) is None, 5,
             "the message box to close")
    events = wait_for(lambda: log_events(read_bytes(log_path)).count(b"Start of process") >= 2
                      and log_events(read_bytes(log_path)), 10,
                      "a reading after the failure (a second \"Start of process\")")
    end = events.index(b"End of process::") if b"End of process::" in events else -1
    check(end > 0, "no line \"End of process::\" in the log: %r" % events[-5:])
    check(b"Start of process" in events[end + 1:],
          "readings after the failure are not handled")
    rig.wait_caption(process, NO_FILE_CAPTION)
    check(not os.path.exists(folder), "the removed folder came back")
    time.sleep(1.0)
    rig.picture("listing-after-failure")
    sim.terminate()
    sim.wait(10)
    check(process.alive(), "the program ended")
    rig.quit(process)


def adapter_pulled(rig, args):
    """The adapter is pulled mid-session: the program stays responsive and idle, the rows so far
    stay intact; plugged in again and port 1 chosen again, the session goes on."""
    process = started_on_port_1(rig)
    session_file = new_session(rig, process, os.path.join(rig.sessions, "run1"))
    first = capture(0, 20)
    rig.send(first)
    rows_arrive(session_file, 21)
    before = read_bytes(session_file)

    rig.pull_cable()
    time.sleep(1.0)
    check(process.alive(), "the program ended when the adapter was pulled")
    cpu_start = process.cpu_seconds()
    time.sleep(2.0)
    idle = process.cpu_seconds() - cpu_start
    print("  CPU time over 2 s without the adapter: %.2f s" % idle)
    check(idle < 0.4, "the program used %.2f s of CPU in 2 s without the adapter" % idle)

    rig.open_menu(process)  # still answers the pointer
    rig.picture("menu-without-adapter")
    rig.x("key", "Escape")
    wait_for(lambda: not rig.others(process), 5, "the menu to close")
    check(rig.caption(process) == MAIN_PREFIX + session_file, "the session was dropped")
    check(read_bytes(session_file) == before, "the rows written so far changed")

    # Choosing the port while the device is gone: the port error.
    rig.choose_port(process, 1)
    rig.message_box(process)
    rig.picture("port-error")
    rig.x("key", "Return")
    wait_for(lambda: rig.window(title=BOX_TITLE, pid=process.pid) is None, 5,
             "the port error to close")

    # Plugged in again: the same session goes on.
    rig.plug_cable()
    rig.choose_port(process, 1)
    time.sleep(0.5)
    check(rig.window(title=BOX_TITLE, pid=process.pid) is None, "port 1 does not open again")
    second = capture(20, 5)
    rig.send(second)
    rows_arrive(session_file, 26)
    rig.quit(process)
    same_as_replay(rig, args, read_bytes(session_file), first + second)


def second_copy(rig, args):
    """A second copy is refused while the first runs: a message box, no splash, no file
    touched; it ends when the box is answered and the first copy goes on unchanged."""
    first = rig.start_program("first")
    rig.main_window(first)

    def folder_state():
        return sorted((name, os.stat(os.path.join(rig.app, name)).st_size,
                       os.stat(os.path.join(rig.app, name)).st_mtime_ns)
                      for name in os.listdir(rig.app))

    state = folder_state()
    second = rig.start_program("second")
    rig.message_box(second, timeout=15)
    watch_until = time.monotonic() + 1.0
    while time.monotonic() < watch_until:
        titles = [w[1] for w in rig.windows() if w[2] == second.pid]
        check(titles == [BOX_TITLE], "the second copy shows %r" % titles)
        time.sleep(0.1)
    rig.picture("already-open")
    rig.x("key", "Return")
    code = second.wait(10)
    check(code == 0, "the second copy ended with %s" % code)

    check(first.alive(), "the first copy ended")
    check(rig.caption(first) == NO_FILE_CAPTION, "the first copy's window changed")
    check(folder_state() == state, "the second copy touched the program folder")
    rig.open_menu(first)
    rig.x("key", "Escape")
    rig.picture("first-copy-still-running")
    rig.quit(first)


SCENES = {
    "first_start": first_start,
    "session_new": session_new,
    "session_append": session_append,
    "folder_removed": folder_removed,
    "adapter_pulled": adapter_pulled,
    "second_copy": second_copy,
}

if __name__ == "__main__":
    sys.exit(run_scenarios(SCENES, sys.argv[1:]))
