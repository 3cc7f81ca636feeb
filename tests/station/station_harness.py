"""Starts belcor-station processes for the tests, on free ports with the
simulator, and talks to them over real HTTP(S); checks every JSON answer
against the OpenAPI file of docs/."""
import http.client
import json
import os
import pathlib
import re
import shutil
import signal
import socket
import ssl
import subprocess
import tempfile
import time
import unittest

import jsonschema
import yaml

BIN = pathlib.Path(os.environ.get("BELCOR_BIN", "build/test/bin")).resolve()
SOURCE = pathlib.Path(os.environ.get("BELCOR_SOURCE", pathlib.Path(__file__).resolve().parents[2]))
TOKEN = "a-test-token-0123456789"

# Four programmers with the feeder and a small chip: a chip takes a fraction
# of a second, so runs of a few chips finish quickly.
GANG = ("chip class=0 id=0x373010 size=65536 page=256\n"
        "erase_time_ms 50\nfeeder on 100\nprogrammers 4\n")

_API = yaml.safe_load((SOURCE / "docs" / "station-api.yaml").read_text(encoding="utf-8"))
# Every path of the API under /api/v1 with its methods, as the OpenAPI file lists them.
API_PATHS = {path: set(methods) for path, methods in _API["paths"].items()}


def check_schema(instance, schema_name=None, path=None, method=None, status=None):
    """Validates against a named component schema or a path's response schema."""
    if schema_name:
        schema = {"$ref": "#/components/schemas/" + schema_name}
    else:
        response = _API["paths"][path][method]["responses"][str(status)]
        if "$ref" in response:
            response = _API["components"]["responses"][response["$ref"].rsplit("/", 1)[1]]
        schema = response["content"]["application/json"]["schema"]
    resolver = jsonschema.RefResolver(base_uri="", referrer=_API)
    jsonschema.Draft202012Validator(schema, resolver=resolver).validate(instance)


class Reply:
    def __init__(self, status, headers, body):
        self.status = status
        self.headers = headers
        self.body = body

    def json(self):
        return json.loads(self.body)


class Station:
    """One belcor-station with its own folder: jobs/, the log and a scenario."""

    def __init__(self, scenario=GANG, token=True, tls=False, extra=()):
        self.folder = pathlib.Path(tempfile.mkdtemp(prefix="belcor-station-"))
        self.jobs = self.folder / "jobs"
        self.jobs.mkdir()
        (self.folder / "gang.scenario").write_text(scenario)
        self.token = TOKEN if token else None
        self.arguments = [str(BIN / "belcor-station"), "--listen", "127.0.0.1:0",
                          "--simulator=" + str(self.folder / "gang.scenario"), "--jobs", str(self.jobs),
                          "--log-db", str(self.folder / "log.sqlite"), "--station", "test-station"]
        if token:
            (self.folder / "token").write_text(TOKEN + "\n")
            self.arguments += ["--token-file", str(self.folder / "token")]
        self.context = None
        if tls:
            make_certificate(self.folder)
            self.arguments += ["--tls-cert", str(self.folder / "cert.pem"), "--tls-key", str(self.folder / "key.pem")]
            self.context = ssl.create_default_context(cafile=str(self.folder / "cert.pem"))
        self.arguments += list(extra)
        self.process = None
        self.port = None

    def start(self):
        self.process = subprocess.Popen(self.arguments, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                                        cwd=self.folder)
        line = self.process.stdout.readline()
        match = re.search(r"listening on https?://[^ ]+:(\d+)$", line.strip())
        if not match:
            raise RuntimeError("belcor-station did not start: " + line + self.process.stderr.read())
        self.port = int(match.group(1))
        return self

    def stop(self, timeout=60):
        """SIGTERM, as systemd stops it; returns its exit status and what it wrote on stderr."""
        if not self.process:
            return None, ""
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(timeout)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        errors = self.process.stderr.read()
        self.process.stdout.close()
        self.process.stderr.close()
        status, self.process = self.process.returncode, None
        return status, errors

    def close(self):
        """Stops the service, which must end cleanly (no leak, no crash), and removes its folder."""
        status, errors = self.stop()
        shutil.rmtree(self.folder, ignore_errors=True)
        if status not in (None, 0):
            raise AssertionError(f"belcor-station ended with {status}: {errors}")

    def connection(self, timeout=30):
        if self.context:
            return http.client.HTTPSConnection("127.0.0.1", self.port, timeout=timeout, context=self.context)
        return http.client.HTTPConnection("127.0.0.1", self.port, timeout=timeout)

    def headers(self, token=True, extra=None):
        headers = dict(extra or {})
        if token and self.token:
            headers["Authorization"] = "Bearer " + self.token
        return headers

    def request(self, method, path, body=None, token=True, headers=None):
        connection = self.connection()
        data = body if isinstance(body, (bytes, str)) or body is None else json.dumps(body)
        connection.request(method, path, body=data, headers=self.headers(token, headers))
        response = connection.getresponse()
        reply = Reply(response.status, dict(response.getheaders()), response.read())
        connection.close()
        return reply

    def api(self, method, path, body=None, expect=200, **options):
        """A call under /api/v1, its status and schema checked; the JSON answer."""
        reply = self.request(method, "/api/v1" + path, body, **options)
        assert reply.status == expect, f"{method} {path}: {reply.status} {reply.body!r}"
        document = reply.json()
        check_schema(document, path=path.split("?")[0], method=method.lower(), status=expect)
        return document

    def make_job(self, name="job", serial=True, target=None, pin=None, operator_required=False):
        image = self.jobs / (name + ".bin")
        image.write_bytes(bytes(range(256)) * 16)
        arguments = [str(BIN / "belcor-cli"), "job", "create", str(self.jobs / (name + ".belcorjob")),
                     "--chip", "A25L512", "--image", str(image)]
        if serial:
            arguments += ["--serial", "0x10:4:dec:1"]
        if target:
            arguments += ["--target", str(target)]
        if operator_required:
            arguments.append("--operator-required")
        if pin:
            (self.folder / "pin").write_text(pin + "\n")
            arguments += ["--locked", "--pin-file", str(self.folder / "pin")]
        subprocess.run(arguments, check=True, capture_output=True)
        return name + ".belcorjob"

    def wait_idle(self, timeout=60):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            station = self.api("GET", "/station")
            if not station["running"]:
                return station
            time.sleep(0.1)
        raise AssertionError("the run did not end")


