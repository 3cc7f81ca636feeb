#!/usr/bin/env python3
"""Attacks a production run as a line would and counts what the log promises.

    bench/production_attacks.py [BIN_DIR] [--kill N] [--disk N] [--writer N]

Runs belcor-cli (from BIN_DIR, default build/test/bin) against the simulator's
feeder with a job that issues serial numbers 1, 2, 3, ... and attacks it:

  kill    kill -9 at a random moment of a run, N times in a row on one log
  disk    the log on a small tmpfs that fills up during a run (needs root)
  writer  another program holding the log (BEGIN EXCLUSIVE) for 1 to 40 s

After each attack the log is opened once more (as the next run would) and
every serial number the log has issued is looked for among the records:

  lost            issued, but named by no record (a chip that may carry it
                  is unaccounted for)
  doubled         records sharing one uid (one chip recorded twice)
  serials doubled serial numbers named by more than one record
  interrupted     records of chips whose program ended during the chip (the
                  serial is named; the chip's result is not known)

Prints one table row per attack.
"""
import os
import random
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

    def batch(self, count):
        return [self.cli, "--simulator=" + self.scenario, "batch", "--job", self.job, "--count", str(count),
                "--log-db", self.log]

    def start(self, count):
        return subprocess.Popen(self.batch(count), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

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
                stopped += run.wait() != 0
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
        for _ in range(trials):
            run = station.start(4)
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
            stopped += run.wait() != 0
        result = station.tally()
        result["runs stopped"] = stopped
        return result


def main():
    args = sys.argv[1:]
    bin_dir = args.pop(0) if args and not args[0].startswith("--") else "build/test/bin"
    counts = {"--kill": 60, "--disk": 16, "--writer": 9}
    while args:
        counts[args.pop(0)] = int(args.pop(0))
    print("| attack | trials | issued | lost | doubled | serials doubled | interrupted | runs stopped |")
    print("|---|---|---|---|---|---|---|---|")
    for name, attack, trials in (("kill -9 mid-run", kill_attack, counts["--kill"]),
                                 ("full disk (tmpfs)", disk_attack, counts["--disk"]),
                                 ("log held by another writer", writer_attack, counts["--writer"])):
        if trials <= 0:
            continue
        result = attack(bin_dir, trials)
        if result is None:
            print(f"| {name} | - | skipped: no tmpfs could be mounted (needs root) |")
            continue
        print(f"| {name} | {trials} | {result['issued']} | {result['lost']} | {result['doubled']} | "
              f"{result['serials doubled']} | {result['interrupted']} | {result.get('runs stopped', '-')} |",
              flush=True)


if __name__ == "__main__":
    main()
