"""belcor-cli --json: every command runs against the simulator, and what it
writes is checked against docs/cli-json.schema.json: stdout is exactly one
object of the schema whose exit matches the process's, and every line of
stderr is one event of it. Run by ctest with BELCOR_BIN and BELCOR_SOURCE."""
import json
import os
import pathlib
import subprocess
import tempfile
import time
import unittest

import jsonschema

BIN = pathlib.Path(os.environ.get("BELCOR_BIN", "build/dev/bin")).resolve()
SOURCE = pathlib.Path(os.environ.get("BELCOR_SOURCE", ".")).resolve()
SCHEMA = json.loads((SOURCE / "docs" / "cli-json.schema.json").read_text())

SMALL = "chip class=0 id=0x373010 size=65536 page=256\n"
# Reading the 64 KiB takes over a second of real time: progress must flow.
SLOW = SMALL + "transfer_rate 50\n"
FED = SMALL + "erase_time_ms 50\nfeeder on 100\n"
GANG = FED + "programmers 2\n"
HOLDING = SMALL + "contents file=image.bin\n"
UNPLUGGED = SMALL + "unplugged\n"


def validator(definition=None):
    schema = dict(SCHEMA)
    if definition:
        schema = {"$defs": SCHEMA["$defs"], "$ref": "#/$defs/" + definition}
    return jsonschema.Draft202012Validator(schema)


RESULT = validator()
EVENT = validator("event")


# One row per run, in order: later rows use the files earlier ones made.
# name, scenario (None: no simulator), arguments ("@NAME": a file of the
# test's folder), exit status, check of the result object.
def equal(key, value):
    return lambda result: result[key] == value


CASES = [
    ("Help", None, ["--help"], 0, lambda r: any("--json" in line for line in r["lines"])),
    ("Status", SMALL, ["status"], 0, equal("connected", True)),
    ("StatusWithoutProgrammer", UNPLUGGED, ["status"], 3, equal("connected", False)),
    ("Detect", SMALL, ["detect"], 0, equal("jedec_id", "373010")),
    ("Read", SLOW, ["--chip", "A25L512", "read", "@read.bin"], 0, equal("bytes", 65536)),
    ("Blank", SMALL, ["--chip", "A25L512", "blank"], 0, None),
    ("Erase", SMALL, ["--chip", "A25L512", "erase"], 0, None),
    ("Write", SMALL, ["--chip", "A25L512", "write", "@image.bin"], 0, None),
    ("WriteDeclined", SMALL, ["--chip", "A25L512", "write", "@long.bin"], 1, None),
    ("VerifyMismatch", SMALL, ["--chip", "A25L512", "verify", "@late.bin"], 1, equal("mismatch", 0x1234)),
    ("VerifyEqual", HOLDING, ["--chip", "A25L512", "verify", "@image.bin"], 0, equal("mismatch", None)),
    ("Auto", SMALL, ["--chip", "A25L512", "auto", "@image.bin"], 0, None),
    ("Batch", FED, ["--chip", "A25L512", "batch", "@image.bin", "--count", "2"], 0,
     lambda r: r["good"] == 2 and [chip["result"] for chip in r["chips"]] == ["pass", "pass"]),
    ("Convert", None, ["convert", "@image.bin", "@image.hex"], 0, equal("extent", 4096)),
    ("Info", SMALL, ["info"], 0, lambda r: r["serial"] != ""),
    ("UpgradeEmptyFile", SMALL, ["upgrade", "@empty.fwpk"], 1, None),
    ("List", None, ["list", "A25L512"], 0, lambda r: [c["name"] for c in r["chips"]] == ["A25L512"]),
    ("Programmers", SMALL, ["programmers"], 0, lambda r: r["programmers"][0]["state"] == "ready"),
    ("JobCreate", None, ["job", "create", "@job.belcorjob", "--chip", "A25L512", "--image", "@image.bin",
                         "--serial", "0:4:dec:1"], 0, None),
    ("JobShow", None, ["job", "show", "@job.belcorjob"], 0, equal("name", "job")),
    ("JobBatch", FED, ["batch", "--job", "@job.belcorjob", "--count", "2", "--log-db", "@log.sqlite"], 0,
     lambda r: r["good"] == 2 and [c["serial"] for c in r["chips"]] == ["0001", "0002"]),
    ("GangBatch", GANG, ["batch", "--job", "@job.belcorjob", "--programmers", "all", "--count", "2",
                         "--log-db", "@log.sqlite"], 0, lambda r: len(r["chips"]) >= 2),
    ("LogExport", None, ["log", "export", "--csv", "@log.csv", "--log-db", "@log.sqlite"], 0,
     lambda r: r["exported"] >= 4),
    ("LogFind", None, ["log", "find", "--serial", "0001", "--log-db", "@log.sqlite"], 0,
     lambda r: [rec["serial"] for rec in r["records"]] == ["0001"]),
    ("Update", SMALL, ["--chip", "A25L512", "update", "@image.bin"], 0,
     lambda r: (r["unit"], r["programmed"], r["erased"]) == ("sector", 1, 0)),
    ("Unprotect", SMALL, ["--chip", "A25L512", "unprotect"], 0, None),
    ("StatusRegister", SMALL, ["--chip", "A25L512", "status-register"], 0,
     lambda r: r["value"] == 0 and len(r["bits"]) == 8),
    ("Checksum", None, ["checksum", "@image.bin"], 0, equal("extent", 4096)),
    ("CompareEqual", None, ["compare", "@image.bin", "@image.hex"], 0, equal("equal", True)),
    ("CompareDifferent", None, ["compare", "@image.bin", "@long.bin"], 1,
     lambda r: r["ranges"] == [{"start": 4096, "length": 126976}]),
    ("UnknownOption", None, ["--bogus", "read"], 2, equal("command", "read")),
    ("MissingArgument", None, ["read"], 2, equal("command", "read")),
    ("UnknownSubcommand", None, ["job", "bogus", "@job.belcorjob"], 2, equal("command", "job")),
    ("NoCommand", None, ["--verbose"], 2, equal("command", None)),
    ("UnknownChip", SMALL, ["--chip", "NOPE", "erase"], 2, equal("chip", None)),
    ("NoProgrammer", UNPLUGGED, ["--chip", "A25L512", "erase"], 3, None),
    ("ImageMissing", SMALL, ["--chip", "A25L512", "write", "@missing.bin"], 4, None),
    ("JobUnreadable", SMALL, ["batch", "--job", "@image.bin"], 5, None),
]


