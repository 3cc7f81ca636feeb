"""The station page in Debian's chromium, headless, driven by chromedriver:
four tiles, a chip's record on the page within a second of its end, Start and
Stop with the token, the Chinese page. With BELCOR_STATION_SCREENSHOTS set to
a folder, the page's screenshots go there (1920x1080, 1280x800 and a phone, in
the three languages)."""
import os
import pathlib
import shutil
import tempfile
import time
import unittest

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import Select, WebDriverWait

from station_harness import EventStream, Station

CHROMIUM = shutil.which("chromium") or "/usr/bin/chromium"
DRIVER = shutil.which("chromedriver") or "/usr/bin/chromedriver"
SIZES = {"1920x1080": (1920, 1080), "1280x800": (1280, 800), "phone": (390, 844)}


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
        folder = os.environ.get("BELCOR_STATION_SCREENSHOTS")
        if not folder:
            return
        folder = pathlib.Path(folder)
        folder.mkdir(parents=True, exist_ok=True)
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


if __name__ == "__main__":
    unittest.main()
