"""Headless Chromium driven by selenium (Debian's chromium, chromium-driver and
python3-selenium, for /usr/bin/python3), with a fresh profile, a download folder and the
performance log that lists every request the page makes; and the page's own steps: choose
reports, wait for the check, press keys."""
import contextlib
import shutil
import tempfile
import time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys

FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync",
         "--window-size=1400,1000"]


@contextlib.contextmanager
def browser(downloads):
    """A Chromium session that saves downloads in `downloads`."""
    profile = tempfile.mkdtemp(prefix="ld952-web-")
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for flag in FLAGS + [f"--user-data-dir={profile}"]:
        options.add_argument(flag)
    options.set_capability("goog:loggingPrefs", {"performance": "ALL", "browser": "ALL"})
    driver = webdriver.Chrome(service=Service(executable_path="/usr/bin/chromedriver"),
                              options=options)
    try:
        driver.set_script_timeout(30)
        driver.execute_cdp_cmd("Page.setDownloadBehavior",
                               {"behavior": "allow", "downloadPath": str(downloads)})
        yield driver
    finally:
        driver.quit()
        shutil.rmtree(profile, ignore_errors=True)


def choose(driver, paths, timeout):
    """Chooses the reports and waits for the check (see wait)."""
    driver.execute_script("document.getElementById('soubory').value = ''")
    driver.find_element(By.ID, "soubory").send_keys("\n".join(str(p) for p in paths))
    return wait(driver, timeout)


def wait(driver, timeout):
    """Waits until the check and the text view are done. Returns the page's final state
    ('hotovo' or 'chyba')."""
    end = time.monotonic() + timeout
    s = ""
    while time.monotonic() < end:
        s = driver.execute_script("return document.body.dataset.stav + '/' + document.body.dataset.text")
        if s == "hotovo/hotovo" or s.startswith("chyba"):
            return s.split("/")[0]
        time.sleep(0.2)
    raise RuntimeError(f"the check did not end in {timeout} s (state {s})")


def press(driver, *keys):
    """Presses the keys, one after another, on the element that has the focus."""
    chain = ActionChains(driver)
    for k in keys:
        chain.send_keys(k)
    chain.perform()


def size(driver, width, height=1000):
    """Resizes the window so that the page's viewport is `width` pixels wide."""
    driver.set_window_size(width, height)
    inner = driver.execute_script("return innerWidth")
    if inner != width:  # the window's frame, if any, is added
        driver.set_window_size(2 * width - inner, height)
    time.sleep(0.2)