class CliJson(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = pathlib.Path(tempfile.mkdtemp(prefix="belcor-cli-json-"))
        (cls.folder / "image.bin").write_bytes(bytes([0x5A]) * 4096)
        (cls.folder / "long.bin").write_bytes(bytes([0x5A]) * 131072)
        # Blank up to 0x1234: a blank chip differs first there, in its 19th block.
        (cls.folder / "late.bin").write_bytes(bytes([0xFF]) * 0x1234 + bytes([0x5A]) * 16)
        (cls.folder / "empty.fwpk").write_bytes(b"")

    def run_json(self, name, scenario, arguments):
        words = ["--json"]
        if scenario is not None:
            path = self.folder / (name + ".scenario")
            path.write_text(scenario)
            words.append("--simulator=" + str(path))
        words += [str(self.folder / a[1:]) if a.startswith("@") else a for a in arguments]
        started = time.monotonic()
        done = subprocess.run([str(BIN / "belcor-cli")] + words, capture_output=True, text=True, timeout=120,
                              cwd=self.folder, env=dict(os.environ, HOME=str(self.folder)))
        return done, time.monotonic() - started

    def check_events(self, err):
        events = []
        for line in err.splitlines():
            event = json.loads(line)
            EVENT.validate(event)
            events.append(event)
        progress = [e for e in events if e["event"] == "progress"]
        for event in progress:
            self.assertLessEqual(event["done"], event["total"], event)
        return events

    def test_every_command(self):
        for name, scenario, arguments, status, check in CASES:
            with self.subTest(name):
                done, seconds = self.run_json(name, scenario, arguments)
                self.assertEqual(done.stdout.count("\n"), 1, done.stdout)
                result = json.loads(done.stdout)
                RESULT.validate(result)
                self.assertEqual((done.returncode, result["exit"]), (status, status), done.stdout + done.stderr)
                events = self.check_events(done.stderr)
                if check:
                    self.assertTrue(check(result), done.stdout)
                if name == "Read":
                    self.check_progress(events, seconds)
                if name == "WriteDeclined":
                    self.assertIn({"event": "question", "answer": False},
                                  [{"event": e["event"], "answer": e.get("answer")} for e in events])

    # Steady progress while the chip is read, but not one event per block.
    def check_progress(self, events, seconds):
        reading = [e["done"] for e in events if e["event"] == "progress" and e["step"] == "reading"]
        self.assertGreaterEqual(len(reading), 4, events)
        self.assertLessEqual(len(reading), seconds * 10 + 2, events)
        self.assertEqual(reading, sorted(reading))
        self.assertEqual(reading[-1], 65536)


if __name__ == "__main__":
    unittest.main()
