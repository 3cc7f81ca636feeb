"""The station page in Debian's chromium, headless, driven by chromedriver:
four tiles, a chip's record on the page within a second of its end, Start and
Stop with the token, the Chinese page. With BELCOR_SCREENSHOT_DIR naming the
documentation's pictures folder, the page's screenshots go to its station/
folder (1920x1080, 1280x800 and a phone, in the three languages)."""
import os
import pathlib
import shutil
import tempfile
import time
import unittest

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support import expected_conditions
from selenium.webdriver.support.ui import Select, WebDriverWait

from station_harness import GANG, EventStream, PostgresServer, Station

CHROMIUM = shutil.which("chromium") or "/usr/bin/chromium"
DRIVER = shutil.which("chromedriver") or "/usr/bin/chromedriver"
SIZES = {"1920x1080": (1920, 1080), "1280x800": (1280, 800), "phone": (390, 844)}


def screenshot_folder():
    """Where screenshots go, made when asked for; nothing when none are."""
    folder = os.environ.get("BELCOR_SCREENSHOT_DIR")
    if not folder:
        return None
    folder = pathlib.Path(folder) / "station"
    folder.mkdir(parents=True, exist_ok=True)
    return folder


def browser(profile, language="en-US"):
    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    for flag in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                 "--disable-background-networking", "--disable-component-update", "--disable-sync",
                 "--disable-dev-shm-usage", "--hide-scrollbars", f"--user-data-dir={profile}", f"--lang={language}",
                 "--window-size=1280,800"):
        options.add_argument(flag)
    options.add_experimental_option("prefs", {"intl.accept_languages": language})
    return webdriver.Chrome(service=Service(DRIVER), options=options)


@unittest.skipUnless(os.path.exists(CHROMIUM) and os.path.exists(DRIVER), "chromium and chromium-driver are needed")
class BrowserPage(unittest.TestCase):
    def setUp(self):
        self.station = Station().start()
        self.station.api("PUT", "/job", {"file": self.station.make_job()})
        self.profile = tempfile.mkdtemp(prefix="belcor-chromium-")
        self.driver = browser(self.profile)
        self.wait = WebDriverWait(self.driver, 30)

    def tearDown(self):
        self.driver.quit()
        shutil.rmtree(self.profile, ignore_errors=True)
        self.station.close()

    def open_with_token(self):
        self.driver.get(f"http://127.0.0.1:{self.station.port}/")
        self.wait.until(lambda d: d.find_element(By.ID, "token-form").is_displayed())
        self.driver.find_element(By.ID, "token").send_keys(self.station.token)
        self.driver.find_element(By.CSS_SELECTOR, "#token-form button").click()
        self.wait.until(lambda d: len(d.find_elements(By.CSS_SELECTOR, "#tiles .tile")) == 4)

    def rows(self):
        # Read in one go: the page redraws its rows on every event.
        return self.driver.execute_script(
            "return [...document.querySelectorAll('#record-rows tr')].map((row) => row.textContent)")

    def test_start_stop_records_and_languages(self):
        d = self.driver
        self.open_with_token()
        self.assertEqual(d.find_element(By.ID, "verdict").text, "READY")
        stream = EventStream(self.station)
        d.find_element(By.ID, "operator").send_keys("Ann")
        d.find_element(By.ID, "start").click()
        # Each chip's record shows within a second of its end.
        for _ in range(4):
            _, _, finished = stream.until("chip-finished", timeout=60)[-1]
            serial = finished["record"]["serial"]
            ended = time.time()
            WebDriverWait(d, 1, poll_frequency=0.02).until(
                lambda d: any(serial in row for row in self.rows()), f"chip {serial} not shown within 1 s")
            self.assertLess(time.time() - ended, 1.0)
        stream.close()
        self.assertEqual(d.find_element(By.ID, "verdict").text, "PASS")
        d.find_element(By.ID, "stop").click()
        self.wait.until(lambda d: d.find_element(By.ID, "start").is_enabled())
        station = self.station.api("GET", "/station")
        self.assertFalse(station["running"])
        self.assertEqual(station["operator"], "Ann")
        tiles = d.find_elements(By.CSS_SELECTOR, "#tiles .tile")
        self.assertEqual([t.find_element(By.CLASS_NAME, "serial").text for t in tiles],
                         [f"BU2SIM000000{n}" for n in range(1, 5)])
        self.assertEqual(len(self.rows()), min(20, station["job"]["counters"]["total"]))

        Select(d.find_element(By.ID, "language")).select_by_value("zh-CN")
        self.wait.until(lambda d: d.find_element(By.ID, "title").text == "工作站 test-station")
        self.assertEqual(d.find_element(By.ID, "start").text, "开始")
        self.assertEqual(d.find_element(By.ID, "verdict").text, "通过")
        # The text must be drawn with CJK glyphs, not boxes: the title is wider than its box count of Latin glyphs.
        self.assertGreater(d.find_element(By.ID, "title").size["width"], 100)
        self.screenshots()

    def screenshots(self):
        folder = screenshot_folder()
        if not folder:
            return
        d = self.driver
        for language in ("zh-CN", "zh-TW", "en"):
            Select(d.find_element(By.ID, "language")).select_by_value(language)
            for name, (width, height) in SIZES.items():
                # The page's own size, whatever the window around it takes.
                d.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                                  {"width": width, "height": height, "deviceScaleFactor": 1, "mobile": name == "phone"})
                time.sleep(0.3)
                d.save_screenshot(str(folder / f"station-{language}-{name}.png"))

    def test_the_page_follows_the_browsers_language(self):
        self.driver.quit()
        self.driver = browser(self.profile + "-tw", language="zh-TW")
        self.wait = WebDriverWait(self.driver, 30)
        try:
            self.open_with_token()
            self.assertEqual(self.driver.find_element(By.ID, "start").text, "開始")
            self.assertEqual(self.driver.find_element(By.ID, "verdict").text, "就緒")
        finally:
            shutil.rmtree(self.profile + "-tw", ignore_errors=True)


    def test_a_chip_cut_off_by_a_killed_station_shows_as_interrupted(self):
        self.station.close()
        self.station = s = Station(scenario=GANG.replace("erase_time_ms 50", "erase_time_ms 5000")).start()
        s.api("PUT", "/job", {"file": s.make_job()})
        stream = EventStream(s)
        s.api("POST", "/run", {"programmers": ["BU2SIM0000001"]}, expect=202)
        stream.until("chip-started")
        stream.close()
        s.process.kill()
        s.process.wait()
        s.process.stdout.close()
        s.process.stderr.close()
        s.process = None
        s.start()
        self.open_with_token()
        self.wait.until(lambda d: len(self.rows()) == 1)
        self.assertIn("Interrupted", self.rows()[0])
        counters = s.api("PUT", "/job", {"file": "job.belcorjob"})["job"]["counters"]
        self.assertEqual((counters["interrupted"], counters["total"]), (1, 1))
        self.assertEqual(self.driver.find_element(By.ID, "verdict").text, "Interrupted")
        folder = screenshot_folder()
        for language in ("zh-CN", "zh-TW", "en") if folder else ():
            Select(self.driver.find_element(By.ID, "language")).select_by_value(language)
            time.sleep(0.3)
            self.driver.save_screenshot(str(folder / f"station-interrupted-{language}.png"))

