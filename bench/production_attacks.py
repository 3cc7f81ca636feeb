#!/usr/bin/env python3
"""Attacks a production run as a line would and counts what the log promises.

    bench/production_attacks.py [BIN_DIR] [--kill N] [--disk N] [--writer N] [--edit N] [--offline N]
                                [--leased-values N]

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
  leased-values
          two stations on one line server take values from one 2,000-line
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

    bench/production_attacks.py [BIN_DIR] ... [--values CHIPS] [--list-change N]

The job-values attacks run a gang of 8 simulated programmers whose feeder
seats a faulty chip now and then (`faulty_chips`), with a job that writes a
list value, a MAC address and a per-device file into each chip:

  values       CHIPS chips in all, once with `--on-fail burn` and once with
               `--on-fail reuse`, killed with -9 at random moments and
               restarted until the count is made. Every value the log has
               issued is looked for among the records: doubles (a value that
               more than one chip may carry: used, burned or interrupted),
               losses (issued, named by no record and not waiting to be given
               again) and gaps (issued but on no good chip: burned or
               interrupted). Each record's CRC-32 is checked against the image
               with its own values written in (what the chip was verified
               against), and under reuse every failed chip's values must come
               back on a later chip.
  list-change  the value list is changed under a running gang: the run goes
               on with the values it read at its start, and the next run must
               refuse, naming the list, and program nothing.
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
import threading
import time
import zlib

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


def fresh_lines(trials):
    """Yields (number, folder, server) `trials` times: a temporary folder with
    a line server of its own, stopped when the next is asked for; None first
    when no server starts here."""
    for number in range(trials):
        with tempfile.TemporaryDirectory() as folder:
            server = LineServer(folder)
            if not server.start():
                yield None
                return
            try:
                yield number, folder, server
            finally:
                server.stop()


def line_attack(bin_dir, trials, trial):
    """Runs `trial(station, server, folder)` on a fresh line `trials` times;
    it returns the logs and whether a run exited 0 beside a refused record."""
    doubled = issued = silent = 0
    for line in fresh_lines(trials):
        if line is None:
            return None
        number, folder, server = line
        station = Station(bin_dir, folder, os.path.join(folder, "a.sqlite"))
        logs, quiet = trial(station, server.url(), folder, number)
        twice, named = serials_on_chips(logs)
        doubled += twice
        issued += named
        silent += quiet
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


VALUES_SCENARIO = ("chip class=0 id=0x373010 size=65536 page=256\nerase_time_ms 20\nfeeder on 200\n"
                   "faulty_chips 5 seed={seed}\nprogrammers {programmers}\n")
LIST_AT, MAC_AT, FILES_AT = 0x100, 0x200, 0x400
MAC_FIRST, MAC_LAST = 0x02005E000000, 0x02005EFFFFFF
VALUE_IMAGE = bytes([0x5A]) * 4096  # a dead first cell fails its verify


def mac_text(value):
    return ":".join(f"{(value >> shift) & 0xFF:02X}" for shift in range(40, -8, -8))


def list_item(index):
    return f"item-{index:06d}"


def device_file(index):
    # Lengths differ from chip to chip, so that a longer file's tail left in
    # an image would show in the next chip's checksum.
    return f"dev-{index:06d}.key", f"key {index:06d} ".encode() * (1 + index % 3)


class ValueStation(Station):
    """A gang of simulated programmers running a job with a value list, a MAC
    range and a folder of per-device files."""

    def __init__(self, bin_dir, folder, on_fail, values, programmers=8, seed=1):
        self.cli = os.path.abspath(os.path.join(bin_dir, "belcor-cli"))
        self.folder = folder
        self.log = os.path.join(folder, "log.sqlite")
        self.scenario = os.path.join(folder, "gang.scenario")
        self.job = os.path.join(folder, "v.belcorjob")
        self.list = os.path.join(folder, "list.txt")
        self.keys = os.path.join(folder, "keys")
        with open(self.scenario, "w") as out:
            out.write(VALUES_SCENARIO.format(seed=seed, programmers=programmers))
        with open(os.path.join(folder, "image.bin"), "wb") as out:
            out.write(VALUE_IMAGE)
        with open(self.list, "w") as out:
            out.writelines(list_item(index) + "\n" for index in range(values))
        os.mkdir(self.keys)
        for index in range(values):
            name, data = device_file(index)
            with open(os.path.join(self.keys, name), "wb") as out:
                out.write(data)
        subprocess.run([self.cli, "job", "create", self.job, "--chip", "A25L512", "--image",
                        os.path.join(folder, "image.bin"), "--list", f"list.txt:{LIST_AT:#x}:ascii",
                        "--mac", f"{MAC_AT:#x}:{mac_text(MAC_FIRST)}:{mac_text(MAC_LAST)}",
                        "--files", f"keys:{FILES_AT:#x}", "--on-fail", on_fail],
                       check=True, capture_output=True, cwd=folder)

    def batch(self, count, server=None, log=None):
        return super().batch(count, server, log) + ["--programmers", "all"]

    def made(self):
        """Chips with a result (passed or failed) in the log."""
        if not os.path.exists(self.log):
            return 0
        db = sqlite3.connect(self.log)
        try:
            return db.execute("SELECT COUNT(*) FROM records WHERE job = 'v' AND result IN ('pass', 'fail')"
                              ).fetchone()[0]
        except sqlite3.OperationalError:
            return 0
        finally:
            db.close()

    def records(self):
        db = sqlite3.connect(self.log)
        rows = db.execute("SELECT result, job_values, values_status, crc32 FROM records WHERE job = 'v' "
                          "ORDER BY id").fetchall()
        positions = db.execute("SELECT field, last FROM value_positions WHERE job = 'v'").fetchall()
        waiting = db.execute("SELECT field, key FROM returned_values WHERE job = 'v'").fetchall()
        reserved = db.execute("SELECT COUNT(*) FROM reserved_values WHERE job = 'v'").fetchone()[0]
        db.close()
        return rows, positions, waiting, reserved


def field_address(name):
    return int(name.rsplit("@", 1)[1], 16)


def value_key(address, text):
    """The ledger's key of a value as a record shows it."""
    if address == LIST_AT:
        return int(text.split("-")[1])
    if address == MAC_AT:
        return int(text.replace(":", ""), 16) - MAC_FIRST
    return text


