#!/usr/bin/env python3
"""The adapter pulled and plugged in again under the same name, on the whole program:
    e2e_reconnect.py --program BIN --replay BIN --sim BIN --artefacts DIR adapter_back"""

import os
import sys
import time

sys.dont_write_bytecode = True  # keep the source folder clean
from e2e_support import (MAIN_PREFIX, capture, check, log_events, main, proc_stat, read_bytes,
                         replay, row_count, wait_for)


def adapter_back(rig, args):
    """Port 1 is lost mid-session: the program sleeps, logs "Port lost::1", and when the device
    is back 2 s later under the same name it opens it by itself within 2 s, logs "Port back::1"
    and writes the following readings into the same file."""
    rig.plug_cable()
    os.makedirs(os.path.dirname(rig.store_file))
    with open(rig.store_file, "w") as f:
        f.write('[Software\\Kavrel\\Quelmar]\n"Port1"="%s"\n"Puerto"=dword:00000001\n'
                % rig.port_device)
    process = rig.start_program()  # opens the stored port 1
    rig.main_window(process)
    path = os.path.join(rig.sessions, "overnight")
    rig.file_dialog(process, path, "n")
    session_file = path + ".csv"
    rig.wait_caption(process, MAIN_PREFIX + session_file)
    log = os.path.join(rig.app, "vlog.txt")
    first, second = capture(0, 10), capture(10, 10)
    rig.send(first)
    wait_for(lambda: row_count(session_file) == 11, 20, "the first ten rows")
    store = read_bytes(rig.store_file)

    rig.pull_cable()
    wait_for(lambda: b"Port lost::1" in read_bytes(log), 5, 'the line "Port lost::1"')
    pulled = time.monotonic()
    cpu = proc_stat(process)[0]
    rig.picture("port-lost")
    time.sleep(max(0.0, 2.0 - (time.monotonic() - pulled)))
    rig.plug_cable()
    idle = proc_stat(process)[0] - cpu
    plugged = time.monotonic()
    wait_for(lambda: b"Port back::1" in read_bytes(log), 3, 'the line "Port back::1"')
    back = time.monotonic() - plugged
    print("  reopened %.2f s after the device came back; %.3f s of CPU in %.1f s without it"
          % (back, idle, plugged - pulled))
    check(back <= 2.0, "port 1 opened again %.2f s after the device came back" % back)
    check(idle <= 0.02, "the program used %.3f s of CPU while the device was away" % idle)

    rig.send(second)
    wait_for(lambda: row_count(session_file) == 21, 20, "ten rows after the gap")
    rig.picture("port-back")
    rig.quit(process)
    content = read_bytes(session_file)
    date = content.split(b"\r\n")[1].split(b",")[0].decode("latin-1")
    whole, whole_log = replay(args.replay, first + second, rig.base, date)
    check(content == whole, "the session file is not the rows of both halves")
    before = log_events(replay(args.replay, first, rig.base, date, "first")[1])
    after = log_events(whole_log)[len(before):]
    check(log_events(read_bytes(log)) == before + [b"Port lost::1", b"Port back::1"] + after,
          "vlog.txt: %r" % log_events(read_bytes(log)))
    check(read_bytes(rig.store_file) == store, "the store was written")


if __name__ == "__main__":
    sys.exit(main({"adapter_back": adapter_back}))
