"""A site served on 127.0.0.1 and opened in Debian's headless Chromium through
chromium-driver, with the page's WebGL 2 context and Web Audio watched from before
its own script runs. Used by the browser tests and tools/measure/web."""
import functools
import http.server
import os
import threading
import time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys

# Runs in every document before the page: counts each frame's draws (a frame runs
# from one clear to the next) and GL errors on the demo's canvas, and records the
# buffer sources the demo's audio context starts and stops.
WATCH = r"""
window.__watch = {frames: [], times: [], draws: 0, modes: {}, errors: [], firstFrameAt: null,
                  sources: [], exitStatus: null};
(function () {
  const w = window.__watch, getContext = HTMLCanvasElement.prototype.getContext;
  HTMLCanvasElement.prototype.getContext = function (kind, attrs) {
    const gl = getContext.call(this, kind, attrs);
    if (!gl || this.id !== "canvas" || gl.__watched) return gl;
    const clear = gl.clear, drawElements = gl.drawElements;
    gl.__watched = true;
    gl.clear = function (mask) {
      w.times.push(performance.now());
      if (w.firstFrameAt === null) w.firstFrameAt = w.times[0];
      else { w.frames.push(w.draws); const e = gl.getError(); if (e) w.errors.push(e); }
      w.draws = 0;
      return clear.call(this, mask);
    };
    gl.drawElements = function (mode, ...rest) {
      w.draws++;
      w.modes[mode] = (w.modes[mode] || 0) + 1;
      return drawElements.call(this, mode, ...rest);
    };
    return gl;
  };
  const createBufferSource = AudioContext.prototype.createBufferSource;
  AudioContext.prototype.createBufferSource = function () {
    const node = createBufferSource.call(this), start = node.start, stop = node.stop;
    const s = {loop: null, duration: null, started: false, stopped: false};
    w.sources.push(s);
    node.start = function (...a) {
      Object.assign(s, {started: true, loop: node.loop, duration: node.buffer.duration});
      return start.apply(this, a);
    };
    node.stop = function (...a) { s.stopped = true; return stop.apply(this, a); };
    return node;
  };
})();
"""

Quiet = type("Quiet", (http.server.SimpleHTTPRequestHandler,), {"log_message": lambda *a: None})


class Browser:
    """One server and one headless Chromium on a site folder."""

    def __init__(self, site, size=(1280, 800)):
        self.server = http.server.ThreadingHTTPServer(
            ("127.0.0.1", 0), functools.partial(Quiet, directory=site))
        threading.Thread(target=self.server.serve_forever, daemon=True).start()
        self.url = "http://127.0.0.1:%d/" % self.server.server_address[1]
        options = webdriver.ChromeOptions()
        options.binary_location = "/usr/bin/chromium"
        for a in ("--headless=new", "--no-sandbox", "--enable-unsafe-swiftshader",
                  "--window-size=%d,%d" % size, "--autoplay-policy=no-user-gesture-required"):
            options.add_argument(a)
        options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
        self.driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
        self.driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument", {"source": WATCH})

    def js(self, script, *args):
        return self.driver.execute_script(script, *args)

    def wait(self, script, timeout=60.0):
        """Waits until the expression is truthy; its value, or None on timeout."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            v = self.js("return " + script)
            if v:
                return v
            time.sleep(0.1)
        return None

    def errors(self):
        """Console entries of level SEVERE since the last call."""
        return [e for e in self.driver.get_log("browser") if e["level"] == "SEVERE"]

    def watch_exit(self):
        # The page's own onExit still runs; the status is kept for the test.
        self.js("const f = Module.onExit; Module.onExit = s => {"
                " window.__watch.exitStatus = s; f(s); };")

    def escape(self):
        ActionChains(self.driver).send_keys(Keys.ESCAPE).perform()

    def close(self):
        self.driver.quit()
        self.server.shutdown()
        self.server.server_close()

    def first_visit(self, network=None):
        """A first visit, no cache, over NETWORKS[network]: (ms to first frame, bytes by then)."""
        self.driver.execute_cdp_cmd("Network.enable", {})
        self.driver.execute_cdp_cmd("Network.setCacheDisabled", {"cacheDisabled": True})
        if network:
            self.driver.execute_cdp_cmd("Network.emulateNetworkConditions",
                                        dict(NETWORKS[network], offline=False))
        self.driver.get(self.url)
        at = self.wait("window.__watch.firstFrameAt", 120)
        return at, self.js("return performance.getEntries().filter(e => e.responseEnd <="
                           " arguments[0]).reduce((n, e) => n + e.transferSize, 0)", at)

    def phone(self, width, height, touch=True):
        self.driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
            "width": width, "height": height, "deviceScaleFactor": 3, "mobile": True})
        self.driver.execute_cdp_cmd("Emulation.setTouchEmulationEnabled", {"enabled": bool(touch)})

    def stop_server(self):
        self.server.shutdown()
        self.server.server_close()

    def click(self, element_id="canvas"):  # a real click: a user gesture
        ActionChains(self.driver).click(self.driver.find_element(By.ID, element_id)).perform()


# puppeteer's PredefinedNetworkConditions: bytes/s (1.6, .75, 9, 1.5 Mbit/s × .9), ms a request.
NETWORKS = {"Slow 4G": dict(downloadThroughput=180e3, uploadThroughput=84375, latency=562.5),
            "Fast 4G": dict(downloadThroughput=1012500, uploadThroughput=168750, latency=165)}
