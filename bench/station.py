#!/usr/bin/env python3
"""Benchmarks of belcor-station, against the simulator:
  - chip-finished -> SSE client: from a chip's record time to its event at a
    client, p50/p99 over every chip of a run on 8 programmers;
  - GET /api/v1/station latency at 100 requests/s during that run;
  - the service's CPU while it waits (no run), in percent of one core;
  - GET /api/v1/line over 1,000,000 records of 20 stations in a real
    PostgreSQL (generated), and the query alone.
Usage: bench/station.py [BUILD_DIR]      (default build/release; needs
belcor-station, belcor-cli, libbelcor_sim.so and the chip databases)"""
import datetime
import os
import pathlib
import statistics
import sys
import threading
import time

here = pathlib.Path(__file__).resolve().parent
build = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else here.parent / "build" / "release").resolve()
os.environ["BELCOR_BIN"] = str(build / "bin")
os.environ.setdefault("BELCOR_SOURCE", str(here.parent))
sys.path.insert(0, str(here.parent / "tests" / "station"))
from station_harness import EventStream, PostgresServer, Station  # noqa: E402

EIGHT = ("chip class=0 id=0x373010 size=65536 page=256\n"
         "erase_time_ms 50\ntransfer_rate 1000\nfeeder on 100\nprogrammers 8\n")
CHIPS = 400


def percentile(values, share):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(round(share * (len(ordered) - 1))))]


def cpu_seconds(pid):
    fields = pathlib.Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def run_with_clients(station):
    station.api("PUT", "/job", {"file": station.make_job()})
    stream = EventStream(station)
    delays = []
    latencies = []
    done = threading.Event()

    def poll():
        connection = station.connection()
        headers = station.headers()
        next_at = time.monotonic()
        while not done.is_set():
            start = time.monotonic()
            connection.request("GET", "/api/v1/station", headers=headers)
            connection.getresponse().read()
            latencies.append((time.monotonic() - start) * 1000)
            next_at += 0.01
            time.sleep(max(0.0, next_at - time.monotonic()))
        connection.close()

    poller = threading.Thread(target=poll)
    station.api("POST", "/run", {"count": CHIPS}, expect=202)
    poller.start()
    started = time.monotonic()
    while True:
        _, kind, data = stream.next()
        if kind == "chip-finished":
            ended = datetime.datetime.strptime(data["record"]["time"], "%Y-%m-%dT%H:%M:%S.%fZ")
            ended = ended.replace(tzinfo=datetime.timezone.utc).timestamp()
            delays.append((time.time() - ended) * 1000)
        if kind == "target-reached":
            break
    elapsed = time.monotonic() - started
    done.set()
    poller.join()
    stream.close()
    station.wait_idle()
    print(f"run: {CHIPS} chips on 8 programmers in {elapsed:.1f} s")
    print(f"chip-finished -> SSE client: p50 {statistics.median(delays):.1f} ms, p99 {percentile(delays, 0.99):.1f} ms,"
          f" max {max(delays):.1f} ms ({len(delays)} chips; record time has 1 ms resolution)")
    print(f"GET /station at {len(latencies) / elapsed:.0f} req/s while 8 programmers run: "
          f"p50 {statistics.median(latencies):.2f} ms, p99 {percentile(latencies, 0.99):.2f} ms,"
          f" max {max(latencies):.2f} ms ({len(latencies)} requests)")


def idle_cpu(station, seconds=30):
    pid = station.process.pid
    before, start = cpu_seconds(pid), time.monotonic()
    time.sleep(seconds)
    share = (cpu_seconds(pid) - before) / (time.monotonic() - start) * 100
    print(f"CPU while waiting (job loaded, no run, {seconds} s): {share:.2f} % of a core")


def line_query():
    server = PostgresServer(durable=True)
    station = Station(scenario=EIGHT, token=False, extra=["--line-db", server.url]).start()
    try:
        # One chip through the station makes the table and its index as a station does.
        station.api("PUT", "/job", {"file": station.make_job()})
        station.api("POST", "/run", {"count": 1}, expect=202)
        station.wait_idle()
        deadline = time.monotonic() + 30
        while station.api("GET", "/station")["line_server"]["backlog"] and time.monotonic() < deadline:
            time.sleep(0.2)
        start = time.monotonic()
        # 20 stations, 50,000 records each over the last 30 days; 2 % fail with one of five texts.
        server.psql("INSERT INTO belcor_production_log (uid, time, station, programmer, job, result, message, serial,"
                    " duration_ms, cycle_ms)"
                    " SELECT 'gen-' || n, now() - (n / 20) * interval '51840 milliseconds',"
                    " 'station-' || lpad((n % 20)::text, 2, '0'), 'BU2SIM000000' || (n % 4 + 1), 'job',"
                    " CASE WHEN n % 50 = 7 THEN 'fail' ELSE 'pass' END,"
                    " CASE WHEN n % 50 = 7 THEN (ARRAY['Verify failed at 0x%','No chip','Erase timed out',"
                    "'Chip id mismatch','Write failed'])[n % 5 + 1] ELSE '' END,"
                    " lpad(n::text, 8, '0'), 2500, 2600 FROM generate_series(1, 1000000) n")
        server.psql("VACUUM ANALYZE belcor_production_log")
        print(f"generated 1,000,000 records of 20 stations in {time.monotonic() - start:.0f} s")
        times = []
        for _ in range(10):
            time.sleep(1.1)  # past the answer's one-second sharing
            begin = time.monotonic()
            line = station.api("GET", "/line")
            times.append((time.monotonic() - begin) * 1000)
        print(f"GET /line over {server.psql('SELECT count(*) FROM belcor_production_log')} records, "
              f"{len(line['stations'])} stations: median {statistics.median(times):.1f} ms, max {max(times):.1f} ms")
    finally:
        station.close()
        server.close()


def main():
    print(f"build {build}; load {os.getloadavg()[0]:.2f} {os.getloadavg()[1]:.2f} {os.getloadavg()[2]:.2f}"
          f" on {os.cpu_count()} cores")
    station = Station(scenario=EIGHT).start()
    try:
        run_with_clients(station)
        idle_cpu(station)
    finally:
        station.close()
    line_query()


if __name__ == "__main__":
    main()
