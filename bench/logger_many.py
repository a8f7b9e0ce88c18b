"""Many rheotrack-logger processes on one machine, each on its own socat pseudo-terminal pair
fed at the instrument's full rate (9600 baud: 960 characters a second, about 13 messages):
prints the loggers' total processor time as a share of one core, their resident memory, whether
every session file is byte for byte what rheotrack-replay writes for the bytes its line carried,
and the rows lost. Exits 1 when a file differs or a row is lost. With --idle, one logger on an
open line that stays quiet: its processor share and resident memory.

  python3 bench/logger_many.py --logger L --replay R --sim S [--loggers 32] [--seconds 300]
  python3 bench/logger_many.py --logger L --replay R --sim S --idle [--seconds 60]
"""

import argparse
import os
import signal
import shutil
import subprocess
import sys
import tempfile
import time

LINE_RATE = 960  # characters a second at 9600 baud, 8N1


def cpu_seconds(pid):
    fields = open("/proc/%d/stat" % pid).read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def rss_kib(pid):
    for line in open("/proc/%d/status" % pid):
        if line.startswith("VmRSS:"):
            return int(line.split()[1])
    return 0


def wait_for(predicate, timeout, what):
    deadline = time.monotonic() + timeout
    while not predicate():
        if time.monotonic() > deadline:
            raise SystemExit("timed out waiting for " + what)
        time.sleep(0.05)


def main():
    parser = argparse.ArgumentParser()
    for option in ("--logger", "--replay", "--sim"):
        parser.add_argument(option, required=True)
    parser.add_argument("--loggers", type=int, default=32)
    parser.add_argument("--seconds", type=float, default=300)
    parser.add_argument("--idle", action="store_true")
    args = parser.parse_args()
    if not shutil.which("socat"):
        print("socat is missing")
        return 77
    count = 1 if args.idle else args.loggers
    folder = tempfile.mkdtemp(prefix="rheo-loggers-")
    cables, loggers, instruments, streams = [], [], [], []
    try:
        for i in range(count):
            device, instrument = (os.path.join(folder, "line%d%s" % (i, end)) for end in ("", "-i"))
            cables.append(subprocess.Popen(["socat", "pty,raw,echo=0,link=" + device,
                                            "pty,raw,echo=0,link=" + instrument]))
            wait_for(lambda: os.path.exists(device) and os.path.exists(instrument), 10, "socat")
            instruments.append(os.open(instrument, os.O_WRONLY | os.O_NOCTTY))
            err = open(os.path.join(folder, "stderr%d.txt" % i), "wb")
            loggers.append(subprocess.Popen(
                [args.logger, "--device", device, "--output", os.path.join(folder, "%d.csv" % i),
                 "--log", os.path.join(folder, "vlog%d.txt" % i)], stderr=err))
            # the message count for the run, each line its own series of values
            streams.append(b"" if args.idle else subprocess.run(
                [args.sim, "--interval", "1", "--vary", "--series", str(i + 1), "--count",
                 str(int(args.seconds * 14) + 14)], stdout=subprocess.PIPE, check=True).stdout)
        for i in range(count):
            wait_for(lambda: b"logging" in open(os.path.join(folder, "stderr%d.txt" % i),
                                                "rb").read(), 30, "logger %d" % i)
        time.sleep(1)
        start_cpu = sum(cpu_seconds(p.pid) for p in loggers)
        start = time.monotonic()
        sent = [0] * count
        tick = 0
        while (elapsed := time.monotonic() - start) < args.seconds:
            goal = int(elapsed * LINE_RATE)
            for i, fd in enumerate(instruments):
                chunk = streams[i][sent[i]:goal]
                if chunk:
                    sent[i] += os.write(fd, chunk)
            tick += 1
            time.sleep(max(0.0, start + tick * 0.1 - time.monotonic()))
        wall = time.monotonic() - start
        cpu = sum(cpu_seconds(p.pid) for p in loggers) - start_cpu
        rss = [rss_kib(p.pid) for p in loggers]
        time.sleep(1.5)  # the last characters through the 100 ms receive tick
        for p in loggers:
            p.send_signal(signal.SIGTERM)
        statuses = [p.wait(30) for p in loggers]
        print("%d logger(s), %.0f s%s: %.3f s of processor time, %.2f %% of one core in all; "
              "resident memory %d to %d KiB" % (count, wall, ", idle" if args.idle else
                                                " at 9600 baud", cpu, 100 * cpu / wall,
                                                min(rss), max(rss)))
        if args.idle:
            return 0 if statuses == [0] else 1
        identical = lost = messages = 0
        for i in range(count):
            capture = os.path.join(folder, "%d.bin" % i)
            open(capture, "wb").write(streams[i][:sent[i]])
            written = open(os.path.join(folder, "%d.csv" % i), "rb").read()
            date = written.split(b"\r\n")[1].split(b",")[0].decode()
            expected = subprocess.run([args.replay, "--date", date, capture],
                                      stdout=subprocess.PIPE, check=True).stdout
            identical += written == expected
            lost += max(0, expected.count(b"\r\n") - written.count(b"\r\n"))
            messages += expected.count(b"\r\n") - 1
        print("%d messages; %d of %d files byte for byte as rheotrack-replay writes them; "
              "%d rows lost; exit statuses %s" % (messages, identical, count, lost,
                                                  sorted(set(statuses))))
        return 0 if identical == count and lost == 0 and set(statuses) == {0} else 1
    finally:
        for p in loggers + cables:
            if p.poll() is None:
                p.kill()
                p.wait()
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
