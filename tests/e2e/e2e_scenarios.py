#!/usr/bin/env python3
"""What needs the whole RHEOTRACKPANEL program, each scene in ARTEFACTS/<scene> with its
pictures and files (the windows are shown offscreen in tests/gui, the decoding in tests/core):
    e2e_scenarios.py --program BIN --replay BIN --artefacts DIR SCENE"""

import json
import os
import pathlib
import subprocess
import sys
import threading
import time

sys.dont_write_bytecode = True  # keep the source folder clean
from e2e_support import (BOX_TITLE, MAIN_PREFIX, Broker, capture, check, check_as_replay, main,
                         proc_stat, read_bytes, row_count, wait_for)


def started_on_stored_port(rig, name):
    """The cable as port 1, the port in use; the program started (the splash alone, then the
    monitor window; it opens port 1 itself); a second copy refused, showing only its message and
    ending with 0 when answered; a new session made through the file dialog: its file."""
    rig.plug_cable()
    os.makedirs(os.path.dirname(rig.store_file))
    pathlib.Path(rig.store_file).write_text('[Software\\Kavrel\\Quelmar]\n"Puerto"=dword:00000001\n')
    pathlib.Path(rig.port_map_file).write_text(
        '[Software\\Kavrel\\Quelmar]\n"Port1"="%s"\n' % rig.port_device)
    os.chmod(rig.port_map_file, 0o644)
    process = rig.start_program()
    wait_for(lambda: rig.window(process, "Acerca de..."), 15, "the splash window")
    check(not rig.window(process, MAIN_PREFIX), "the monitor window shows with the splash")
    rig.main_window(process)
    second = rig.start_program("second")
    wait_for(lambda: rig.window(second, BOX_TITLE), 15, "the refusal")
    time.sleep(0.5)
    check([w[0] for w in rig.windows(second)] == [BOX_TITLE], "the second copy shows more")
    rig.x("key", "Return")  # to the message box, which has the keyboard
    check(second.wait(10) == 0, "the second copy did not end with 0")
    path = os.path.join(rig.sessions, name)
    rig.new_session(process, path)
    return process, path + ".csv"


def long_run(rig, args):
    """args.count messages as fast as the program takes them: every one a row, byte for byte
    what rheotrack-replay gives, and the event log as it gives it; the store not written;
    resident memory at the end within 10 % of that after 1,000. (The port lost and back in the
    same session file: SerialLinkTest.)"""
    process, session_file = started_on_stored_port(rig, "long")
    store = read_bytes(rig.store_file)
    data = capture(0, args.count)
    started = time.monotonic()
    threading.Thread(target=rig.send, args=(data,), daemon=True).start()
    figures = {"messages": args.count}
    while (rows := max(0, row_count(session_file) - 1)) < args.count:
        check(time.monotonic() - started < 540, "only %d rows after 540 s" % rows)
        if rows >= 1000 and "rss_kib_after_1000" not in figures:
            figures["rss_kib_after_1000"] = proc_stat(process.pid)[1]
        time.sleep(0.1)
    figures["seconds_to_last_row"] = round(time.monotonic() - started, 1)
    time.sleep(0.5)
    figures["program_cpu_seconds"], figures["rss_kib_end"] = proc_stat(process.pid)
    change = figures["rss_kib_end"] / figures["rss_kib_after_1000"] - 1
    pathlib.Path(rig.path("figures.json")).write_text(json.dumps(figures, indent=1))
    print(figures)
    check_as_replay(args.replay, data, rig.base, session_file, os.path.join(rig.app, "vlog.txt"))
    check(read_bytes(rig.store_file) == store, "the store was written")
    check(not args.memory_check or abs(change) <= 0.10, "resident memory changed by %+.1f %%"
          " between row 1,000 and the end" % (100 * change))
    rig.quit(process)


def warm_up(i):
    """Message i of a sample warming up and thinning, at low torque for its first readings, with
    one temperature error: what the trend window is for."""
    temperature = "Lw" if i == 25 else "%.1fC" % (22.0 + i * 0.12)
    viscosity = 1480 - i * 7 + (i * 37 % 11) - 5
    torque = 6.0 + i * 1.3 if i < 20 else 32.0 + (i * 31 % 9)
    return ("10:%02d:%02d   sp: LCP    rpm: 60   T: %s\rcP: %08d\r %%: %.1f\r" % (
        i // 60, i % 60, temperature, viscosity, torque)).encode()


def trend_while_recording(rig, args):
    """The trend window opened from the command menu while a session records: it shows the
    session's file in its caption and draws the readings as they come; every one is still a row
    of the file. Pictures of the trend and of the main window (README)."""
    process, session_file = started_on_stored_port(rig, "warm-up")
    rig.menu(process, "t")  # Ver &Tendencia
    title = "Trend - " + session_file
    trend = wait_for(lambda: rig.window(process, title), 15, "the window " + title)[1]
    count = 60
    data = b""
    for i in range(count):  # a reading every 0.12 s: the time axis grows with them
        rig.send(warm_up(i))
        data += warm_up(i)
        time.sleep(0.12)
    wait_for(lambda: row_count(session_file) == count + 1, 20, "every row")
    time.sleep(0.5)  # the next redraw of the trend
    rig.picture("trend", trend)
    main_window = rig.main_window(process)
    rig.x("windowraise", main_window)
    time.sleep(0.3)
    rig.picture("main-window", main_window)
    check(rig.window(process, title), "the trend window went away")
    rig.quit(process)
    check_as_replay(args.replay, data, rig.base, session_file)


def published(rig, args):
    """With a publishing file beside vcfg.txt the program sends every reading to a broker on
    127.0.0.1, in order and each equal to its session-file row, and its event-log entries."""
    broker = Broker(rig.base)
    broker.up()
    broker.broker.log, broker.sub.log = rig.path("mosquitto.log"), broker.log
    rig.processes += [broker.broker, broker.sub]  # ended with the rig
    pathlib.Path(rig.app, "vmqtt.txt").write_text(
        "mqtt=mqtt://127.0.0.1:%d\nmqtt-base=lab\nmqtt-instrument=visco-1\n" % broker.port)
    process, session_file = started_on_stored_port(rig, "published")
    rig.send(capture(0, 10))
    wait_for(lambda: row_count(session_file) == 11, 20, "ten rows")
    wait_for(lambda: len(broker.messages()) == 10, 10, "ten readings at the broker")
    keys = ("date", "hour", "spindle", "rpm", "temperature", "temperature_error", "viscosity",
            "viscosity_error", "torque")
    rows = read_bytes(session_file).split(b"\r\n")[1:11]
    check([",".join(m[k] for k in keys).encode("cp1252") for m in broker.messages()] == rows,
          "the readings published are not the rows")
    check([m["seq"] for m in broker.messages()] == list(range(1, 11)), "seq is not 1 to 10")
    wait_for(lambda: "ProcessStart" in [m["kind"] for m in broker.messages(b"event")], 10,
             "the event of the start of the process")
    check(broker.messages(b"status")[0]["state"] == "online", "no online status")
    rig.quit(process)


if __name__ == "__main__":
    sys.exit(main({f.__name__: f for f in (long_run, trend_while_recording, published)}))
