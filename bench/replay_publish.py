"""rheotrack-replay --mqtt publishing a capture to a local broker (back-filling): readings a
second from the tool's start to every message acknowledged (the tool ends then), and whether a
subscriber got every reading. Exits 1 when one is missing.

  python3 bench/replay_publish.py --replay R --sim S [--readings 50000] [--runs 3]
"""

import argparse
import os
import socket
import subprocess
import sys
import tempfile
import time


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--replay", required=True)
    parser.add_argument("--sim", required=True)
    parser.add_argument("--readings", type=int, default=50000)
    parser.add_argument("--runs", type=int, default=3)
    args = parser.parse_args()
    folder = tempfile.mkdtemp(prefix="rheo-replay-publish-")
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        port = probe.getsockname()[1]
    conf = os.path.join(folder, "mosquitto.conf")
    with open(conf, "w") as f:
        # No limit on what the broker queues for the subscriber, which may fall behind.
        f.write("listener %d 127.0.0.1\nallow_anonymous true\nmax_queued_messages 0\n" % port)
    capture = os.path.join(folder, "capture.bin")
    with open(capture, "wb") as f:
        subprocess.run([args.sim, "--interval", "1", "--count", str(args.readings), "--vary",
                        "--time", "11:59:58"], stdout=f, check=True)
    broker = subprocess.Popen(["mosquitto", "-c", conf], stderr=subprocess.DEVNULL)
    rates, complete = [], True
    try:
        while socket.socket().connect_ex(("127.0.0.1", port)) != 0:
            time.sleep(0.05)
        for run in range(args.runs):
            base = "bench%d" % run
            received = os.path.join(folder, base + ".txt")
            sub = subprocess.Popen(["mosquitto_sub", "-p", str(port), "-q", "1", "-t",
                                    base + "/+/reading", "-C", str(args.readings)],
                                   stdout=open(received, "wb"))
            time.sleep(0.5)  # subscribed
            start = time.monotonic()
            subprocess.run([args.replay, "--output", os.path.join(folder, base + ".csv"),
                            "--log", os.path.join(folder, base + "-vlog.txt"),
                            "--mqtt", "mqtt://127.0.0.1:%d" % port, "--mqtt-base", base,
                            "--mqtt-outbox", os.path.join(folder, base + ".outbox"), capture],
                           check=True, timeout=600)
            seconds = time.monotonic() - start
            try:
                sub.wait(30)
            except subprocess.TimeoutExpired:
                sub.kill()
            got = sum(1 for _ in open(received, "rb"))
            complete = complete and got == args.readings
            rates.append(args.readings / seconds)
            print("run %d: %d readings in %.2f s, %.0f readings/s, %d received"
                  % (run + 1, args.readings, seconds, rates[-1], got))
    finally:
        broker.terminate()
        broker.wait(10)
    print("median: %.0f readings/s" % sorted(rates)[len(rates) // 2])
    return 0 if complete else 1


if __name__ == "__main__":
    sys.exit(main())
