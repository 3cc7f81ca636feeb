"""Debian's Prometheus scrapes the station's /metrics and a query returns the
chip count."""
import json
import shutil
import subprocess
import tempfile
import time
import unittest
import urllib.parse
import urllib.request

from station_harness import Station, free_port

PROMETHEUS = shutil.which("prometheus") or "/usr/bin/prometheus"


def query(port, expression):
    url = f"http://127.0.0.1:{port}/api/v1/query?" + urllib.parse.urlencode({"query": expression})
    with urllib.request.urlopen(url, timeout=10) as response:
        return json.load(response)["data"]["result"]


@unittest.skipUnless(shutil.which(PROMETHEUS), "prometheus is needed")
class PrometheusScrape(unittest.TestCase):
    def test_a_query_returns_the_chip_count(self):
        station = Station().start()
        folder = tempfile.mkdtemp(prefix="belcor-prometheus-")
        port = free_port()
        with open(f"{folder}/prometheus.yml", "w") as config:
            config.write("global:\n  scrape_interval: 1s\n"
                         "scrape_configs:\n  - job_name: belcor-station\n"
                         f"    static_configs:\n      - targets: ['127.0.0.1:{station.port}']\n")
        prometheus = subprocess.Popen(
            [PROMETHEUS, f"--config.file={folder}/prometheus.yml", f"--storage.tsdb.path={folder}/data",
             f"--web.listen-address=127.0.0.1:{port}"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            station.api("PUT", "/job", {"file": station.make_job()})
            station.api("POST", "/run", {"count": 6}, expect=202)
            station.wait_idle()
            deadline = time.monotonic() + 90
            chips = None
            while time.monotonic() < deadline:
                try:
                    result = query(port, 'sum(belcor_chips_total{result="pass"})')
                    chips = result[0]["value"][1] if result else None
                    if chips == "6":
                        break
                except OSError:
                    pass  # not listening yet
                time.sleep(0.5)
            self.assertEqual(chips, "6")
            up = query(port, 'belcor_programmer_up{programmer="BU2SIM0000001"}')
            self.assertEqual(up[0]["value"][1], "1")
            cycles = query(port, "sum(belcor_chip_cycle_seconds_count)")
            self.assertEqual(cycles[0]["value"][1], "6")
        finally:
            prometheus.terminate()
            prometheus.wait(30)
            shutil.rmtree(folder, ignore_errors=True)
            station.close()


if __name__ == "__main__":
    unittest.main()