def value_bytes(station, address, text):
    if address == FILES_AT:
        with open(os.path.join(station.keys, text), "rb") as data:
            return data.read()
    if address == MAC_AT:
        return bytes.fromhex(text.replace(":", ""))
    return text.encode()


def value_tally(station):
    """What the log says became of every value it issued."""
    station.reopen()
    rows, positions, waiting, reserved = station.records()
    held = {}      # (address, key): records that may have put it on a chip
    passing = {}   # (address, key): passed chips carrying it
    returned = []  # (address, key, record number) of failed chips that gave values back
    result = {"passes": 0, "fails": 0, "interrupted": 0, "contents wrong": 0, "returned": 0,
              "returned again": 0}
    for number, (outcome, values, status, crc) in enumerate(rows):
        result["passes" if outcome == "pass" else "fails" if outcome == "fail" else "interrupted"] += 1
        image = bytearray(VALUE_IMAGE)
        for item in values.split("; ") if values else []:
            at, text = item.split("=", 1)
            address = int(at, 16)
            key = (address, value_key(address, text))
            if status == "returned":
                returned.append((address, key[1], number))
            else:
                held.setdefault(key, []).append(status)
            if status == "used":
                passing[key] = passing.get(key, 0) + 1
            data = value_bytes(station, address, text)
            image[address:address + len(data)] = data
        if outcome != "interrupted" and int(crc, 16) != zlib.crc32(bytes(image)):
            result["contents wrong"] += 1
    # The ledger keys a list's or a range's values by their index, a folder's by the file's name.
    waiting_keys = {(field_address(field), key if field_address(field) == FILES_AT else int(key))
                    for field, key in waiting}
    later = {}
    for number, (_, values, status, _) in enumerate(rows):
        for item in values.split("; ") if values else []:
            at, text = item.split("=", 1)
            later.setdefault((int(at, 16), value_key(int(at, 16), text)), []).append(number)
    for address, key, number in returned:
        result["returned"] += 1
        result["returned again"] += any(n > number for n in later[(address, key)]) or (address, key) in waiting_keys
    files = sorted(os.listdir(station.keys))
    sources = {}
    for field, last in positions:
        address = field_address(field)
        issued = files[:files.index(last) + 1] if address == FILES_AT else range(int(last) + 1)
        issued_keys = set(issued)
        doubles = sum(max(0, len(held.get((address, key), [])) - 1) for key in issued)
        doubles += sum(1 for key in issued if (address, key) in waiting_keys and (address, key) in held)
        beyond = sum(1 for (at, key) in held if at == address and key not in issued_keys)
        lost = sum(1 for key in issued if (address, key) not in held and (address, key) not in waiting_keys)
        gaps = [held[(address, key)][0] for key in issued
                if (address, key) in held and passing.get((address, key), 0) == 0]
        sources[address] = {"issued": len(issued), "doubles": doubles + beyond, "losses": lost,
                            "passing doubles": sum(1 for key in issued if passing.get((address, key), 0) > 1),
                            "gaps burned": gaps.count("burned"), "gaps interrupted": gaps.count("interrupted"),
                            "waiting": sum(1 for at, _ in waiting_keys if at == address)}
    result["sources"] = sources
    result["reserved left"] = reserved
    for total in ("doubles", "losses", "gaps burned", "gaps interrupted", "passing doubles"):
        result[total] = sum(source[total] for source in sources.values())
    return result


