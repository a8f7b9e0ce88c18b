"""rheotrack-logger as a service runs it: real socat pseudo-terminal pairs as the serial lines,
real files, signals; every file compared with what rheotrack-replay writes for the same bytes.
Python stdlib only. Usage: logger_scenarios.py --logger L --replay R --sim S SCENARIO"""

import argparse
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

sys.dont_write_bytecode = True  # keep the source folder clean
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from e2e_support import Broker, Line, check, row_of, wait_for  # noqa: E402


def read(path):
    return open(path, "rb").read() if os.path.exists(path) else b""


def without_clock(log):
    """Event-log lines without their date and time texts."""
    return [line.split(b" ", 2)[2] for line in log.split(b"\r\n")[:-1]]


def need_mosquitto():
    if not all(shutil.which(t) for t in ("mosquitto", "mosquitto_sub", "mosquitto_passwd")):
        print("mosquitto is missing")
        sys.exit(77)


class Run:
    def __init__(self, args):
        for tool in ("logger", "replay", "sim"):
            setattr(args, tool, os.path.abspath(getattr(args, tool)))
        self.args = args
        self.dir = tempfile.mkdtemp(prefix="rheo-logger-")
        self.runs = 0

    def path(self, name):
        return os.path.join(self.dir, name)

    def capture(self, count, series=1):
        """Instrument text from rheotrack-sim: varying values, an error word every sixth."""
        return subprocess.run([self.args.sim, "--interval", "1", "--count", str(count), "--vary",
                               "--series", str(series), "--time", "11:59:58"],
                              stdout=subprocess.PIPE, check=True, timeout=120).stdout

    def logger(self, *arguments, started=True):
        """The logger, once it has said that it logs (unless `started` is false)."""
        self.runs += 1
        err = open(self.path("stderr-%d.txt" % self.runs), "wb")
        process = subprocess.Popen([self.args.logger, *arguments], stderr=err)
        if started:
            wait_for(lambda: b": logging " in read(err.name), 30, "the logger's start")
        return process, err.name

    def stop(self, process, expect=0):
        process.send_signal(signal.SIGTERM)
        check(process.wait(30) == expect, "exit status %s, not %d" % (process.returncode, expect))

    def replayed(self, data, rows_file, name):
        """The session file and event log rheotrack-replay writes for the bytes, on the date
        texts the logger's rows carry."""
        with open(self.path(name + ".bin"), "wb") as f:
            f.write(data)
        if os.path.exists(self.path(name + "-vlog.txt")):
            os.remove(self.path(name + "-vlog.txt"))  # the tool appends to its log
        date = read(rows_file).split(b"\r\n")[1].split(b",")[0].decode()
        subprocess.run([self.args.replay, "--date", date, "--output", self.path(name + ".csv"),
                        "--log", self.path(name + "-vlog.txt"), self.path(name + ".bin")],
                       check=True, timeout=60)
        return read(self.path(name + ".csv")), read(self.path(name + "-vlog.txt"))


