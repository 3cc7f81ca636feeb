#!/usr/bin/env python3
"""Attacks a production run as a line would and counts what the log promises.

    bench/production_attacks.py [BIN_DIR] [--kill N] [--disk N] [--writer N] [--edit N] [--offline N]
                                [--values N]

Runs belcor-cli (from BIN_DIR, default build/test/bin) against the simulator's
feeder with a job that issues serial numbers 1, 2, 3, ... and attacks it:

  kill    kill -9 at a random moment of a run, N times in a row on one log
  disk    the log on a small tmpfs that fills up during a run (needs root)
  writer  another program holding the log (BEGIN EXCLUSIVE) for 1 to 40 s,
          while the feeder swaps chips; a run that neither goes on nor stops
          within a minute counts as hung
  edit    two stations on one line server (a PostgreSQL of its own): the
          second runs the job after its note and target were edited, or as a
          CRLF copy
  offline a station runs the job online, then without the line server, then
          a second station and the first again run it online
  values  two stations on one line server take values from one 2,000-line
          list, a fifth of the chips failing, --on-fail burn and reuse by
          turns, one station killed (-9) mid-run and run again; prints its
          own row: values leased, on chips, issued twice, lost (leased, on no
          record and held by no station), and the gaps by kind (burned,
          interrupted, still leased to a station, given back and waiting)

After each attack the log is opened once more (as the next run would) and
every serial number the log has issued is looked for among the records:

  lost            issued, but named by no record (a chip that may carry it
                  is unaccounted for)
  doubled         records sharing one uid (one chip recorded twice)
  serials doubled serial numbers named by more than one record
  interrupted     records of chips whose program ended during the chip (the
                  serial is named; the chip's result is not known)

The line-server attacks count serial numbers that more than one chip of
the stations' logs carries, and runs that exit 0 although the server refused
records of theirs.

Prints one table row per attack.
"""
import json
import os
import pwd
import random
import socket
import sqlite3
import subprocess
import sys
import tempfile
import time

SCENARIO = ("chip class=0 id=0x373010 size=65536 page=256\nerase_time_ms 200\nfeeder on 100\n"
            "versions H2.0 V3.10 BU2SIM0000042\n")


class Station:
    def __init__(self, bin_dir, folder, log):
        self.cli = os.path.join(bin_dir, "belcor-cli")
        self.folder = folder
        self.log = log
        self.scenario = os.path.join(folder, "fed.scenario")
        self.job = os.path.join(folder, "j.belcorjob")
        with open(self.scenario, "w") as out:
            out.write(SCENARIO)
        with open(os.path.join(folder, "image.bin"), "wb") as out:
            out.write(bytes([0x5A]) * 4096)
        subprocess.run([self.cli, "job", "create", self.job, "--chip", "A25L512", "--image",
                        os.path.join(folder, "image.bin"), "--serial", "0x10:4:le:1"],
                       check=True, capture_output=True)

    def batch(self, count, server=None, log=None):
        return [self.cli, "--simulator=" + self.scenario, "batch", "--job", self.job, "--count", str(count),
                "--log-db", log or self.log] + (["--log-db", server] if server else [])

    def start(self, count, errors=subprocess.DEVNULL):
        return subprocess.Popen(self.batch(count), stdout=subprocess.DEVNULL, stderr=errors)

    def run(self, count, server=None, log=None):
        """The exit status of a whole batch."""
        return subprocess.run(self.batch(count, server, log), capture_output=True).returncode

    @staticmethod
    def finish(run):
        """The run's exit status and whether it hung: a run that neither goes
        on nor stops within a minute is ended with Ctrl-C."""
        try:
            return run.wait(timeout=60), False
        except subprocess.TimeoutExpired:
            run.send_signal(2)
            return run.wait(), True

    def reopen(self):
        # Any program opening the log finishes what a killed one left.
        subprocess.run([self.cli, "log", "export", "--csv", os.path.join(self.folder, "check.csv"),
                        "--log-db", self.log], capture_output=True)

    def tally(self):
        self.reopen()
        db = sqlite3.connect(self.log)
        rows = db.execute("SELECT uid, serial, result FROM records WHERE job = 'j'").fetchall()
        state = db.execute("SELECT next, last FROM serials WHERE job = 'j'").fetchone()
        db.close()
        issued = int(state[1]) if state and state[1] else 0
        named = {}
        uids = {}
        for uid, serial, _ in rows:
            named[serial] = named.get(serial, 0) + 1
            uids[uid] = uids.get(uid, 0) + 1
        return {
            "issued": issued,
            "lost": sum(1 for value in range(1, issued + 1) if str(value) not in named),
            "doubled": sum(count - 1 for count in uids.values()),
            "serials doubled": sum(count - 1 for count in named.values()),
            "interrupted": sum(1 for row in rows if row[2] == "interrupted"),
            "records": len(rows),
        }


