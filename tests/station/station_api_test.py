"""The station's API over real HTTP against four simulated programmers."""
import json
import os
import signal
import socket
import sqlite3
import ssl
import subprocess
import threading
import time
import unittest

from station_harness import API_PATHS, GANG, EventStream, PostgresServer, Station, check_schema


def exchange(port, request):
    """One raw request on a connection of its own; everything answered until the station closes or pauses."""
    connection = socket.create_connection(("127.0.0.1", port))
    connection.sendall(request.encode())
    connection.settimeout(10)
    answer = b""
    try:
        while b"\r\n\r\n" not in answer or len(answer.split(b"\r\n\r\n", 1)[1]) < content_length(answer):
            piece = connection.recv(65536)
            if not piece:
                break
            answer += piece
    finally:
        connection.close()
    return answer


def content_length(answer):
    for line in answer.split(b"\r\n\r\n", 1)[0].split(b"\r\n"):
        name, _, value = line.partition(b":")
        if name.lower() == b"content-length":
            return int(value)
    return 0


def closed_by_peer(connection):
    connection.setblocking(False)
    try:
        return connection.recv(1) == b""
    except BlockingIOError:
        return False
    except OSError:
        return True


def resident_kib(station):
    with open(f"/proc/{station.process.pid}/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


class Security(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.station = Station().start()
        cls.station.make_job()

    @classmethod
    def tearDownClass(cls):
        cls.station.close()

    def test_token_is_required_for_the_api_only(self):
        s = self.station
        missing = s.request("GET", "/api/v1/station", token=False)
        self.assertEqual(missing.status, 401)
        self.assertEqual(missing.headers.get("WWW-Authenticate"), "Bearer")
        check_schema(missing.json(), "Error")
        wrong = s.request("GET", "/api/v1/station", token=False, headers={"Authorization": "Bearer " + "x" * 23})
        self.assertEqual(wrong.status, 403)
        check_schema(wrong.json(), "Error")
        # Refused before the body is read or anything acts on it.
        self.assertEqual(s.request("POST", "/api/v1/run", {}, token=False).status, 401)
        for path in ("/metrics", "/", "/line", "/station.js", "/texts.json"):
            self.assertEqual(s.request("GET", path, token=False).status, 200, path)

    def test_refusals_are_json_sentences_in_the_callers_language(self):
        s = self.station
        cases = [
            ("PUT", "/job", "{not json", 400),
            ("PUT", "/job", {"file": "job.belcorjob", "extra": 1}, 400),
            ("PUT", "/job", {"file": 7}, 400),
            ("PUT", "/job", {"file": "job.bin"}, 400),
            ("PUT", "/job", {"file": "../job.belcorjob"}, 403),
            ("PUT", "/job", {"file": "/etc/passwd.belcorjob"}, 403),
            ("PUT", "/job", {"file": "missing.belcorjob"}, 404),
            ("POST", "/run", {"count": 0}, 400),
            ("POST", "/run", {"count": "5"}, 400),
            ("POST", "/run", {"programmers": "some"}, 400),
            ("POST", "/run", {"programmers": []}, 400),
            ("POST", "/run", {"operator": "a\nb"}, 400),
            ("POST", "/run", {"programmers": ["NOSUCH"]}, 409),
            ("GET", "/records?limit=0", None, 400),
            ("GET", "/records?since=-1", None, 400),
            ("GET", "/records?limit=x", None, 400),
            ("GET", "/records?crc=0x123456789", None, 400),
            ("GET", "/records?crc=xyz", None, 400),
            ("GET", "/nothing", None, 404),
            ("GET", "/line", None, 404),
        ]
        for method, path, body, status in cases:
            with self.subTest(method=method, path=path, body=body):
                reply = s.request(method, "/api/v1" + path, body)
                self.assertEqual(reply.status, status, reply.body)
                check_schema(reply.json(), "Error")
                self.assertTrue(reply.json()["error"].endswith((".", "。", "…")), reply.body)
        chinese = s.request("PUT", "/api/v1/job", {"file": "missing.belcorjob"}, headers={"Accept-Language": "zh-TW,en;q=0.5"})
        self.assertIn("任務資料夾", chinese.json()["error"])

    def test_a_link_out_of_the_jobs_folder_is_refused(self):
        s = self.station
        outside = s.folder / "outside.belcorjob"
        (s.jobs / "job.belcorjob").replace(outside)
        (s.jobs / "linked.belcorjob").symlink_to(outside)
        try:
            self.assertEqual(s.request("PUT", "/api/v1/job", {"file": "linked.belcorjob"}).status, 403)
        finally:
            (s.jobs / "linked.belcorjob").unlink()
            outside.replace(s.jobs / "job.belcorjob")
        # The job file lies in the folder, its image does not: the refusal names the image.
        (s.jobs / "job.bin").replace(s.folder / "job.bin")
        (s.jobs / "job.bin").symlink_to(s.folder / "job.bin")
        try:
            refusal = s.request("PUT", "/api/v1/job", {"file": "job.belcorjob"})
            self.assertEqual(refusal.status, 403)
            self.assertIn("image", refusal.json()["error"])
            self.assertNotIn("job file", refusal.json()["error"])
        finally:
            (s.jobs / "job.bin").unlink()
            (s.folder / "job.bin").replace(s.jobs / "job.bin")
        # Nor may a further image of the job lie outside it.
        job = json.loads((s.jobs / "job.belcorjob").read_text())
        job["version"] = 2
        job["more_images"] = [{"file": "../job.bin", "sha256": "00", "address": "0x8000"}]
        (s.jobs / "more.belcorjob").write_text(json.dumps(job))
        try:
            refusal = s.request("PUT", "/api/v1/job", {"file": "more.belcorjob"})
            self.assertEqual(refusal.status, 403)
            self.assertIn("../job.bin", refusal.json()["error"])
        finally:
            (s.jobs / "more.belcorjob").unlink()

    def test_event_streams_are_limited(self):
        streams = [EventStream(self.station) for _ in range(16)]
        try:
            self.assertEqual([stream.status for stream in streams], [200] * 16)
            refused = self.station.request("GET", "/api/v1/events")
            self.assertEqual(refused.status, 503)
            check_schema(refused.json(), "Error")
        finally:
            for stream in streams:
                stream.close()

    def test_a_body_over_the_cap_is_refused_unread(self):
        reply = self.station.request("PUT", "/api/v1/job", json.dumps({"file": "x" * 20000}))
        self.assertEqual(reply.status, 413)
        check_schema(reply.json(), "Error")
        self.assertIn("16384", reply.json()["error"])

    def test_a_chunked_body_over_the_cap_is_refused_and_never_kept(self):
        s = self.station
        before = resident_kib(s)
        for path in ("/api/v1/job", "/api/v1/nothing"):
            with self.subTest(path=path):
                connection = socket.create_connection(("127.0.0.1", s.port))
                connection.sendall(f"PUT {path} HTTP/1.1\r\nHost: x\r\nAuthorization: Bearer {s.token}\r\n"
                                   "Transfer-Encoding: chunked\r\n\r\n".encode())
                chunk = b"%x\r\n" % 65536 + b"x" * 65536 + b"\r\n"
                sent = 0
                try:
                    # 64 MiB offered; the station stops taking it soon after the cap.
                    while sent < 64 << 20:
                        connection.sendall(chunk)
                        sent += len(chunk)
                except OSError:
                    pass
                self.assertLess(sent, 64 << 20)
                connection.settimeout(10)
                answer = connection.recv(65536)
                connection.close()
                self.assertTrue(answer.startswith(b"HTTP/1.1 413"), answer[:200])
                self.assertIn(b"16384", answer)
        self.assertLess(resident_kib(s) - before, 16 * 1024)

    def test_post_calls_take_an_empty_body_and_every_400_says_why(self):
        s = self.station
        # As curl -X POST sends it: no body, no length.
        raw = exchange(s.port, f"POST /api/v1/stop HTTP/1.1\r\nHost: x\r\nAuthorization: Bearer {s.token}\r\n\r\n")
        self.assertTrue(raw.startswith(b"HTTP/1.1 202"), raw[:200])
        self.assertEqual(s.request("POST", "/api/v1/stop", "").status, 202)
        self.assertEqual(s.request("POST", "/api/v1/stop", "{}").status, 202)
        cases = [
            ("POST", "/api/v1/stop", "junk", "JSON"),
            ("POST", "/api/v1/stop", '{"now": true}', "now"),
            ("PUT", "/api/v1/job", "", "JSON"),
            ("GARBAGE", "", None, "HTTP"),
        ]
        for method, path, body, words in cases:
            with self.subTest(method=method, path=path, body=body):
                if method == "GARBAGE":
                    raw = exchange(s.port, "this is no request\r\n\r\n")
                    self.assertTrue(raw.startswith(b"HTTP/1.1 400"), raw[:200])
                    error = json.loads(raw.split(b"\r\n\r\n", 1)[1][:content_length(raw)])["error"]
                else:
                    reply = s.request(method, path, body)
                    self.assertEqual(reply.status, 400, reply.body)
                    error = reply.json()["error"]
                self.assertIn(words, error)
                self.assertNotIn("could not be served", error)
        # A chunked body cut off mid-chunk.
        raw = exchange(s.port, f"POST /api/v1/run HTTP/1.1\r\nHost: x\r\nAuthorization: Bearer {s.token}\r\n"
                               "Transfer-Encoding: chunked\r\n\r\nzz\r\n{}\r\n0\r\n\r\n")
        self.assertTrue(raw.startswith(b"HTTP/1.1 400"), raw[:200])
        self.assertIn(b"body could not be read", raw)


class Roles(unittest.TestCase):
    """The view token reads everything a GET gives and changes nothing."""
    VIEW = "a-view-token-9876543210"

    @classmethod
    def setUpClass(cls):
        cls.station = Station()
        (cls.station.folder / "view-token").write_text(cls.VIEW + "\n")
        cls.station.arguments += ["--view-token-file", str(cls.station.folder / "view-token")]
        cls.station.start()
        cls.station.make_job()

    @classmethod
    def tearDownClass(cls):
        cls.station.close()

    def test_the_view_token_reads_and_changes_nothing(self):
        s = self.station
        view = {"Authorization": "Bearer " + self.VIEW}
        for path in ("/api/v1/station", "/api/v1/records", "/metrics", "/"):
            with self.subTest(path=path):
                self.assertEqual(s.request("GET", path, token=False, headers=view).status, 200)
        stream = s.connection()
        stream.request("GET", "/api/v1/events", headers=view)
        self.assertEqual(stream.getresponse().status, 200)
        stream.close()
        writes = [(method, path) for path, methods in API_PATHS.items() for method in methods
                  if method in ("post", "put")]
        self.assertGreaterEqual(len(writes), 5)
        for method, path in writes:
            with self.subTest(method=method, path=path):
                reply = s.request(method.upper(), "/api/v1" + path, {}, token=False, headers=view)
                self.assertEqual(reply.status, 403, reply.body)
                check_schema(reply.json(), "Error")
                self.assertIn("control token", reply.json()["error"])
        self.assertIsNone(s.api("GET", "/station")["job"])
        self.assertEqual(s.api("PUT", "/job", {"file": "job.belcorjob"})["job"]["name"], "job")

    def test_a_view_token_needs_a_control_token(self):
        station = Station(token=False)
        (station.folder / "view-token").write_text(self.VIEW + "\n")
        station.arguments += ["--view-token-file", str(station.folder / "view-token")]
        result = subprocess.run(station.arguments, capture_output=True, text=True, timeout=60)
        station.close()
        self.assertEqual(result.returncode, 2, result.stderr)
        self.assertIn("--token-file", result.stderr)


class Guard(unittest.TestCase):
    """Slow and idle clients cost the station no thread: control calls go on."""

    def setUp(self):
        self.station = Station().start()
        self.station.make_job()

    def tearDown(self):
        self.station.close()

    def stop_takes(self):
        started = time.monotonic()
        connection = self.station.connection(timeout=10)
        connection.request("POST", "/api/v1/stop", headers=self.station.headers())
        status = connection.getresponse().status
        connection.close()
        self.assertEqual(status, 202)
        return time.monotonic() - started

    def test_slow_clients_leave_stop_answering(self):
        s = self.station
        slow = []
        stopping = threading.Event()

        def trickle():
            # One header line every 3 s, as a slowloris client does.
            while not stopping.wait(3):
                for connection in list(slow):
                    try:
                        connection.sendall(b"X-Slow: 1\r\n")
                    except OSError:
                        pass

        for _ in range(100):
            connection = socket.create_connection(("127.0.0.1", s.port))
            connection.sendall(b"GET /api/v1/station HTTP/1.1\r\nHost: x\r\n")
            slow.append(connection)
        feeder = threading.Thread(target=trickle)
        feeder.start()
        try:
            times = [self.stop_takes() for _ in range(10)]
            self.assertLess(max(times), 1.0, times)
            self.assertEqual(s.request("GET", "/metrics", token=False).status, 200)
            self.assertEqual(s.api("GET", "/station")["name"], "test-station")
            # One address keeps at most 64 connections: the longest waiting went.
            self.assertGreaterEqual(sum(closed_by_peer(connection) for connection in slow), 100 - 64)
        finally:
            stopping.set()
            feeder.join()
            for connection in slow:
                connection.close()

    def test_streams_refused_and_kept_open_leave_the_api_answering(self):
        s = self.station
        streams = [EventStream(s) for _ in range(16)]
        refused = []
        try:
            for _ in range(200):
                connection = s.connection()
                connection.request("GET", "/api/v1/events", headers=s.headers())
                response = connection.getresponse()
                self.assertEqual(response.status, 503)
                response.read()
                refused.append(connection)  # kept open after the refusal
            times = [self.stop_takes() for _ in range(10)]
            self.assertLess(max(times), 1.0, times)
            started = time.monotonic()
            self.assertEqual(s.api("GET", "/station")["name"], "test-station")
            self.assertLess(time.monotonic() - started, 1.0)
        finally:
            for connection in refused + streams:
                connection.close()

    def test_a_head_that_never_ends_is_cut_off(self):
        s = self.station
        connection = socket.create_connection(("127.0.0.1", s.port))
        connection.sendall(b"GET /api/v1/station HTTP/1.1\r\n")
        connection.settimeout(30)
        started = time.monotonic()
        deadline = started + 30
        answer = b""
        while time.monotonic() < deadline:
            connection.sendall(b"X-Slow: 1\r\n")
            try:
                connection.settimeout(1)
                piece = connection.recv(4096)
                if not piece:
                    break
                answer += piece
            except socket.timeout:
                continue
            except OSError:
                break
        connection.close()
        self.assertTrue(answer.startswith(b"HTTP/1.1 408"), answer[:200])
        self.assertLess(time.monotonic() - started, 15)


class Runs(unittest.TestCase):
    def setUp(self):
        self.station = Station().start()

    def tearDown(self):
        self.station.close()

    def test_run_events_records_and_metrics(self):
        s = self.station
        s.api("PUT", "/job", {"file": s.make_job()})
        stream = EventStream(s)
        # A client that reads nothing: it must cost the programmers nothing.
        stalled = socket.create_connection(("127.0.0.1", s.port))
        stalled.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 1024)
        stalled.sendall(b"GET /api/v1/events HTTP/1.1\r\nHost: x\r\nAuthorization: Bearer " + s.token.encode() + b"\r\n\r\n")
        started = s.api("POST", "/run", {"count": 8, "operator": "Ann"}, expect=202)
        self.assertTrue(started["running"])
        self.assertEqual(started["operator"], "Ann")
        events = stream.until("target-reached", timeout=120)
        stream.close()
        stalled.close()

        ids = [event[0] for event in events]
        self.assertEqual(ids, sorted(ids))
        schemas = {"chip-started": "ChipStarted", "chip-finished": "ChipFinished", "state": "State",
                   "target-reached": "TargetReached", "line-server": "LineServer"}
        in_hand = {}
        finished = []
        for _, kind, data in events:
            check_schema(data, schemas[kind])
            if kind == "chip-started":
                self.assertNotIn(data["programmer"], in_hand)
                in_hand[data["programmer"]] = data["serial"]
            elif kind == "chip-finished":
                # Every chip's end follows its start on the same programmer.
                self.assertEqual(in_hand.pop(data["programmer"]), data["record"]["serial"])
                finished.append(data["record"])
        self.assertEqual(len(finished), 8)
        self.assertEqual(events[-1][2], {"target": 8, "done": 8})
        self.assertEqual(sorted(r["serial"] for r in finished), [f"{n:04}" for n in range(1, 9)])
        self.assertEqual(len({r["programmer"] for r in finished}), 4)
        self.assertEqual({r["operator"] for r in finished}, {"Ann"})

        station = s.wait_idle()
        self.assertEqual(station["job"]["counters"]["passed"], 8)
        self.assertEqual(station["job"]["next_serial"], "0009")
        self.assertEqual(sum(p["passed"] for p in station["programmers"]), 8)

        records = s.api("GET", "/records?since=0")["records"]
        self.assertEqual(sorted(r["uid"] for r in records), sorted(r["uid"] for r in finished))
        self.assertEqual([r["id"] for r in records], sorted(r["id"] for r in records))
        newest = s.api("GET", "/records?limit=3")["records"]
        self.assertEqual([r["id"] for r in newest], [r["id"] for r in records[-3:]])
        self.assertEqual(s.api("GET", f"/records?since={records[5]['id']}&limit=1")["records"], [records[6]])
        # Lookups by serial number, image CRC-32 (typed any way) and job.
        chip = records[4]
        self.assertEqual(s.api("GET", f"/records?serial={chip['serial']}")["records"], [chip])
        same_image = s.api("GET", f"/records?crc=0x{chip['crc32'].lower()}")["records"]
        self.assertIn(chip, same_image)
        self.assertEqual({r["crc32"] for r in same_image}, {chip["crc32"]})
        self.assertEqual(s.api("GET", f"/records?job={chip['job']}&since=0")["records"], records)
        self.assertEqual(s.api("GET", "/records?serial=nonesuch")["records"], [])

        metrics = s.request("GET", "/metrics", token=False).body.decode()
        chips = sum(int(line.rsplit(" ", 1)[1]) for line in metrics.splitlines()
                    if line.startswith('belcor_chips_total{result="pass"'))
        self.assertEqual(chips, 8)
        self.assertIn('belcor_chip_cycle_seconds_count{programmer="BU2SIM0000001"} 2', metrics)
        self.assertIn('belcor_serials_left{job="job"} 9991', metrics)

        # Resuming after an event gives exactly the events that came after it.
        resumed = EventStream(s, last_id=ids[2])
        again = [resumed.next() for _ in range(5)]
        resumed.close()
        self.assertEqual(again, events[3:8])

    def test_programmer_states_are_the_tiles_words_in_every_language(self):
        self.station.close()
        self.station = s = Station(scenario=GANG.replace("erase_time_ms 50", "erase_time_ms 4000")).start()
        s.api("PUT", "/job", {"file": s.make_job()})
        s.api("POST", "/run", {"programmers": ["BU2SIM0000001"], "count": 1}, expect=202)
        deadline = time.monotonic() + 60
        codes = []
        while "erasing" not in codes:
            self.assertLess(time.monotonic(), deadline, codes)
            codes.append(s.api("GET", "/station")["programmers"][0]["state_code"])
            time.sleep(0.05)
        for language, words in (("en", "Erasing"), ("zh-CN", "正在擦除"), ("zh-TW", "正在擦除")):
            with self.subTest(language=language):
                programmer = s.api("GET", "/station", headers={"Accept-Language": language})["programmers"][0]
                self.assertEqual((programmer["state_code"], programmer["state"]), ("erasing", words))
        station = s.wait_idle()
        self.assertEqual({(p["state_code"], p["state"]) for p in station["programmers"]}, {("idle", "Idle")})

    def test_stop_ends_after_the_chips_in_hand_and_the_job_is_kept_meanwhile(self):
        s = self.station
        s.api("PUT", "/job", {"file": s.make_job()})
        stream = EventStream(s)
        s.api("POST", "/run", {"programmers": ["BU2SIM0000001", "BU2SIM0000003"]}, expect=202)
        stream.until("chip-finished")
        stream.close()
        self.assertEqual(s.request("PUT", "/api/v1/job", {"file": "job.belcorjob"}).status, 409)
        self.assertEqual(s.request("POST", "/api/v1/run", {}).status, 409)
        stopping = s.api("POST", "/stop", expect=202)
        self.assertTrue(stopping["stopping"])
        station = s.wait_idle()
        records = s.api("GET", "/records?since=0")["records"]
        self.assertTrue(all(r["result"] == "pass" for r in records))
        self.assertEqual({r["programmer"] for r in records}, {"BU2SIM0000001", "BU2SIM0000003"})
        self.assertEqual(station["job"]["counters"]["total"], len(records))

    def test_without_a_count_a_run_goes_to_the_jobs_target(self):
        s = self.station
        s.api("PUT", "/job", {"file": s.make_job(target=3)})
        s.api("POST", "/run", {}, expect=202)
        station = s.wait_idle()
        self.assertEqual(station["job"]["counters"]["total"], 3)
        self.assertEqual(station["job"]["target"], 3)
        refused = s.api("POST", "/run", {}, expect=409)
        self.assertEqual(refused["code"], "good_target_reached")

    def test_a_job_that_requires_its_operator_refuses_a_run_without_one_by_its_code(self):
        s = self.station
        s.api("PUT", "/job", {"file": s.make_job(operator_required=True)})
        refused = s.api("POST", "/run", {}, expect=422)
        self.assertEqual(refused, {"code": "operator_required", "error": "Job job requires the operator's name or badge."})
        s.api("POST", "/run", {"count": 1, "operator": "Ann"}, expect=202)
        s.wait_idle()

    def test_a_job_that_does_not_check_out_is_refused_and_unloaded(self):
        s = self.station
        s.api("PUT", "/job", {"file": s.make_job()})
        (s.jobs / "job.bin").write_bytes(b"changed")
        refusal = s.request("PUT", "/api/v1/job", {"file": "job.belcorjob"})
        self.assertEqual(refusal.status, 422)
        self.assertIn("job.bin", refusal.json()["error"])
        self.assertIsNone(s.api("GET", "/station")["job"])
        self.assertEqual(s.request("POST", "/api/v1/run", {}).status, 409)


class Changes(unittest.TestCase):
    """The job's target and counters from the API, with the engineer PIN, each change in the log."""

    def setUp(self):
        self.station = Station().start()

    def tearDown(self):
        self.station.close()

    def changes(self):
        with sqlite3.connect(self.station.folder / "log.sqlite") as log:
            return log.execute("SELECT time, station, job, who, what, before, after FROM job_changes ORDER BY id").fetchall()

    def test_target_and_counters_change_with_the_pin_and_are_logged(self):
        s = self.station
        s.api("PUT", "/job", {"file": s.make_job(target=2, pin="4711")})
        self.assertTrue(s.api("GET", "/station")["job"]["pin_required"])
        s.api("POST", "/run", {}, expect=202)
        self.assertEqual(s.wait_idle()["job"]["counters"]["passed"], 2)
        refusals = [
            ("/target", {"target": 5}, 422, "PIN"),
            ("/target", {"target": 5, "pin": "0000"}, 422, "Wrong PIN"),
            ("/target", {"target": 0, "pin": "4711"}, 400, "target"),
            ("/target", {"target": "5", "pin": "4711"}, 400, "target"),
            ("/target", {"pin": "4711"}, 400, "target"),
            ("/target", {"target": 5, "pin": 4711}, 400, "pin"),
            ("/counters/reset", "", 422, "PIN"),
            ("/counters/reset", {"pin": "4711", "extra": 1}, 400, "extra"),
        ]
        for path, body, status, words in refusals:
            with self.subTest(path=path, body=body):
                reply = s.request("POST", "/api/v1" + path, body)
                self.assertEqual(reply.status, status, reply.body)
                check_schema(reply.json(), "Error")
                self.assertIn(words, reply.json()["error"])
        self.assertEqual(self.changes(), [])

        raised = s.api("POST", "/target", {"target": 5, "pin": "4711", "operator": "Eve"})
        self.assertEqual(raised["job"]["target"], 5)
        s.api("POST", "/run", {}, expect=202)
        self.assertEqual(s.wait_idle()["job"]["counters"]["passed"], 5)
        reset = s.api("POST", "/counters/reset", {"pin": "4711"})
        self.assertEqual(reset["job"]["counters"]["total"], 0)
        self.assertEqual(s.api("GET", "/station")["job"]["counters"]["passed"], 0)
        changes = self.changes()
        self.assertEqual([change[1:] for change in changes], [
            ("test-station", "job", "Eve (127.0.0.1)", "target", "2", "5"),
            ("test-station", "job", "127.0.0.1", "counters", "passed 5, failed 0, interrupted 0",
             "passed 0, failed 0, interrupted 0")])
        self.assertRegex(changes[0][0], r"^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z$")

        # Three wrong PINs make the next try wait, the right one too.
        for _ in range(3):
            self.assertEqual(s.request("POST", "/api/v1/counters/reset", {"pin": "1111"}).status, 422)
        waiting = s.request("POST", "/api/v1/counters/reset", {"pin": "4711"})
        self.assertEqual(waiting.status, 429)
        self.assertIn("Try again", waiting.json()["error"])

    def test_without_a_pin_no_pin_is_asked_and_a_run_refuses_a_reset(self):
        s = self.station
        s.api("PUT", "/job", {"file": s.make_job(target=1)})
        self.assertEqual(s.api("POST", "/target", {"target": 3})["job"]["target"], 3)
        stream = EventStream(s)
        s.api("POST", "/run", {"programmers": ["BU2SIM0000001"]}, expect=202)
        stream.until("chip-started")
        stream.close()
        self.assertEqual(s.request("POST", "/api/v1/counters/reset").status, 409)
        s.wait_idle()
        self.assertEqual(s.api("POST", "/counters/reset")["job"]["counters"]["total"], 0)
        self.assertEqual([change[4] for change in self.changes()], ["target", "counters"])


class Transport(unittest.TestCase):
    def test_tls_with_a_test_certificate(self):
        station = Station(tls=True).start()
        try:
            self.assertEqual(station.api("GET", "/station")["name"], "test-station")
            plain = socket.create_connection(("127.0.0.1", station.port))
            plain.sendall(b"GET /metrics HTTP/1.1\r\nHost: x\r\n\r\n")
            plain.settimeout(10)
            self.assertNotIn(b"belcor_", plain.recv(4096))
            plain.close()
            with self.assertRaises(ssl.SSLError):
                unverified = ssl.create_default_context()
                station.context, saved = unverified, station.context
                try:
                    station.request("GET", "/metrics", token=False)
                finally:
                    station.context = saved
        finally:
            station.close()

    def test_a_taken_address_ends_a_second_station_at_once(self):
        first = Station().start()
        try:
            second = Station(extra=["--listen", f"127.0.0.1:{first.port}"])
            started = time.monotonic()
            result = subprocess.run(second.arguments, capture_output=True, text=True, timeout=60)
            second.close()
            self.assertEqual(result.returncode, 1, result.stderr)
            self.assertIn(f"127.0.0.1:{first.port}", result.stderr)
            self.assertLess(time.monotonic() - started, 20)
            self.assertEqual(first.api("GET", "/station")["name"], "test-station")
        finally:
            first.close()

    def test_a_stop_right_after_start_ends_the_service(self):
        # SIGTERM as soon as the address is told, before the server may accept:
        # the stop must not be lost (close() fails on anything but a clean exit).
        for _ in range(5):
            station = Station().start()
            started = time.monotonic()
            station.close()
            self.assertLess(time.monotonic() - started, 20)

    def test_a_short_token_is_refused_in_one_whole_line(self):
        station = Station(token=False, extra=["--token-file"])
        (station.folder / "short").write_text("abc\n")
        station.arguments.append(str(station.folder / "short"))
        result = subprocess.run(station.arguments, capture_output=True, text=True, timeout=60)
        station.close()
        self.assertEqual(result.returncode, 1)
        self.assertRegex(result.stderr, r"^belcor-station: the token in .*short is shorter than 16 characters\.\n$")
        self.assertEqual(result.stdout, "")

    def test_listening_beyond_loopback_needs_a_token_and_tls(self):
        cases = [(["--listen", "0.0.0.0:0"], 2, "token"),
                 (["--listen", "[::]:0", "--token-file", "/dev/null"], 2, "tls"),
                 (["--listen", "127.0.0.1:0", "--tls-cert", "c.pem"], 2, "together"),
                 (["--listen", "127.0.0.1:0", "--token-file", "short"], 1, "shorter")]
        for arguments, status, words in cases:
            with self.subTest(arguments=arguments):
                station = Station(token=False, extra=arguments)
                if "short" in arguments:
                    (station.folder / "short").write_text("abc\n")
                    arguments[arguments.index("short")] = str(station.folder / "short")
                    station.arguments[-1] = arguments[-1]
                result = subprocess.run(station.arguments, capture_output=True, text=True, timeout=60)
                station.close()
                self.assertEqual(result.returncode, status, result.stderr)
                self.assertIn(words, result.stderr.lower())

    def test_the_settings_file_and_flags_over_it(self):
        station = Station(token=False)
        config = station.folder / "station.conf"
        config.write_text("# a station of line 1\nstation = from-file\nlisten = 127.0.0.1:1\n")
        station.arguments += ["--config", str(config)]
        station.start()
        try:
            # --listen 127.0.0.1:0 is given as a flag and wins over the file.
            self.assertEqual(station.api("GET", "/station")["name"], "test-station")
        finally:
            station.close()


class LineServer(unittest.TestCase):
    def test_the_line_from_the_line_servers_log(self):
        server = PostgresServer()
        station = Station(extra=["--line-db", server.url]).start()
        try:
            station.api("PUT", "/job", {"file": station.make_job()})
            station.api("POST", "/run", {"count": 4}, expect=202)
            # From the ring's start: the line server's state is published when
            # it changes, which may be before the run.
            stream = EventStream(station, last_id=0)
            kind, data = None, {}
            deadline = time.monotonic() + 60
            while not (kind == "line-server" and data["reachable"]):
                _, kind, data = stream.next(deadline - time.monotonic())
            stream.close()
            check_schema(data, "LineServer")
            self.assertTrue(data["reachable"])
            while station.api("GET", "/station")["line_server"]["backlog"] or station.api("GET", "/station")["running"]:
                self.assertLess(time.monotonic(), deadline, "the records did not reach the line server")
                time.sleep(0.1)
            # Another station of the line, silent for an hour, with failures.
            server.psql("INSERT INTO belcor_production_log (uid, time, station, result, message) SELECT"
                        " 'old-' || n, now() - interval '50 minutes' - n * interval '1 second', 'other',"
                        " CASE WHEN n % 2 = 0 THEN 'pass' ELSE 'fail' END,"
                        " CASE WHEN n % 4 = 1 THEN 'Verify failed' WHEN n % 2 = 1 THEN 'No chip' ELSE '' END"
                        " FROM generate_series(1, 8) n")
            server.psql("INSERT INTO belcor_production_log (uid, time, station, result) VALUES"
                        " ('ancient', now() - interval '2 hours', 'other', 'fail')")
            # The overview comes from a cache of a second: it shows the rows soon.
            deadline = time.monotonic() + 30
            line = station.api("GET", "/line")
            while len(line["stations"]) < 2 or line["stations"][0]["chips_last_hour"] < 8:
                self.assertLess(time.monotonic(), deadline, "the overview kept the old rows")
                time.sleep(0.2)
                line = station.api("GET", "/line")
            self.assertEqual([s["station"] for s in line["stations"]], ["other", "test-station"])
            other, ours = line["stations"]
            self.assertEqual((ours["alive"], ours["chips_last_hour"], ours["passed_last_hour"]), (True, 4, 4))
            self.assertEqual((other["alive"], other["chips_last_hour"], other["passed_last_hour"]), (False, 8, 4))
            self.assertEqual(other["failures"], [{"message": "No chip", "count": 2}, {"message": "Verify failed", "count": 2}])
            self.assertGreater(other["last_age_seconds"], 2990)
        finally:
            station.close()
            server.close()

    def test_a_frozen_line_server_never_holds_a_call(self):
        server = PostgresServer()
        station = Station(extra=["--line-db", server.url]).start()
        frozen = []
        try:
            deadline = time.monotonic() + 30
            while station.request("GET", "/api/v1/line").status != 200:
                self.assertLess(time.monotonic(), deadline, "the line server never answered")
                time.sleep(0.1)
            # The postmaster and every backend, the station's among them.
            postmaster = int((server.folder / "data" / "postmaster.pid").read_text().split()[0])
            children = subprocess.run(["ps", "-o", "pid=", "--ppid", str(postmaster)], capture_output=True,
                                      text=True).stdout.split()
            frozen = [postmaster] + [int(pid) for pid in children]
            for pid in frozen:
                os.kill(pid, signal.SIGSTOP)
            slowest = [0.0]
            statuses = set()
            stopping = threading.Event()

            def monitor():
                while not stopping.is_set():
                    started = time.monotonic()
                    reply = station.request("GET", "/api/v1/line")
                    slowest[0] = max(slowest[0], time.monotonic() - started)
                    statuses.add(reply.status)
                    if reply.status == 502:
                        self.assertIn("line server did not answer", reply.json()["error"])
                    stopping.wait(0.2)

            monitors = [threading.Thread(target=monitor) for _ in range(30)]
            for thread in monitors:
                thread.start()
            try:
                deadline = time.monotonic() + 20
                while 502 not in statuses:
                    self.assertLess(time.monotonic(), deadline, "the frozen server was never reported")
                    for call in (lambda: station.api("GET", "/station"),
                                 lambda: station.api("POST", "/stop", expect=202),
                                 lambda: station.request("GET", "/metrics", token=False)):
                        started = time.monotonic()
                        call()
                        self.assertLess(time.monotonic() - started, 1.0)
                    time.sleep(0.2)
            finally:
                stopping.set()
                for thread in monitors:
                    thread.join()
            # Thirty Python clients on a busy machine: well under the seconds a
            # wait on the frozen server would take.
            self.assertLess(slowest[0], 2.0)
        finally:
            for pid in frozen:
                os.kill(pid, signal.SIGCONT)
            station.close()
            server.close()


if __name__ == "__main__":
    unittest.main()