def command_line(run):
    """Each fault: a clear message, exit status 2, nothing made."""
    open(run.path("old.csv"), "wb").close()
    faults = [([], "no serial line"), (["--device", "/dev/null"], "no output"),
              (["--port", "5", "--output", "x.csv"], "port from 1 to 4"),
              (["--port", "one", "--output", "x.csv"], "port from 1 to 4"),
              (["--device", "/dev/null", "--output"], "needs a value"),
              (["--device", "/dev/null", "--output", "x.csv", "--bogus"], "unknown option"),
              (["--device", "/dev/null", "--output", "x.csv", "extra"], "unexpected argument"),
              (["--device", "/dev/null", "--output", "x.csv", "--quiet=yes"], "takes no value"),
              (["--device", "/dev/null", "--output", "old.csv"], "give --force"),
              (["--device", "/dev/null", "--output", "/dev/full"], "not a regular file"),
              (["--device", "/dev/null", "--output", "x.csv", "--log", "/dev/full"],
               "not a regular file"),
              (["--device", "/dev/null", "--output", "no/x.csv"], "no folder"),
              (["--device", "/dev/null", "--output-dir", "old.csv"], "not a folder"),
              (["--device", "/dev/null", "--output-dir", ".", "--instrument", "../up"],
               "cannot name a file"),
              (["--device", "/dev/null", "--output", "x.csv", "--config", "none.txt"],
               "configuration file"),
              # not a serial device, and (the last --device counting) one that is not there
              (["--device", "/dev/null", "--output", "x.csv", "--mqtt", "ftp://h"], "mqtt://"),
              (["--device", "/dev/null", "--output", "x.csv", "--mqtt-base", "lab"],
               "need --mqtt URL"),
              (["--device", "/dev/null", "--output", "x.csv", "--mqtt", "mqtt://h",
                "--mqtt-user", "u", "--mqtt-password-file", "old.csv"], "refusing to send"),
              (["--device", "/dev/null", "--output", "x.csv", "--mqtt", "mqtts://h",
                "--mqtt-password-file", "none.txt"], "cannot read the password file"),
              (["--device", "/dev/null", "--output", "x.csv", "--mqtt", "mqtts://h",
                "--mqtt-cafile", "none.crt"], "not a readable file"),
              (["--device", "/dev/null", "--output", "x.csv", "--mqtt-allow-plaintext=1"],
               "takes no value"),
              (["--device", "/dev/null", "--output", "x.csv"], "cannot open /dev/null"),
              (["--device", "/dev/null", "--device", "/dev/nothing", "--output", "x.csv"],
               "cannot open /dev/nothing")]
    for arguments, said in faults:
        result = subprocess.run([run.args.logger, *arguments], cwd=run.dir, stderr=subprocess.PIPE,
                                timeout=30)
        text = result.stderr.decode()
        check(result.returncode == 2 and text.startswith("rheotrack-logger: ") and said in text,
              "%s: %d %r" % (arguments, result.returncode, text))
        check(sorted(os.listdir(run.dir)) == ["old.csv"], "%s made %s" % (arguments,
                                                                         os.listdir(run.dir)))


def outputs(run):
    """--output (and --force), --append and --output-dir, each byte for byte as replayed."""
    line = Line(run.dir)
    line.plug()
    first, second = run.capture(300, 1), run.capture(200, 2)
    out, daily = run.path("out.csv"), run.path("daily")
    os.mkdir(daily)
    for arguments, data in (([], first), (["--force"], first)):
        with open(out, "wb") as f:
            f.write(b"old rows\r\n" if arguments else b"")
        if not arguments:
            os.remove(out)
        logger, _ = run.logger("--device", line.device, "--output", out, *arguments)
        line.send(data)
        wait_for(lambda: read(out).count(b"\r\n") == 301, 30, "301 lines")
        run.stop(logger)
        rows, log = run.replayed(first, out, "first")
        check(read(out) == rows, "--output %s differs from the replayed file" % arguments)
        logged, replayed = without_clock(read(run.path("vlog.txt"))), without_clock(log)
        check(logged == replayed * (len(arguments) + 1), "the event log differs from the "
              "replayed one: %d lines, %d replayed" % (len(logged), len(replayed)))
    logger, _ = run.logger("--device", line.device, "--append", out, "--log", run.path("a.txt"))
    line.send(second)
    wait_for(lambda: read(out).count(b"\r\n") == 501, 30, "501 lines")
    run.stop(logger)
    rows, _ = run.replayed(second, out, "second")
    check(read(out) == read(run.path("first.csv")) + rows.split(b"\r\n", 1)[1], "--append")
    # One file a day, named after the instrument; a restart the same day appends.
    name = "visco 2_" + time.strftime("%Y-%m-%d") + ".csv"
    for part, lines in ((first, 301), (second, 501)):
        logger, _ = run.logger("--device", line.device, "--output-dir", daily, "--instrument",
                               "visco 2")
        line.send(part)
        wait_for(lambda: read(os.path.join(daily, name)).count(b"\r\n") == lines, 30, "rows")
        run.stop(logger)
    check(os.listdir(daily) == [name, "vlog.txt"] or sorted(os.listdir(daily)) ==
          sorted([name, "vlog.txt"]), "daily folder holds %s" % os.listdir(daily))
    check(read(os.path.join(daily, name)) == read(out), "the day's file differs")
    line.pull()