def kill_attack(bin_dir, trials):
    with tempfile.TemporaryDirectory() as folder:
        station = Station(bin_dir, folder, os.path.join(folder, "log.sqlite"))
        for _ in range(trials):
            run = station.start(1000)
            time.sleep(random.uniform(0.3, 4.0))
            run.kill()
            run.wait()
        return station.tally()


def disk_attack(bin_dir, trials):
    with tempfile.TemporaryDirectory() as folder:
        disk = os.path.join(folder, "disk")
        os.mkdir(disk)
        if subprocess.run(["mount", "-t", "tmpfs", "-o", "size=2m", "tmpfs", disk], capture_output=True).returncode:
            return None
        try:
            station = Station(bin_dir, folder, os.path.join(disk, "log.sqlite"))
            stopped = 0
            for trial in range(trials):
                run = station.start(4)
                time.sleep(random.uniform(0.2, 3.0))
                filler = os.path.join(disk, "filler")
                fd = os.open(filler, os.O_WRONLY | os.O_CREAT | os.O_APPEND, 0o600)
                try:
                    while True:
                        os.write(fd, b"x" * 4096)
                except OSError:
                    pass
                os.close(fd)
                # Some room comes back within the 30 s wait in half of the trials.
                if trial % 2 == 0:
                    time.sleep(random.uniform(1.0, 10.0))
                    os.remove(filler)
                stopped += station.finish(run)[0] != 0
                if os.path.exists(filler):
                    os.remove(filler)
            result = station.tally()
            result["runs stopped"] = stopped
            return result
        finally:
            subprocess.run(["umount", "-l", disk])


def writer_attack(bin_dir, trials):
    with tempfile.TemporaryDirectory() as folder:
        station = Station(bin_dir, folder, os.path.join(folder, "log.sqlite"))
        station.reopen()
        stopped = 0
        hung = 0
        reasons = {}
        for trial in range(trials):
            errors_path = os.path.join(folder, f"errors-{trial}.txt")
            errors = open(errors_path, "w")
            run = station.start(4, errors)
            time.sleep(random.uniform(0.3, 2.5))
            hold = random.uniform(1.0, 40.0)
            holder = subprocess.Popen(
                [sys.executable, "-c",
                 "import sqlite3,sys,time\n"
                 "db=sqlite3.connect(sys.argv[1],isolation_level=None)\n"
                 "db.execute('BEGIN EXCLUSIVE')\n"
                 "time.sleep(float(sys.argv[2]))\n"
                 "db.execute('ROLLBACK')\n", station.log, str(hold)])
            holder.wait()
            status, hang = station.finish(run)
            errors.close()
            stopped += status != 0
            hung += hang
            if status != 0 and not hang:
                with open(errors_path) as text:
                    reason = why_stopped(text.read())
                reasons[reason] = reasons.get(reason, 0) + 1
        result = station.tally()
        result["runs stopped"] = stopped
        result["hung"] = hung
        print("writer attack, why runs stopped: " + (", ".join(f"{count} {reason}" for reason, count in
                                                           sorted(reasons.items())) or "none"), file=sys.stderr)
        return result


def why_stopped(errors):
    for words, reason in (("socket was not seen empty", "socket unseen during the wait"),
                          ("cannot be written to the production log", "record kept after 30 s"),
                          ("The production log cannot be written", "log unwritable before a chip"),
                          ("still cannot be written", "earlier record still pending")):
        if words in errors:
            return reason
    return "other: " + (errors.strip().splitlines() or ["-"])[-1][:80]