class EventStream:
    """A Server-Sent Events client on a socket of its own."""

    def __init__(self, station, last_id=None):
        self.connection = station.connection()
        headers = station.headers(extra={"Last-Event-ID": str(last_id)} if last_id is not None else None)
        self.connection.request("GET", "/api/v1/events", headers=headers)
        self.response = self.connection.getresponse()
        self.status = self.response.status

    def next(self, timeout=120):
        """The next event as (id, type, data); comments and retry hints are
        skipped, but not for longer than `timeout` seconds."""
        deadline = time.monotonic() + timeout
        event_id, event_type, data = None, None, []
        while True:
            if time.monotonic() > deadline:
                raise TimeoutError("no event came")
            line = self.response.readline()
            if not line:
                raise EOFError("the stream ended")
            line = line.decode("utf-8").rstrip("\n")
            if line == "":
                if data:
                    return event_id, event_type, json.loads("\n".join(data))
                continue
            if line.startswith(":"):
                continue
            field, _, value = line.partition(":")
            value = value[1:] if value.startswith(" ") else value
            if field == "id":
                event_id = int(value)
            elif field == "event":
                event_type = value
            elif field == "data":
                data.append(value)

    def until(self, event_type, timeout=60):
        """Every event up to and with the first of `event_type`."""
        deadline = time.monotonic() + timeout
        events = []
        while True:
            event = self.next(deadline - time.monotonic())
            events.append(event)
            if event[1] == event_type:
                return events

    def close(self):
        self.connection.close()


def make_certificate(folder):
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                    "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1",
                    "-keyout", str(folder / "key.pem"), "-out", str(folder / "cert.pem")],
                   check=True, capture_output=True)


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


class PostgresServer:
    """A PostgreSQL server of its own: initdb into a temporary folder, run as
    the postgres user when root, on a free local port, trust for "belcor"."""

    def __init__(self, durable=False):
        versions = sorted(pathlib.Path("/usr/lib/postgresql").glob("*/bin/initdb"))
        if not versions:
            raise unittest.SkipTest("PostgreSQL (initdb) is not installed")
        self.bin = versions[-1].parent
        self.folder = pathlib.Path(tempfile.mkdtemp(prefix="belcor-pg-"))
        self.port = free_port()
        self.user = "postgres" if os.geteuid() == 0 else None
        if self.user:
            shutil.chown(self.folder, self.user, self.user)
        self.run(f"{self.bin}/initdb -D {self.folder}/data -U belcor --auth=trust -E UTF8 --no-sync")
        options = f"-p {self.port} -k {self.folder} -c listen_addresses=127.0.0.1" + ("" if durable else " -c fsync=off")
        self.run(f"{self.bin}/pg_ctl -D {self.folder}/data -o '{options}' -l {self.folder}/server.log -w start")
        self.url = f"postgresql://belcor@127.0.0.1:{self.port}/postgres"

    def run(self, command):
        prefix = ["runuser", "-u", self.user, "--"] if self.user else []
        subprocess.run(prefix + ["sh", "-c", command], check=True, capture_output=True, cwd="/")

    def psql(self, sql):
        result = subprocess.run([str(self.bin / "psql"), "-X", "-q", "-A", "-t", "-v", "ON_ERROR_STOP=1", self.url,
                                 "-c", sql], check=True, capture_output=True, text=True)
        return result.stdout.strip()

    def close(self):
        try:
            self.run(f"{self.bin}/pg_ctl -D {self.folder}/data -m fast -w stop")
        finally:
            shutil.rmtree(self.folder, ignore_errors=True)