def values_attack(bin_dir, chips, on_fail, programmers=8):
    with tempfile.TemporaryDirectory() as folder:
        # Burned and interrupted chips take values too: a fifth more, and then some.
        station = ValueStation(bin_dir, folder, on_fail, chips + chips // 5 + 200, programmers)
        kills = 0
        stalled = 0
        started = time.monotonic()
        while stalled < 3:
            before = station.made()
            if before >= chips:
                break
            errors_path = os.path.join(folder, "errors.txt")
            with open(errors_path, "w") as errors:
                run = station.start(chips - before, errors)
                try:
                    run.wait(timeout=random.uniform(1.0, 20.0))
                except subprocess.TimeoutExpired:
                    run.kill()
                    run.wait()
                    kills += 1
            # A run that keeps stopping on its own without a chip made says why.
            stalled = stalled + 1 if station.made() == before else 0
        wall = time.monotonic() - started
        result = value_tally(station)
        result.update({"kills": kills, "wall": wall, "stalled": stalled >= 3})
        if result["stalled"]:
            with open(os.path.join(folder, "errors.txt")) as text:
                print(f"values attack ({on_fail}) stalled: {text.read().strip()[-300:]}", file=sys.stderr)
        for address, source in sorted(result["sources"].items()):
            print(f"values attack ({on_fail}), field {address:#x}: " +
                  ", ".join(f"{name} {count}" for name, count in source.items()), file=sys.stderr)
        return result


def list_change_attack(bin_dir, trials):
    """Changes the list under a running gang; returns the trials in which the
    next run started, a chip took a value of the changed list, or the refusal
    did not name the list."""
    faults = {"next run started": 0, "changed value programmed": 0, "list unnamed": 0}
    for _ in range(trials):
        with tempfile.TemporaryDirectory() as folder:
            station = ValueStation(bin_dir, folder, "burn", 400, programmers=4)
            run = station.start(300)
            time.sleep(random.uniform(1.0, 4.0))
            with open(station.list, "w") as out:
                out.writelines(f"changed-{index:06d}\n" for index in range(400))
            time.sleep(random.uniform(0.5, 3.0))
            run.send_signal(2)
            station.finish(run)
            made = station.made()
            refused = subprocess.run(station.batch(10), capture_output=True, text=True)
            faults["next run started"] += refused.returncode == 0 or station.made() != made
            faults["list unnamed"] += "list.txt" not in refused.stdout + refused.stderr
            rows = station.records()[0]
            faults["changed value programmed"] += sum(1 for row in rows if "changed-" in row[1])
    return faults


def values_attacks(bin_dir, chips, trials):
    if chips > 0:
        print("\n| values mode | chips | passes | fails | kills | doubles | losses | gaps burned (list/MAC/files) | "
              "gaps interrupted (list/MAC/files) | contents wrong | returned (given again) | wall time |")
        print("|---|---|---|---|---|---|---|---|---|---|---|---|")
        # Both modes at once: a run waits on its programmers, not on the processor.
        results = {}
        runs = [threading.Thread(target=lambda mode=mode: results.update({mode: values_attack(bin_dir, chips, mode)}))
                for mode in ("burn", "reuse")]
        for run in runs:
            run.start()
        for run in runs:
            run.join()
        for mode, r in sorted(results.items()):
            per_field = {gap: "/".join(str(r["sources"].get(at, {}).get(gap, 0)) for at in (LIST_AT, MAC_AT, FILES_AT))
                         for gap in ("gaps burned", "gaps interrupted")}
            stalled = " (stalled)" if r["stalled"] else ""
            print(f"| {mode} | {chips} | {r['passes']} | {r['fails']} | {r['kills']} | {r['doubles']} | "
                  f"{r['losses']} | {per_field['gaps burned']} | {per_field['gaps interrupted']} | "
                  f"{r['contents wrong']} | {r['returned']} ({r['returned again']}) | {r['wall']:.0f} s{stalled} |",
                  flush=True)
    if trials > 0:
        faults = list_change_attack(bin_dir, trials)
        print(f"\nlist changed under a running job, {trials} trials: " +
              ", ".join(f"{name} {count}" for name, count in faults.items()), flush=True)


def leased_values_attack(bin_dir, trials):
    """Two stations (two belcor-cli batches, two SQLite logs) on one line
    server run one job taking a value per chip from a shared 2,000-line list;
    the feeder seats failing chips, trials alternate --on-fail burn and
    reuse, and one station is killed (-9) mid-run, then run again. Every
    value the server leased is looked for in the stations' logs."""
    totals = {"leased": 0, "on chips": 0, "issued twice": 0, "lost": 0, "burned": 0, "interrupted": 0,
              "held": 0, "returned": 0, "failed chips": 0}
    for line in fresh_lines(trials):
        if line is None:
            return None
        number, folder, server = line
        for key, value in leased_values_trial(bin_dir, folder, server, number).items():
            totals[key] += value
    return totals


def leased_values_trial(bin_dir, folder, server, number):
    station = Station(bin_dir, folder, os.path.join(folder, "a.sqlite"))
    # The feeder's pauses leave the socket empty long enough for a batch to
    # see it, even after a failed chip's longer record.
    with open(station.scenario, "w") as out:
        out.write(SCENARIO.replace("feeder on 100", "feeder on 400") + f"faulty_chips 20 seed={number + 1}\n")
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
    counts = {"--kill": 60, "--disk": 16, "--writer": 9, "--edit": 4, "--offline": 3, "--leased-values": 2}
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
    values_attacks(bin_dir, counts.get("--values", 2000), counts.get("--list-change", 3))
    if counts["--leased-values"] > 0:
        result = leased_values_attack(bin_dir, counts["--leased-values"])
        print()
        if result is None:
            print("values leased by two stations: skipped, no PostgreSQL here")
        else:
            print("| values leased by two stations | trials | " + " | ".join(result) + " |")
            print("|---|---|" + "---|" * len(result))
            print(f"| | {counts['--leased-values']} | " + " | ".join(str(value) for value in result.values()) + " |",
                  flush=True)


if __name__ == "__main__":
    main()