class LineServer:
    """A PostgreSQL of the attack's own, as the tests start one: initdb into
    a temporary folder, run as an unprivileged user, on a free port."""

    def __init__(self, folder):
        versions = sorted(os.listdir("/usr/lib/postgresql")) if os.path.isdir("/usr/lib/postgresql") else []
        self.bin = os.path.join("/usr/lib/postgresql", versions[-1], "bin") if versions else None
        self.folder = os.path.join(folder, "pg")
        self.port = None

    def _as_server(self, command):
        user = "postgres" if os.getuid() == 0 and self._has_user("postgres") else "nobody"
        return (["runuser", "-u", user, "--"] if os.getuid() == 0 else []) + command

    @staticmethod
    def _has_user(name):
        try:
            pwd.getpwnam(name)
            return True
        except KeyError:
            return False

    def start(self):
        if not self.bin:
            return False
        os.mkdir(self.folder)
        if os.getuid() == 0:
            user = pwd.getpwnam("postgres" if self._has_user("postgres") else "nobody")
            os.chown(self.folder, user.pw_uid, user.pw_gid)
            os.chmod(os.path.dirname(self.folder), 0o755)
        with socket.socket() as probe:
            probe.bind(("127.0.0.1", 0))
            self.port = probe.getsockname()[1]
        data = os.path.join(self.folder, "data")
        subprocess.run(self._as_server([os.path.join(self.bin, "initdb"), "-D", data, "-U", "belcor",
                                        "--auth=trust", "-E", "UTF8", "--no-sync"]), check=True, capture_output=True)
        options = f"-p {self.port} -k {self.folder} -c listen_addresses=127.0.0.1 -c fsync=off"
        subprocess.run(self._as_server([os.path.join(self.bin, "pg_ctl"), "-D", data, "-o", options, "-l",
                                        os.path.join(self.folder, "server.log"), "-w", "start"]),
                       check=True, capture_output=True)
        return True

    def stop(self):
        subprocess.run(self._as_server([os.path.join(self.bin, "pg_ctl"), "-D", os.path.join(self.folder, "data"),
                                        "-m", "fast", "-w", "stop"]), capture_output=True)

    def url(self):
        return f"postgresql://belcor@127.0.0.1:{self.port}/postgres"


def serials_on_chips(logs):
    """Serial numbers that more than one chip of these logs carries."""
    count = {}
    for log in logs:
        if not os.path.exists(log):
            continue
        db = sqlite3.connect(log)
        for (serial,) in db.execute("SELECT serial FROM records WHERE serial <> ''"):
            count[serial] = count.get(serial, 0) + 1
        db.close()
    return sum(1 for chips in count.values() if chips > 1), sum(count.values())


def line_attack(bin_dir, trials, trial):
    """Runs `trial(station, server, folder)` on a fresh line `trials` times;
    it returns the logs and whether a run exited 0 beside a refused record."""
    doubled = issued = silent = 0
    for number in range(trials):
        with tempfile.TemporaryDirectory() as folder:
            server = LineServer(folder)
            if not server.start():
                return None
            try:
                station = Station(bin_dir, folder, os.path.join(folder, "a.sqlite"))
                logs, quiet = trial(station, server.url(), folder, number)
                twice, named = serials_on_chips(logs)
                doubled += twice
                issued += named
                silent += quiet
            finally:
                server.stop()
    return {"issued": issued, "lost": "-", "doubled": "-", "serials doubled": doubled, "interrupted": "-",
            "runs stopped": "-", "hung": "-", "silent": silent}


def edit_trial(station, server, folder, number):
    first = station.run(20, server)
    with open(station.job, "rb") as text:
        job = text.read()
    if number % 2:
        job = job.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")
    else:
        fields = json.loads(job)
        fields["note"] = f"edited {number}"
        fields["target"] = 100000
        job = json.dumps(fields, indent=2).encode()
    with open(station.job, "wb") as out:
        out.write(job)
    second_log = os.path.join(folder, "b.sqlite")
    second = station.run(20, server, second_log)
    logs = [station.log, second_log]
    return logs, (first == 0 or second == 0) and serials_on_chips(logs)[0] > 0


def offline_trial(station, server, folder, number):
    second_log = os.path.join(folder, "b.sqlite")
    statuses = [station.run(5, server), station.run(30), station.run(10, server, second_log),
                station.run(5, server)]
    logs = [station.log, second_log]
    return logs, statuses.count(0) == len(statuses) and serials_on_chips(logs)[0] > 0


def leased_values_attack(bin_dir, trials):
    """Two stations (two belcor-cli batches, two SQLite logs) on one line
    server run one job taking a value per chip from a shared 2,000-line list;
    the feeder seats failing chips, trials alternate --on-fail burn and
    reuse, and one station is killed (-9) mid-run, then run again. Every
    value the server leased is looked for in the stations' logs."""
    totals = {"leased": 0, "on chips": 0, "issued twice": 0, "lost": 0, "burned": 0, "interrupted": 0,
              "held": 0, "returned": 0, "failed chips": 0}
    for number in range(trials):
        with tempfile.TemporaryDirectory() as folder:
            server = LineServer(folder)
            if not server.start():
                return None
            try:
                trial = leased_values_trial(bin_dir, folder, server, number)
            finally:
                server.stop()
            for key, value in trial.items():
                totals[key] += value
    return totals