@unittest.skipUnless(os.path.exists(CHROMIUM) and os.path.exists(DRIVER), "chromium and chromium-driver are needed")
class BrowserRoles(unittest.TestCase):
    """A monitor watches with the view token; an action asks for the control token."""
    VIEW = "a-view-token-9876543210"

    def setUp(self):
        self.station = Station()
        (self.station.folder / "view-token").write_text(self.VIEW + "\n")
        self.station.arguments += ["--view-token-file", str(self.station.folder / "view-token")]
        self.station.start()
        self.station.api("PUT", "/job", {"file": self.station.make_job(target=2, pin="4711")})
        self.profile = tempfile.mkdtemp(prefix="belcor-chromium-")
        self.driver = browser(self.profile)
        self.wait = WebDriverWait(self.driver, 30)

    def tearDown(self):
        self.driver.quit()
        shutil.rmtree(self.profile, ignore_errors=True)
        self.station.close()

    def give_token(self, token, words):
        form = self.driver.find_element(By.ID, "token-form")
        self.wait.until(lambda d: form.is_displayed())
        self.assertIn(words, form.text)
        self.driver.find_element(By.ID, "token").send_keys(token)
        self.driver.find_element(By.CSS_SELECTOR, "#token-form button").click()

    def answer(self, text=None):
        alert = self.wait.until(expected_conditions.alert_is_present())
        if text is not None:
            alert.send_keys(text)
        alert.accept()

    def test_the_view_token_watches_and_actions_ask_for_the_control_token(self):
        d = self.driver
        d.get(f"http://127.0.0.1:{self.station.port}/")
        self.give_token(self.VIEW, "see and run")
        self.wait.until(lambda d: len(d.find_elements(By.CSS_SELECTOR, "#tiles .tile")) == 4)
        self.assertFalse(d.find_element(By.ID, "token-form").is_displayed())
        # The tiles are drawn anew on each event: read them whole in one go.
        self.assertEqual(d.execute_script(
            "return [...document.querySelectorAll('#tiles .tile')].map(t => t.dataset.state + ' ' +"
            " t.querySelector('.tile-state').textContent)"), ["idle Idle"] * 4)

        d.find_element(By.ID, "start").click()
        self.give_token(self.station.token, "control token")
        # The action goes on with the control token: the job's two good chips.
        self.wait.until(lambda d: d.find_element(By.ID, "passed").text == "2")
        self.wait.until(lambda d: d.find_element(By.ID, "start").is_enabled())

        d.find_element(By.ID, "raise-target").click()
        self.answer("5")
        self.answer("4711")
        self.wait.until(lambda d: d.find_element(By.ID, "target").text.endswith("/ 5"))
        self.assertEqual(self.station.api("GET", "/station")["job"]["target"], 5)

        d.find_element(By.ID, "reset-counters").click()
        self.answer()
        self.answer("0000")
        self.wait.until(lambda d: "Wrong PIN" in d.find_element(By.ID, "error").text)
        d.find_element(By.ID, "reset-counters").click()
        self.answer()
        self.answer("4711")
        self.wait.until(lambda d: d.find_element(By.ID, "passed").text == "0")
        self.assertFalse(d.find_element(By.ID, "error").is_displayed())