def sigterm_burst(run):
    """SIGTERM while a burst arrives at five times the line's rate: exit 0, and the file is
    whole rows, the first of replay's."""
    line = Line(run.dir)
    line.plug()
    data, out = run.capture(3000, 3), run.path("out.csv")
    logger, _ = run.logger("--device", line.device, "--output", out)
    sender = threading.Thread(target=lambda: line.send(data, 4800), daemon=True)
    sender.start()
    wait_for(lambda: read(out).count(b"\r\n") > 200, 60, "rows")
    run.stop(logger)
    rows, _ = run.replayed(data, out, "burst")
    written = read(out)
    check(written.endswith(b"\r\n") and rows.startswith(written) and len(written) < len(rows),
          "the file is not whole rows of the replayed file: %r" % written[-80:])
    line.pull()


def unattended(run):
    """--wait for a device not there yet, SIGHUP after the log was moved, the adapter pulled
    and back, in one run: the log names the device, the rows go on in the same file."""
    line = Line(run.dir)
    out, log = run.path("out.csv"), run.path("vlog.txt")
    logger, err = run.logger("--device", line.device, "--output", out, "--log", log, "--wait",
                             started=False)
    wait_for(lambda: b"waiting for " + line.device.encode() in read(err), 10, "waiting")
    line.plug()
    wait_for(lambda: b"Port back::" + line.device.encode() in read(log), 10, "the device")
    parts = [run.capture(60, 1), run.capture(60, 4)]
    line.send(parts[0])
    wait_for(lambda: read(out).count(b"\r\n") == 61, 30, "the first rows")
    os.rename(log, log + ".1")
    logger.send_signal(signal.SIGHUP)
    wait_for(lambda: os.path.exists(log), 10, "a new event log after SIGHUP")
    check(b"event log reopened" in read(err), "SIGHUP is not told")
    line.pull()
    wait_for(lambda: b"Port lost::" + line.device.encode() in read(log), 10, "the loss")
    line.plug()
    wait_for(lambda: b"Port back::" + line.device.encode() in read(log), 10, "the return")
    line.send(parts[1])
    wait_for(lambda: read(out).count(b"\r\n") == 121, 30, "the rows after the return")
    run.stop(logger)
    check(logger.poll() == 0 and b"stopped after 120 readings" in read(err), "the end")
    check([l.startswith(b"rheotrack-logger: line: ") for l in read(err).splitlines()].count(False)
          == 0, "stderr lines: %r" % read(err))
    line.pull()


def lost_file(run):
    """A session folder that goes away: the row is lost and said so, the logger takes the file
    again once the folder is back, and ends with exit status 1 for the lost rows."""
    line = Line(run.dir)
    line.plug()
    daily, log = run.path("daily"), run.path("vlog.txt")
    os.mkdir(daily)
    logger, err = run.logger("--device", line.device, "--output-dir", daily, "--log", log)
    line.send(run.capture(5))
    name = os.path.join(daily, "line_" + time.strftime("%Y-%m-%d") + ".csv")
    wait_for(lambda: read(name).count(b"\r\n") == 6, 30, "the first rows")
    shutil.rmtree(daily)
    line.send(run.capture(1))
    wait_for(lambda: b"error: Cannot access file. Process aborted" in read(err), 10, "the fault")
    check(without_clock(read(log))[-1].startswith(b"End of process::"), "no End of process")
    os.mkdir(daily)
    wait_for(lambda: b"writing again to " + name.encode() in read(err), 10, "the file again")
    line.send(run.capture(2))
    wait_for(lambda: read(name).count(b"\r\n") == 3, 30, "the rows after")
    # The file moved away and a link to another file put under its name: never written to.
    other = run.path("notes.txt")
    with open(other, "wb") as f:
        f.write(b"notes\n")
    os.rename(name, name + ".moved")
    os.symlink(other, name)
    line.send(run.capture(1))
    wait_for(lambda: b"now leads to another file" in read(err), 10, "the other file refused")
    line.send(run.capture(1))
    time.sleep(1.5)
    check(read(other) == b"notes\n", "rows went into another file")
    run.stop(logger, expect=1)
    line.pull()


