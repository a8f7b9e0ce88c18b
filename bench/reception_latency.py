#!/usr/bin/env python3
"""Latency of the whole program from the last byte of an instrument message on a serial line to
its row in the session file: the real program under Xvfb, a socat pseudo-terminal pair as the
line, a new session opened through the file dialog, messages sent whole at random moments.
    reception_latency.py --program BIN [--messages N] [--artefacts DIR] [--trend] [--mqtt]
With --trend the trend window is open (following) while the messages come; with --mqtt the
program publishes every reading to a Mosquitto broker on 127.0.0.1 (a publishing file beside
vcfg.txt), and every reading must have reached the broker at the end.
Prints the median, the 99th percentile and the worst case in milliseconds (nearest rank)."""

import argparse
import os
import random
import sys
import time

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
from e2e_support import Broker, Rig, capture, check, row_count, wait_for  # noqa: E402


def percentile(sorted_values, fraction):
    rank = max(1, -(-len(sorted_values) * fraction // 1))  # nearest rank, rounded up
    return sorted_values[int(rank) - 1]


def measure(rig, count, trend=False, broker=None):
    rig.plug_cable()
    if broker:
        with open(os.path.join(rig.app, "vmqtt.txt"), "w") as f:
            f.write("mqtt=mqtt://127.0.0.1:%d\nmqtt-base=lab\nmqtt-instrument=visco-1\n"
                    % broker.port)
    os.makedirs(os.path.dirname(rig.store_file))
    with open(rig.store_file, "w") as f:
        f.write('[Software\\Kavrel\\Quelmar]\n"Port1"="%s"\n"Puerto"=dword:00000001\n'
                % rig.port_device)
    process = rig.start_program()
    rig.main_window(process)
    path = os.path.join(rig.sessions, "latency")
    rig.new_session(process, path)
    session_file = path + ".csv"
    if trend:
        rig.menu(process, "t")  # Ver &Tendencia
        wait_for(lambda: rig.window(process, "Trend - "), 15, "the trend window")
    pauses = random.Random(13)  # the same pauses on every run
    latencies = []
    for i in range(count):
        time.sleep(pauses.uniform(0.0, 0.25))  # any phase of the receive tick
        size = os.stat(session_file).st_size  # before sending: a row may come at once
        rig.send(capture(i, 1))
        sent = time.monotonic()
        while True:
            now = os.stat(session_file).st_size
            if now != size and row_count(session_file) == i + 2:  # the header, then i + 1 rows
                break
            size = now
            check(time.monotonic() - sent < 5, "no row for message %d" % i)
            time.sleep(0.0005)
        latencies.append((time.monotonic() - sent) * 1000)
    if broker:
        wait_for(lambda: len(broker.messages()) >= count, 30, "every reading at the broker")
    rig.quit(process)
    return sorted(latencies)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--messages", type=int, default=200)
    parser.add_argument("--artefacts", default="/tmp/rheo-latency")
    parser.add_argument("--trend", action="store_true")
    parser.add_argument("--mqtt", action="store_true")
    args = parser.parse_args()
    rig_args = argparse.Namespace(program=args.program, artefacts=args.artefacts)
    rig = Rig("latency", rig_args)
    broker = Broker(rig.base) if args.mqtt else None
    try:
        if broker:
            broker.up()
        values = measure(rig, args.messages, args.trend, broker)
    finally:
        if broker:
            broker.end()
        rig.close()
    print("last byte to row on disk, %d messages: median %.1f ms, 99th percentile %.1f ms, "
          "worst %.1f ms" % (len(values), percentile(values, 0.5), percentile(values, 0.99),
                             values[-1]))
    return 0


if __name__ == "__main__":
    sys.exit(main())