def leased_values_trial(bin_dir, folder, server, number):
    station = Station(bin_dir, folder, os.path.join(folder, "a.sqlite"))
    # The feeder's pauses leave the socket empty long enough for a batch to
    # see it, even after a failed chip's longer record.
    with open(station.scenario, "w") as out:
        out.write(SCENARIO.replace("feeder on 100", "feeder on 400") + f"failing_chips 20 seed={number + 1}\n")
    with open(os.path.join(folder, "list.txt"), "w") as out:
        out.write("".join(f"V{index:05d}\n" for index in range(2000)))
    station.job = os.path.join(folder, "values.belcorjob")
    subprocess.run([station.cli, "job", "create", station.job, "--chip", "A25L512", "--image",
                    os.path.join(folder, "image.bin"), "--serial", "0x10:4:le:1",
                    "--list", os.path.join(folder, "list.txt") + ":0x100:ascii",
                    "--on-fail", "reuse" if number % 2 else "burn"], check=True, capture_output=True)
    logs = [station.log, os.path.join(folder, "b.sqlite")]
    runs = [subprocess.Popen(station.batch(30, server.url(), log), stdout=subprocess.DEVNULL,
                             stderr=subprocess.DEVNULL) for log in logs]
    time.sleep(random.uniform(3.0, 8.0))
    runs[0].kill()
    for run in runs:
        Station.finish(run)
    station.run(20, server.url())
    on_chips = {}
    counts = {"burned": 0, "interrupted": 0, "held": 0, "returned": 0, "failed chips": 0}
    kept = set()
    for log in logs:
        # Any program opening the log finishes what a killed one left.
        subprocess.run([station.cli, "log", "export", "--csv", os.path.join(folder, "check.csv"), "--log-db", log],
                       capture_output=True)
        db = sqlite3.connect(log)
        for values, status, result in db.execute("SELECT job_values, values_status, result FROM records"):
            if not values:
                continue
            index = int(values.split("=V")[1])
            counts["failed chips"] += result == "fail"
            if status in ("used", "burned", "interrupted"):
                on_chips[index] = on_chips.get(index, 0) + 1
                if status != "used":
                    counts[status] += 1
        for table, name in (("leased_values", "held"), ("returned_values", "returned")):
            for (key,) in db.execute(f"SELECT key FROM {table}"):
                counts[name] += 1
                kept.add(int(key))
        db.close()
    leased = int(float(subprocess.run(
        [os.path.join(server.bin, "psql"), "-At", server.url(), "-c", "SELECT COALESCE(max(next), 0) FROM belcor_value_leases"],
        capture_output=True, text=True).stdout.strip() or 0))
    counts.update({
        "leased": leased,
        "on chips": len(on_chips),
        "issued twice": sum(chips - 1 for chips in on_chips.values()),
        "lost": sum(1 for index in range(leased) if index not in on_chips and index not in kept),
    })
    return counts


def main():
    args = sys.argv[1:]
    bin_dir = args.pop(0) if args and not args[0].startswith("--") else "build/test/bin"
    counts = {"--kill": 60, "--disk": 16, "--writer": 9, "--edit": 4, "--offline": 3, "--values": 2}
    while len(args) >= 2:
        name = args.pop(0)
        counts[name] = int(args.pop(0))
    print("| attack | trials | issued | lost | doubled | serials doubled | interrupted | runs stopped | hung | "
          "exit 0 beside doubles |")
    print("|---|---|---|---|---|---|---|---|---|---|")
    for name, attack, trials in (
            ("kill -9 mid-run", kill_attack, counts["--kill"]),
            ("full disk (tmpfs)", disk_attack, counts["--disk"]),
            ("log held by another writer", writer_attack, counts["--writer"]),
            ("job edited or CRLF between stations", lambda b, t: line_attack(b, t, edit_trial), counts["--edit"]),
            ("offline run of a leased job", lambda b, t: line_attack(b, t, offline_trial), counts["--offline"])):
        if trials <= 0:
            continue
        result = attack(bin_dir, trials)
        if result is None:
            print(f"| {name} | - | skipped: no tmpfs or no PostgreSQL here |")
            continue
        print(f"| {name} | {trials} | {result['issued']} | {result['lost']} | {result['doubled']} | "
              f"{result['serials doubled']} | {result['interrupted']} | {result.get('runs stopped', '-')} | "
              f"{result.get('hung', '-')} | {result.get('silent', '-')} |", flush=True)
    if counts["--values"] > 0:
        result = leased_values_attack(bin_dir, counts["--values"])
        print()
        if result is None:
            print("values leased by two stations: skipped, no PostgreSQL here")
        else:
            print("| values leased by two stations | trials | " + " | ".join(result) + " |")
            print("|---|---|" + "---|" * len(result))
            print(f"| | {counts['--values']} | " + " | ".join(str(value) for value in result.values()) + " |",
                  flush=True)


if __name__ == "__main__":
    main()
