#!/usr/bin/env python3
"""Long run of RHEOTRACKPANEL: many messages pushed through the pseudo-terminal as fast as the
program takes them, into an open session file.

    e2e_longrun.py --program BIN --replay BIN --artefacts DIR [--count N] [--figures FILE]
                   [--no-memory-check]

Checks that every message is a row of the session file, in order and whole (byte for byte what
rheotrack-replay makes of the same bytes), and that the program's resident memory at the end is
within 10 % of what it was after the first 1,000 readings. Prints the figures and writes them as
JSON to --figures (default DIR/long_run/figures.json).
"""

import argparse
import json
import os
import sys
import threading
import time

sys.dont_write_bytecode = True  # keep the source folder clean
from e2e_support import (SKIP, Failure, Rig, capture, check, missing_tools, read_bytes,
                         row_count)
from e2e_scenarios import new_session, same_as_replay, started_on_port_1

WARM_UP = 1000
MEMORY_TOLERANCE = 0.10


def long_run(rig, args):
    process = started_on_port_1(rig)
    session_file = new_session(rig, process, os.path.join(rig.sessions, "long"))
    data = capture(0, args.count)

    sent = {}

    def push():
        started = time.monotonic()
        rig.send(data, piece=4096)
        sent["seconds"] = time.monotonic() - started

    writer = threading.Thread(target=push, daemon=True)
    started = time.monotonic()
    writer.start()

    rss_warm = None
    rss_peak = 0
    samples = []
    deadline = started + args.timeout
    rows = 0
    while rows < args.count:
        check(time.monotonic() < deadline, "only %d of %d rows after %d s"
              % (rows, args.count, args.timeout))
        check(process.alive(), "the program ended during the long run")
        rows = max(0, row_count(session_file) - 1)
        rss = process.rss_kib()
        rss_peak = max(rss_peak, rss)
        samples.append((round(time.monotonic() - started, 2), rows, rss))
        if rss_warm is None and rows >= WARM_UP:
            rss_warm = rss
            warm_seconds = time.monotonic() - started
        time.sleep(0.1)
    elapsed = time.monotonic() - started
    time.sleep(0.5)
    rss_end = process.rss_kib()
    cpu = process.cpu_seconds()
    writer.join(30)
    rig.picture("after-long-run")

    content = read_bytes(session_file)
    check(row_count(session_file) == args.count + 1,
          "%d lines in the session file, expected %d" % (row_count(session_file), args.count + 1))
    same_as_replay(rig, args, content, data)

    change = (rss_end - rss_warm) / rss_warm
    figures = {
        "messages": args.count,
        "bytes": len(data),
        "seconds_to_last_row": round(elapsed, 2),
        "seconds_to_first_1000_rows": round(warm_seconds, 2),
        "rows_per_second": round(args.count / elapsed, 1),
        "writer_seconds": round(sent.get("seconds", 0.0), 2),
        "program_cpu_seconds": round(cpu, 2),
        "rss_kib_after_1000": rss_warm,
        "rss_kib_end": rss_end,
        "rss_kib_peak": rss_peak,
        "rss_change_percent": round(100.0 * change, 1),
        "session_file_bytes": len(content),
        "program": os.path.realpath(args.program),
        "samples": samples[:: max(1, len(samples) // 40)],
    }
    path = args.figures or os.path.join(rig.base, "figures.json")
    with open(path, "w") as f:
        json.dump(figures, f, indent=1)
    print("  %d messages in %.1f s (%.0f rows/s), program CPU %.1f s" %
          (args.count, elapsed, args.count / elapsed, cpu))
    print("  RSS after %d rows %d KiB, at the end %d KiB (%+.1f %%), peak %d KiB" %
          (WARM_UP, rss_warm, rss_end, 100.0 * change, rss_peak))
    print("  figures: %s" % path)
    if not args.memory_check:
        print("  memory not judged: the sanitizers keep freed memory in quarantine")
    check(not args.memory_check or abs(change) <= MEMORY_TOLERANCE,
          "resident memory changed by %+.1f %% between row %d and the end"
          % (100.0 * change, WARM_UP))
    rig.quit(process)


def main(argv):
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--replay", required=True)
    parser.add_argument("--artefacts", required=True)
    parser.add_argument("--count", type=int, default=20000)
    parser.add_argument("--timeout", type=int, default=900)
    parser.add_argument("--figures")
    parser.add_argument("--no-memory-check", dest="memory_check", action="store_false",
                        help="for sanitizer builds, whose allocator holds freed memory back")
    args = parser.parse_args(argv)
    missing = missing_tools()
    if missing:
        print("SKIP: missing %s" % ", ".join(missing))
        return SKIP
    rig = Rig("long_run", args.program, args.artefacts)
    try:
        long_run(rig, args)
        reports = [line for p in rig.processes for line in p.sanitizer_reports()]
        check(not reports, "sanitizer reports: %s" % reports[:3])
        print("PASS long_run")
        return 0
    except Failure as error:
        rig.picture("failure")
        print("FAIL long_run: %s" % error)
        return 1
    finally:
        rig.close()
        print("  pictures and files: %s" % rig.base)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
