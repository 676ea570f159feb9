"""The page of hlr-render view in a real browser (Debian's chromium,
headless, driven by python3-selenium through chromium-driver): dragging
turns the models and the drawing on show becomes the one /drawing.svg
gives for the view the page reports; an export button saves that file.
The run's screenshot is the README's picture (written where
$HLR_VIEWER_SCREENSHOT says, else beside the test's other files)."""

import os
import shlex
import shutil
import subprocess
from pathlib import Path

import pytest

from conftest import ROOT, hlr_render_command, running_viewer

CHROMIUM = shutil.which("chromium")
DRIVER = shutil.which("chromedriver")
try:
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.action_chains import ActionChains
    from selenium.webdriver.common.by import By
    from selenium.webdriver.support.ui import WebDriverWait
except ImportError:
    webdriver = None

pytestmark = pytest.mark.skipif(
    not (CHROMIUM and DRIVER and webdriver),
    reason="browser test skipped: chromium, chromium-driver or python3-selenium is not "
           "installed (scripts/install-deps.sh installs them)")

# Everything that would reach beyond this machine is off: its network is
# closed.
FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync",
         "--disable-dev-shm-usage", "--window-size=1100,900"]


@pytest.fixture
def browser(tmp_path):
    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    for flag in FLAGS + [f"--user-data-dir={tmp_path / 'profile'}"]:
        options.add_argument(flag)
    options.add_experimental_option("prefs", {
        "download.default_directory": str(tmp_path / "downloads"),
        "download.prompt_for_download": False})
    driver = webdriver.Chrome(service=Service(DRIVER), options=options)
    try:
        driver.execute_cdp_cmd("Page.setDownloadBehavior", {
            "behavior": "allow", "downloadPath": str(tmp_path / "downloads")})
        yield driver
    finally:
        driver.quit()


def settled(driver):
    """The page's drawing on show, once no request is under way: (query, svg)."""
    state = driver.execute_script(
        "const v = window.hlrViewer;"
        "return v && v.shownSequence > 0 && v.inFlight === 0 && !v.pending"
        " ? [v.shown.query, v.shown.svg, document.querySelectorAll('#drawing polyline').length]"
        " : null;")
    return state


def test_dragging_turns_the_drawing_and_export_saves_it(browser, tmp_path):
    # The start's options are the page's first state.
    with running_viewer("examples/bracket.obj", "--intersections", "--view", "iso") as viewer:
        wait = WebDriverWait(browser, 120, poll_frequency=0.05)
        browser.get(viewer.url)
        first_query, first_svg, _ = wait.until(settled)
        assert first_query == "view=iso&intersections=true"

        stage = browser.find_element(By.ID, "stage")
        ActionChains(browser).click_and_hold(stage).move_by_offset(60, 10) \
            .move_by_offset(60, 30).release().perform()
        query, svg, polylines = wait.until(
            lambda driver: (state := settled(driver)) and state[0] != first_query and state)

        assert svg != first_svg
        assert polylines == svg.count("<polyline")
        status, body = viewer.get("/drawing.svg", query)
        assert status == 200 and body.decode() == svg
        # The command the page shows draws what it shows.
        command = shlex.split(browser.find_element(By.ID, "command").get_attribute("value"))
        assert command[:2] == ["hlr-render", "draw"] and command[-2:] == ["-o", "drawing.svg"]
        subprocess.run([hlr_render_command(), *command[1:-1], str(tmp_path / "command.svg")],
                       check=True, cwd=ROOT)
        assert (tmp_path / "command.svg").read_text() == svg

        screenshot = Path(os.environ.get("HLR_VIEWER_SCREENSHOT") or tmp_path / "viewer.png")
        assert browser.save_screenshot(str(screenshot))

        browser.find_element(By.CSS_SELECTOR, '#exports a[data-format="dxf"]').click()
        saved = tmp_path / "downloads" / "drawing.dxf"
        wait.until(lambda driver: saved.exists() and saved.stat().st_size > 0)
        assert saved.read_bytes() == viewer.get("/drawing.dxf", query)[1]