def published(run):
    """Every reading through the logger reaches a subscriber, in order and equal to its row;
    the broker stopped mid-stream and the logger killed during the outage lose nothing."""
    need_mosquitto()
    broker = Broker(run.dir)
    broker.up()
    line = Line(run.dir)
    line.plug()
    out = run.path("out.csv")
    batches = [run.capture(20, series) for series in (1, 2, 3)]
    options = ["--device", line.device, "--append", out, "--instrument", "visco-1",
               "--mqtt", "mqtt://127.0.0.1:%d" % broker.port, "--mqtt-base", "lab",
               "--mqtt-outbox", run.path("visco-1.outbox")]
    def rows():
        return read(out).split(b"\r\n")[1:-1]
    try:
        logger, _ = run.logger(*options)
        line.send(batches[0], 960)
        wait_for(lambda: len(broker.messages()) >= 20, 30, "20 readings at the broker")
        first = broker.messages()
        check([m["seq"] for m in first] == list(range(1, 21)), "seq is not 1 to 20 in order")
        check([row_of(m) for m in first] == rows(), "the readings published are not the rows")

        broker.down()
        outage = time.monotonic()
        line.send(batches[1], 960)
        wait_for(lambda: len(rows()) == 40, 30, "40 rows during the outage")
        logger.kill()  # SIGKILL during the outage: the outbox holds what was not acknowledged
        logger.wait(10)
        logger, _ = run.logger(*options)
        line.send(batches[2], 960)
        wait_for(lambda: len(rows()) == 60, 30, "60 rows")
        time.sleep(max(0.0, outage + 20 - time.monotonic()))  # a 20 s outage
        broker.up()
        wait_for(lambda: {m["seq"] for m in broker.messages()} >= set(range(1, 61)), 90,
                 "every seq from 1 to 60 at the broker")
        time.sleep(1)  # what the broker still sends after the last new one: duplicates
        run.stop(logger)
    finally:
        broker.end()
    messages, by_seq = broker.messages(), {}
    for message in messages:
        check(by_seq.setdefault(message["seq"], message) == message,
              "two messages with seq %d differ" % message["seq"])
    check(list(by_seq) == list(range(1, 61)), "the readings came out of order: %s" % list(by_seq))
    check([row_of(m) for m in by_seq.values()] == rows(), "the readings published are not the rows")
    check(read(out) == run.replayed(b"".join(batches), out, "published")[0],
          "the session file differs from rheotrack-replay's")
    print("readings published: 60, messages received: %d, duplicates: %d"
          % (len(messages), len(messages) - 60))
    line.pull()


def replay_published(run):
    """rheotrack-replay --mqtt back-fills a capture: it ends when every reading is acknowledged,
    each arrived in order, equal to its row of the session file the tool wrote."""
    need_mosquitto()
    broker = Broker(run.dir)
    broker.up()
    time.sleep(0.5)  # the subscriber's session is there
    try:
        with open(run.path("visco-1.bin"), "wb") as f:
            f.write(run.capture(300, 2))
        subprocess.run([run.args.replay, "--output", run.path("visco-1.csv"), "--mqtt",
                        "mqtt://127.0.0.1:%d" % broker.port, "--mqtt-base", "lab",
                        "--mqtt-outbox", run.path("replay.outbox"), run.path("visco-1.bin")],
                       check=True, timeout=60)
        wait_for(lambda: len(broker.messages()) >= 300, 30, "300 readings at the broker")
    finally:
        broker.end()
    rows = read(run.path("visco-1.csv")).split(b"\r\n")[1:-1]
    messages = broker.messages()
    check([m["seq"] for m in messages] == list(range(1, 301)), "seq is not 1 to 300 in order")
    check([row_of(m) for m in messages] == rows,
          "the readings published are not the rows")


def make_certificates(folder):
    """A CA, server (for 127.0.0.1) and client certificates it signed, a CA that signed neither,
    and a password file for the user "logger"."""
    script = """set -e
for ca in ca other; do openssl req -x509 -newkey rsa:2048 -nodes -days 2 -keyout $ca.key \\
  -out $ca.crt -subj /CN=$ca; done
echo subjectAltName=IP:127.0.0.1 > san.ext
for who in server client; do openssl req -newkey rsa:2048 -nodes -keyout $who.key -subj /CN=$who \\
  | openssl x509 -req -CA ca.crt -CAkey ca.key -CAcreateserial -days 2 -extfile san.ext \\
  -out $who.crt; done
mosquitto_passwd -c -b passwd logger right-secret && echo right-secret > right
echo wrong-secret > wrong"""
    result = subprocess.run(["sh", "-c", script], cwd=folder, stdout=subprocess.PIPE,
                            stderr=subprocess.STDOUT, timeout=120)
    check(result.returncode == 0, "making the certificates: %s" % result.stdout.decode())


