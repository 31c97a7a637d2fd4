"""A site served on 127.0.0.1 and opened in one of Debian's browser engines, with the
page's WebGL 2 context and Web Audio watched from before its own script runs:
Chromium (headless, through chromium-driver), Firefox ESR (on the X display, over
WebDriver BiDi, which it speaks itself) or WebKitGTK (its MiniBrowser on the X
display, through WebKitWebDriver). Used by the browser tests and tools/measure/web."""
import functools
import http.server
import json
import os
import re
import shutil
import subprocess
import tempfile
import threading
import time
import warnings

import websocket
from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.remote.command import Command

# Runs in the page before its own script: counts each frame's draws (a frame runs
# from one clear to the next) and GL errors on the demo's canvas, records the buffer
# sources the demo's audio context starts and stops and that context's state, and
# keeps console errors and uncaught errors the page did not handle itself.
WATCH = r"""
window.__watch = {frames: [], times: [], draws: 0, modes: {}, errors: [], firstFrameAt: null,
                  sources: [], exitStatus: null, audioState: null, audioStates: [], console: []};
(function () {
  const w = window.__watch, getContext = HTMLCanvasElement.prototype.getContext;
  const consoleError = console.error;
  console.error = function (...a) {
    w.console.push(a.join(" "));
    return consoleError.apply(this, a);
  };
  const uncaught = what => e => setTimeout(() => e.defaultPrevented || w.console.push(what(e)));
  addEventListener("error", uncaught(e => e.message || "failed to load " + e.target.src), true);
  addEventListener("unhandledrejection", uncaught(e => String(e.reason)));
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
    if (w.audioState === null)
      this.addEventListener("statechange", () => w.audioStates.push([w.audioState = this.state,
                                                                     document.hidden]));
    w.audioState = this.state;
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


class Watched(Quiet):
    """Serves index.html with the server's `head` (the watch script) inline at the top
    of its <head>: the one way to run first that every engine's driver allows."""

    def handle(self):
        try:
            super().handle()
        except (BrokenPipeError, ConnectionResetError):  # the browser left the page meanwhile
            pass

    def do_GET(self):
        if self.path.split("?")[0] not in ("/", "/index.html"):
            return super().do_GET()
        with open(os.path.join(self.directory, "index.html"), "rb") as f:
            page = f.read()
        body = page.replace(b"<head>", b"<head>" + self.server.head, 1)
        if body == page:
            self.send_error(500, "index.html has no <head> for the watch script")
            return
        self.send_response(200)
        self.send_header("Content-Type", "text/html; charset=utf-8")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)


class Firefox:
    """Firefox ESR on the X display (headless it has no WebGL 2 here) with a fresh
    profile, driven over its own WebDriver BiDi socket (Debian has no geckodriver):
    the calls of a Selenium driver that the tests make, and input actions."""

    def __init__(self, size):
        self.profile = tempfile.mkdtemp(prefix="marrowby-firefox-")
        log = os.path.join(self.profile, "firefox.log")
        with open(log, "w") as out:
            self.process = subprocess.Popen(
                ["firefox-esr", "--remote-debugging-port=0", "--no-remote", "--profile",
                 self.profile, "about:blank"], stdout=out, stderr=out, stdin=subprocess.DEVNULL)
        found, deadline = None, time.monotonic() + 60
        while not found and self.process.poll() is None and time.monotonic() < deadline:
            time.sleep(0.2)
            with open(log) as f:
                found = re.search(r"WebDriver BiDi listening on (ws://\S+)", f.read())
        if not found:
            with open(log) as f:
                why = f.read()
            self.quit()
            raise RuntimeError("firefox-esr offers no WebDriver BiDi socket; its output:\n" + why)
        try:
            self.socket, self.last = websocket.create_connection(
                found[1] + "/session", timeout=60, suppress_origin=True), 0  # it refuses any Origin
            self.send("session.new", capabilities={})
            self.context = self.send("browsingContext.getTree")["contexts"][0]["context"]
            self.send("browsingContext.setViewport", context=self.context,
                      viewport={"width": size[0], "height": size[1]})
        except BaseException:
            self.quit()
            raise

    def send(self, method, **params):
        self.last += 1
        self.socket.send(json.dumps({"id": self.last, "method": method, "params": params}))
        while True:  # no events are subscribed to: only answers come
            answer = json.loads(self.socket.recv())
            if answer.get("id") == self.last:
                if answer["type"] == "error":
                    raise RuntimeError("%s: %s: %s" % (method, answer["error"], answer["message"]))
                return answer["result"]

    def get(self, url):
        self.send("browsingContext.navigate", context=self.context, url=url, wait="complete")

    def execute_script(self, script, *args):
        # The value travels as JSON, as Selenium's does for the tests' plain data.
        r = self.send("script.evaluate", target={"context": self.context}, awaitPromise=False,
                      expression="JSON.stringify([(function () {%s\n}).apply(window, %s)])"
                      % (script, json.dumps(args)))
        if r["type"] == "exception":
            raise RuntimeError("script: " + r["exceptionDetails"]["text"])
        return json.loads(r["result"]["value"])[0]

    @property
    def title(self):
        return self.execute_script("return document.title")

    def perform(self, actions):
        self.send("input.performActions", context=self.context, actions=actions)

    def quit(self):
        try:
            self.send("browser.close")
            self.socket.close()
        except Exception:  # never connected, or already gone
            self.process.terminate()
        try:
            self.process.wait(20)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        shutil.rmtree(self.profile, ignore_errors=True)