@unittest.skipUnless(os.path.exists(CHROMIUM) and os.path.exists(DRIVER), "chromium and chromium-driver are needed")
class BrowserLine(unittest.TestCase):
    def test_the_line_page_follows_the_line_servers_log(self):
        server = PostgresServer()
        station = Station(token=False, extra=["--line-db", server.url]).start()
        profile = tempfile.mkdtemp(prefix="belcor-chromium-")
        driver = None
        try:
            # Five stations of a line: four busy in the last hour, one silent for hours.
            # The station's forwarder makes the line's table as it connects.
            deadline = time.monotonic() + 30
            while server.psql("SELECT to_regclass('belcor_production_log') IS NOT NULL") != "t":
                self.assertLess(time.monotonic(), deadline, "the station did not make the line's table")
                time.sleep(0.2)
            server.psql("INSERT INTO belcor_production_log (uid, time, station, result, message) SELECT 'g-' || n,"
                        " now() - n * interval '2 seconds' - CASE WHEN n % 5 = 4 THEN interval '6 hours' ELSE"
                        " interval '0' END, 'line1-station' || (n % 5 + 1),"
                        " CASE WHEN n % 23 = 0 THEN 'fail' ELSE 'pass' END, CASE WHEN n % 23 = 0 THEN"
                        " (ARRAY['Verify failed at 0x00001F00', 'No chip in the socket', 'Erase timed out'])[n % 3 + 1]"
                        " ELSE '' END FROM generate_series(1, 1500) n")
            driver = browser(profile)
            driver.get(f"http://127.0.0.1:{station.port}/line")
            wait = WebDriverWait(driver, 30)
            wait.until(lambda d: len(d.find_elements(By.CSS_SELECTOR, "#station-rows tr")) == 5)
            rows = driver.execute_script(
                "return [...document.querySelectorAll('#station-rows tr')].map((r) => [...r.cells].map((c) => c.textContent))")
            self.assertEqual([row[0] for row in rows], [f"line1-station{n}" for n in range(1, 6)])
            self.assertEqual([row[1] for row in rows], ["alive"] * 4 + ["silent"])
            self.assertEqual(rows[0][3], "300")
            # A new station shows within a refresh or two.
            server.psql("INSERT INTO belcor_production_log (uid, time, station, result) VALUES ('new', now(), 'line2-station1', 'pass')")
            WebDriverWait(driver, 6).until(lambda d: len(d.find_elements(By.CSS_SELECTOR, "#station-rows tr")) == 6)
            folder = screenshot_folder()
            if folder:
                for language in ("zh-CN", "zh-TW", "en"):
                    Select(driver.find_element(By.ID, "language")).select_by_value(language)
                    for name in ("1920x1080", "phone"):
                        width, height = SIZES[name]
                        driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                                               {"width": width, "height": height, "deviceScaleFactor": 1,
                                                "mobile": name == "phone"})
                        time.sleep(0.3)
                        driver.save_screenshot(str(folder / f"line-{language}-{name}.png"))
        finally:
            if driver:
                driver.quit()
            shutil.rmtree(profile, ignore_errors=True)
            station.close()
            server.close()


if __name__ == "__main__":
    unittest.main()