def tls_login(run):
    """TLS with a client certificate and a login: the right ones publish; a wrong password, a
    foreign CA or the system's store each told in one line on standard error and in the event
    log, while the rows go on and attempts back off. No password is ever shown."""
    need_mosquitto()
    make_certificates(run.dir)
    broker = Broker(run.dir, secure=run.dir)
    broker.up()
    line = Line(run.dir)
    line.plug()
    where = "127.0.0.1:%d" % broker.secure_port
    login = "MQTT: the broker %s refused the login (Connection Refused: not authorised.)" % where
    unverified = "MQTT: the certificate of %s did not verify (certificate verify failed)" % where
    runs = [("right", "ca", None), ("wrong", "ca", login), ("other", "other", unverified),
            ("store", None, unverified)]
    try:
        for name, ca, refusal in runs:
            out, log = run.path(name + ".csv"), run.path(name + "-vlog.txt")
            options = ["--device", line.device, "--output", out, "--log", log,
                       "--instrument", "visco-1" if refusal is None else "visco-2",
                       "--mqtt", "mqtts://" + where, "--mqtt-base", "lab",
                       "--mqtt-cert", run.path("client.crt"), "--mqtt-key", run.path("client.key"),
                       "--mqtt-user", "logger", "--mqtt-outbox", run.path(name + ".outbox"),
                       "--mqtt-password-file", run.path("wrong" if name == "wrong" else "right")]
            if ca:
                options += ["--mqtt-cafile", run.path(ca + ".crt")]
            tried = read(run.path("mosquitto.log")).count(b"New connection from")
            logger, err = run.logger(*options)
            started = time.monotonic()
            line.send(run.capture(10), 960)
            wait_for(lambda: read(out).count(b"\r\n") == 11, 30, "%s: 10 rows" % name)
            if refusal is None:
                wait_for(lambda: len(broker.messages()) >= 10, 30, "10 readings at the broker")
                check([m["seq"] for m in broker.messages()] == list(range(1, 11)),
                      "seq is not 1 to 10")
            else:
                time.sleep(max(0.0, started + 6.5 - time.monotonic()))
            run.stop(logger)
            told = [l for l in read(err).decode().splitlines() if "MQTT" in l]
            logged = [e for e in without_clock(read(log)) if e.startswith(b"Publishing::")]
            check(len(told) == (refusal is not None) and all(l.endswith(refusal) for l in told)
                  and logged == ([b"Publishing::" + refusal.encode()] if refusal else []),
                  "%s: told %r, logged %r" % (name, told, logged))
            if refusal is None:
                continue
            # Attempts 1, 2 and 4 s apart in 6.5 s: four at most, where one a second makes seven.
            attempts = read(run.path("mosquitto.log")).count(b"New connection from") - tried
            check(2 <= attempts <= 4, "%s: %d attempts in 6.5 s" % (name, attempts))
    finally:
        broker.end()
        line.pull()
    for name in os.listdir(run.dir):
        if name not in ("right", "wrong", "passwd") and os.path.isfile(run.path(name)):
            check(b"secret" not in read(run.path(name)), "a password is shown in " + name)


def main():
    parser = argparse.ArgumentParser()
    for option in ("--logger", "--replay", "--sim"):
        parser.add_argument(option, required=True)
    parser.add_argument("scenario", choices=["command_line", "outputs", "sigterm_burst",
                                             "unattended", "lost_file", "published",
                                             "replay_published", "tls_login"])
    args = parser.parse_args()
    if not shutil.which("socat"):
        print("socat is missing")
        return 77
    globals()[args.scenario](Run(args))
    print(args.scenario, "passed")


if __name__ == "__main__":
    sys.exit(main())