def webkit(size):
    """WebKitGTK's MiniBrowser on the X display, through WebKitWebDriver."""
    options = webdriver.WebKitGTKOptions()
    options.binary_location = "/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser"
    options.add_argument("--automation")
    with warnings.catch_warnings():  # Selenium's own class uses what Selenium deprecates
        warnings.simplefilter("ignore", DeprecationWarning)
        # Its output is the MiniBrowser's complaints about the missing sound card.
        driver = webdriver.WebKitGTK(executable_path="/usr/bin/WebKitWebDriver", options=options,
                                     service_log_path=os.devnull)
    driver.set_window_size(*size)
    return driver


class Browser:
    """One server and one browser on a site folder. `before` runs in the page before
    the watch script (and so before the page's own)."""

    def __init__(self, site, size=(1280, 800), engine="chromium", before=""):
        self.engine, self.servers = engine, []
        self.url = self.serve(site, before)
        self.server = self.servers[0]
        # Why the page's audio context cannot run here, if it cannot.
        self.silent = None
        if engine == "firefox" and not (os.path.exists("/dev/snd") or os.environ.get("PULSE_SERVER")
                                        or os.path.exists("/run/user/%d/pulse" % os.getuid())):
            self.silent = ("Firefox's audio context stays suspended without a sound card or sound "
                           "server, and this machine has neither")
        if engine != "chromium":
            self.driver = Firefox(size) if engine == "firefox" else webkit(size)
            return
        options = webdriver.ChromeOptions()
        options.binary_location = "/usr/bin/chromium"
        for a in ("--headless=new", "--no-sandbox", "--enable-unsafe-swiftshader",
                  "--window-size=%d,%d" % size, "--autoplay-policy=no-user-gesture-required"):
            options.add_argument(a)
        options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
        self.driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)

    def serve(self, site, before=""):
        """Serves a site on a port of its own, an origin whose cache it shares with no
        other; its address. The browser's first site is served at `url`."""
        server = http.server.ThreadingHTTPServer(
            ("127.0.0.1", 0), functools.partial(Watched, directory=site))
        server.head = ("<script>%s\n%s</script>" % (before, WATCH)).encode()
        threading.Thread(target=server.serve_forever, daemon=True).start()
        self.servers.append(server)
        return "http://127.0.0.1:%d/" % server.server_address[1]

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
        """Console entries of level SEVERE since the last call; in the engines whose
        driver has no console log, the console's errors and uncaught errors."""
        if self.engine != "chromium":
            return self.js("return window.__watch.console.splice(0)")
        return [e for e in self.driver.get_log("browser") if e["level"] == "SEVERE"]

    def watch_exit(self):
        # The page's own onExit still runs; the status is kept for the test.
        self.js("const f = Module.onExit; Module.onExit = s => {"
                " window.__watch.exitStatus = s; f(s); };")

    def act(self, *actions):
        """Performs WebDriver input actions: the same list for either protocol."""
        if self.engine == "firefox":
            self.driver.perform(list(actions))
        else:
            self.driver.execute(Command.W3C_ACTIONS, {"actions": list(actions)})

    def escape(self, key=Keys.ESCAPE):  # or another key
        self.act({"type": "key", "id": "keyboard", "actions": [
            {"type": "keyDown", "value": key}, {"type": "keyUp", "value": key}]})

    def click(self, element="canvas", pointer="mouse"):
        """A click in the middle of the canvas, as a visitor gives for sound."""
        x, y = self.js("const r = document.getElementById(arguments[0]).getBoundingClientRect();"
                       "return [Math.round(r.x + r.width / 2), Math.round(r.y + r.height / 2)]",
                       element)
        self.act({"type": "pointer", "id": pointer, "parameters": {"pointerType": pointer},
                  "actions": [{"type": "pointerMove", "x": x, "y": y, "duration": 0},
                              {"type": "pointerDown", "button": 0},
                              {"type": "pointerUp", "button": 0}]})

    def lose_context(self, restore=False):
        self.js("(window.__lose = window.__lose || Module.ctx.getExtension('WEBGL_lose_context'))"
                "[arguments[0] ? 'restoreContext' : 'loseContext']()", restore)  # as browsers do

    def close(self):
        self.driver.quit()
        for other in self.servers[1:]:
            other.shutdown()
            other.server_close()
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


# puppeteer's PredefinedNetworkConditions: bytes/s (1.6, .75, 9, 1.5 Mbit/s × .9), ms a request.
NETWORKS = {"Slow 4G": dict(downloadThroughput=180e3, uploadThroughput=84375, latency=562.5),
            "Fast 4G": dict(downloadThroughput=1012500, uploadThroughput=168750, latency=165)}
