#!/usr/bin/env python3
"""The web page in headless Chromium with software WebGL: still frames against
demo-capture's, the page's guards against bad addresses, broken files and
stalled or slow links, the poster, the transport (pause, seek, drags, the
music following), an accessibility check, and a played run that advances
without script errors.

usage: browser_test.py PAGE_DIR DEMO_CAPTURE MEDIA_DIR [--fps-run DEMO_BENCH]
Exits 77 (skipped) when the page or the browser is missing. With --fps-run it
only plays the whole run and prints the frames of every second beside the
native frame times of demo-bench at the same times (make web-fps)."""
import base64
import json
import statistics
import os
import shutil
import socket
import struct
import subprocess
import sys
import tempfile
import time
import urllib.parse
import urllib.request
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "tools", "web"))
import serve  # noqa: E402
import throttle  # noqa: E402

SKIP = 77
CHROMIUM = "/usr/bin/chromium"
WIDTH, HEIGHT = 960, 89
# Times whose pictures do not hang on chaotic arithmetic: plasma and logo,
# plasma and overlay, the ray-marched bar, the starfield, the closing text.
STILL_TIMES = [1, 15, 40, 100, 121]
MAX_MEAN_DIFFERENCE = 0.01 * 255


class DevTools:
    """The smallest WebSocket client the DevTools protocol needs."""

    def __init__(self, url):
        parts = urllib.parse.urlsplit(url)
        host, port, path = parts.hostname, parts.port, parts.path
        self.sock = socket.create_connection((host, port), timeout=60)
        key = base64.b64encode(os.urandom(16)).decode()
        self.sock.sendall(("GET %s HTTP/1.1\r\nHost: %s:%s\r\nUpgrade: websocket\r\n"
                           "Connection: Upgrade\r\nSec-WebSocket-Key: %s\r\n"
                           "Sec-WebSocket-Version: 13\r\n\r\n" % (path, host, port, key)).encode())
        reply = b""
        while b"\r\n\r\n" not in reply:
            reply += self.sock.recv(1)
        if b" 101 " not in reply.split(b"\r\n")[0]:
            raise RuntimeError("DevTools refused the connection: %r" % reply[:80])
        self.next_id = 0
        self.events = []

    def _read(self, n):
        data = b""
        while len(data) < n:
            chunk = self.sock.recv(n - len(data))
            if not chunk:
                raise RuntimeError("DevTools closed the connection")
            data += chunk
        return data

    def _receive(self):
        message = b""
        while True:
            head, size = self._read(2)
            size &= 0x7F
            if size == 126:
                size = struct.unpack(">H", self._read(2))[0]
            elif size == 127:
                size = struct.unpack(">Q", self._read(8))[0]
            message += self._read(size)
            if head & 0x80:
                return json.loads(message)

    def call(self, method, **params):
        self.next_id += 1
        payload = json.dumps({"id": self.next_id, "method": method, "params": params}).encode()
        mask = os.urandom(4)
        size = len(payload)
        head = struct.pack(">BB", 0x81, 0x80 | (size if size < 126 else 126 if size < 65536 else 127))
        if 126 <= size < 65536:
            head += struct.pack(">H", size)
        elif size >= 65536:
            head += struct.pack(">Q", size)
        self.sock.sendall(head + mask + bytes(b ^ mask[i % 4] for i, b in enumerate(payload)))
        while True:
            reply = self._receive()
            if reply.get("id") == self.next_id:
                if "error" in reply:
                    raise RuntimeError("%s: %s" % (method, reply["error"]))
                return reply["result"]
            self.events.append(reply)

    def evaluate(self, expression):
        reply = self.call("Runtime.evaluate", expression=expression, returnByValue=True)
        if "exceptionDetails" in reply:
            raise RuntimeError("%s: %s" % (expression, reply["result"].get("description")))
        return reply["result"].get("value")

    def wait_for_state(self, states, seconds=60):
        """The first of `states` the page reaches, or its state after `seconds`."""
        deadline = time.time() + seconds
        while True:
            state = self.evaluate("document.body && document.body.dataset.state")
            if state in states or time.time() > deadline:
                return state
            time.sleep(0.1)

    def console_errors(self):
        errors = []
        for e in self.events:
            p = e.get("params", {})
            if e.get("method") == "Runtime.exceptionThrown":
                errors.append(p["exceptionDetails"].get("exception", {}).get(
                    "description", p["exceptionDetails"].get("text")))
            elif e.get("method") == "Runtime.consoleAPICalled" and p.get("type") == "error":
                errors.append(" ".join(str(a.get("value", a.get("description"))) for a in p["args"]))
            elif e.get("method") == "Log.entryAdded" and p["entry"]["level"] == "error":
                errors.append(p["entry"]["text"])
        return errors


def rgb_of_png(data):
    """Rows of RGB bytes of an 8-bit RGB or RGBA PNG, top row first."""
    pos, chunks, width, height, channels = 8, b"", 0, 0, 0
    while pos < len(data):
        size, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + size]
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", body[:10])
            if depth != 8 or colour not in (2, 6):
                raise ValueError("PNG of depth %d, colour type %d" % (depth, colour))
            channels = 3 if colour == 2 else 4
        elif kind == b"IDAT":
            chunks += body
        pos += 12 + size
    raw, stride, rows, prior = zlib.decompress(chunks), width * channels, [], bytearray(width * channels)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for x in range(stride):
            a = line[x - channels] if x >= channels else 0
            b, c = prior[x], prior[x - channels] if x >= channels else 0
            if kind == 1:
                line[x] = (line[x] + a) & 255
            elif kind == 2:
                line[x] = (line[x] + b) & 255
            elif kind == 3:
                line[x] = (line[x] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[x] = (line[x] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(bytes(v for i, v in enumerate(line) if i % channels < 3))
        prior = line
    return width, height, rows


def mean_difference(a_rows, b_rows):
    total = sum(abs(p - q) for ra, rb in zip(a_rows, b_rows) for p, q in zip(ra, rb))
    return total / (WIDTH * HEIGHT * 3)


def start_chromium(profile):
    process = subprocess.Popen(
        [CHROMIUM, "--headless=new", "--no-sandbox", "--use-angle=swiftshader",
         "--enable-unsafe-swiftshader", "--disable-gpu-sandbox", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync",
         "--disable-quic", "--autoplay-policy=user-gesture-required",
         "--user-data-dir=" + profile, "--remote-debugging-port=0",
         "--remote-debugging-address=127.0.0.1", "--window-size=1200,400", "about:blank"],
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    port_file = os.path.join(profile, "DevToolsActivePort")
    for _ in range(300):
        if os.path.exists(port_file) and open(port_file).read().strip():
            port = open(port_file).read().split()[0]
            targets = json.load(urllib.request.urlopen("http://127.0.0.1:%s/json/list" % port))
            page = next(t for t in targets if t["type"] == "page")
            return process, DevTools(page["webSocketDebuggerUrl"])
        time.sleep(0.1)
    process.kill()
    raise RuntimeError("chromium did not open its DevTools port")


def open_page(tab, url):
    tab.events.clear()
    tab.call("Page.navigate", url=url)


def variant(folder, work, name, change):
    """A copy of `folder` (links) in which the file `name` is "missing",
    "empty" or "cut" to half its size."""
    copy = tempfile.mkdtemp(dir=work)
    for entry in os.listdir(folder):
        source = os.path.abspath(os.path.join(folder, entry))
        if entry != name:
            os.symlink(source, os.path.join(copy, entry))
        elif change != "missing":
            data = open(source, "rb").read()
            with open(os.path.join(copy, entry), "wb") as out:
                out.write(b"" if change == "empty" else data[:len(data) // 2])
    return copy


def screenshot(tab, selector=None):
    """Rows of RGB of the element `selector`, or of the still's corner."""
    clip = {"x": 0, "y": 0, "width": WIDTH, "height": HEIGHT}
    if selector:
        clip = tab.evaluate("(() => { const r = document.querySelector('%s')"
                            ".getBoundingClientRect(); return {x: r.x, y: r.y, width: r.width,"
                            " height: r.height}; })()" % selector)
    shot = tab.call("Page.captureScreenshot", format="png", clip=dict(clip, scale=1))
    return rgb_of_png(base64.b64decode(shot["data"]))


# The page at still times and with bad addresses or broken files. Each row:
# a file of the page's folder that is missing, empty or cut (or none), the
# address's query, the state the page must reach, a text its one line must
# hold (None: no line), and the demo-capture still its frame must match
# (None: not compared). The media are fetched by the page and read by the
# capture, so a changed media file is changed for both.
CASES = [(None, "t=%g&still" % t, "still", None, t) for t in STILL_TIMES] + [
    (None, "t=nan&still", "still", "t=nan is not a time", 0),
    (None, "t=abc&still", "still", "t=abc is not a time", 0),
    (None, "t=5abc&still", "still", "t=5abc is not a time", 0),
    (None, "t=0x40&still", "still", "t=0x40 is not a time", 0),
    (None, "t=-1&still", "still", None, 0),
    # A picture that fails leaves its layer empty, as on the desktop.
    (("oldschool.png", "missing"), "t=25&still", "still", '"oldschool.png"', 25),
    (("demo.js", "empty"), "", "failed", '"demo.js"', None),
    (("demo.wasm", "missing"), "", "failed", '"demo.wasm"', None),
    (("demo.wasm", "cut"), "", "failed", '"demo.wasm"', None),
]


def check_cases(tab, page, capture, media, work):
    failures = []
    for change, query, state, line, still in CASES:
        folder, media_folder = page, media
        if change:
            folder = variant(page, work, *change)
            if os.path.exists(os.path.join(media, change[0])):
                media_folder = variant(media, work, *change)
        server, address = serve.start(folder)
        try:
            open_page(tab, "%sindex.html?%s" % (address, query))
            reached = tab.wait_for_state([state, "failed"] if state != "failed" else [state], 20)
            shown = message(tab)
            what = "%s%s" % (query or "index.html", " with %s %s" % change[::-1] if change else "")
            difference = 0
            if still is not None and reached == "still":
                reference = os.path.join(work, "reference.png")
                subprocess.run([capture, "--media", media_folder, "--still", str(still), reference],
                               check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                _, _, reference_rows = rgb_of_png(open(reference, "rb").read())
                difference = mean_difference(screenshot(tab)[2], reference_rows)
            errors = [e for e in tab.console_errors()
                      if not (line and line in e) and "status of 404" not in e]
            print("%-32s %-7s mean difference %.3f/255, line %r" % (what, reached, difference, shown))
            if (reached != state or (line or "") not in (shown or "") or bool(line) != bool(shown)
                    or difference >= MAX_MEAN_DIFFERENCE or (state != "failed" and errors)):
                failures.append("%s: %s, line %r, difference %.2f, errors %s"
                                % (what, reached, shown, difference, errors))
        finally:
            server.shutdown()
    return failures


def click(tab, selector):
    x, y = tab.evaluate("(() => { const r = document.querySelector('%s').getBoundingClientRect();"
                        " return [r.x + r.width / 2, r.y + r.height / 2]; })()" % selector)
    for kind in ("mousePressed", "mouseReleased"):
        tab.call("Input.dispatchMouseEvent", type=kind, x=x, y=y, button="left", clickCount=1)


KEYS = {"Space": (" ", 32), "Escape": ("Escape", 27), "KeyF": ("f", 70),
        "ArrowRight": ("ArrowRight", 39)}


def press(tab, code):
    key, number = KEYS[code]
    for kind in ("rawKeyDown", "keyUp"):
        tab.call("Input.dispatchKeyEvent", type=kind, key=key, code=code,
                 windowsVirtualKeyCode=number)


def drag(tab, fractions):
    """Presses the mouse on the seek bar at the first of `fractions` of its
    width, moves it through the others and lets go at the last."""
    x, y, width = tab.evaluate("(() => { const r = document.getElementById('seek')"
                               ".getBoundingClientRect(); return [r.x, r.y + r.height / 2,"
                               " r.width]; })()")
    for i, f in enumerate(fractions):
        kind = "mousePressed" if i == 0 else "mouseMoved"
        tab.call("Input.dispatchMouseEvent", type=kind, x=x + f * width, y=y, button="left",
                 buttons=1, clickCount=1)
        time.sleep(0.2)
    tab.call("Input.dispatchMouseEvent", type="mouseReleased", x=x + fractions[-1] * width, y=y,
             button="left", clickCount=1)


def message(tab):
    return tab.evaluate("document.getElementById('message').hidden ? '' : "
                        "document.getElementById('message').textContent")


def start(tab, address, query=""):
    open_page(tab, address + "index.html" + query)
    if tab.wait_for_state(["ready", "failed"]) != "ready":
        raise RuntimeError("the page failed: %s" % tab.evaluate("document.body.dataset.error"))
    click(tab, "#start")
    tab.wait_for_state(["playing"], 10)


# Links that stop part way, one file fetched by the module and one by the
# page: the file and the bytes sent before nothing more comes. The page must
# fail naming the file 15 s after the last byte, and offer to load again;
# the first row also retries once the link is back.
STALLS = [("music.ogg", 100000), ("demo.wasm", 100000)]


def check_links(tab, page):
    """Stalled files, and the music arriving slowly while play was clicked
    in the loading: the music must start with the picture, at its time."""
    failures = []
    for name, sent in STALLS:
        server, address = throttle.start(page, {name: ("stall", sent)})
        try:
            open_page(tab, address + "index.html")
            reached = tab.wait_for_state(["failed", "ready"], 40)
            shown = message(tab)
            retry = tab.evaluate("(b => Boolean(b && !b.hidden))(document.getElementById('retry'))")
            what = "%s stalled after %d bytes: %s, line %r, retry offered: %s" % (
                name, sent, reached, shown, retry)
            print(what)
            if reached != "failed" or '"%s"' % name not in shown or not retry:
                failures.append(what)
            elif name == STALLS[0][0]:
                server.released.set()
                click(tab, "#retry")
                time.sleep(1)
                again = tab.wait_for_state(["ready", "failed"], 30)
                print("retried with the link back: %s" % again)
                if again != "ready":
                    failures.append("retry after a stall: %s" % again)
        finally:
            server.shutdown()
    # The music takes about 8 s to come, longer than a click lets a page
    # start sound without another one.
    size = os.path.getsize(os.path.join(page, "music.ogg"))
    server, address = throttle.start(page, {"music.ogg": ("rate", size // 8)})
    try:
        open_page(tab, address + "index.html?t=50")
        tab.wait_for_state(["loading"], 10)
        time.sleep(0.5)
        clicked_in = tab.evaluate("document.body.dataset.state")
        click(tab, "#start")
        reached = tab.wait_for_state(["playing", "failed"], 40)
        time.sleep(2)
        at = tab.evaluate("Module._demoSeconds()")
        paused = tab.evaluate("!SDL.music.audio || SDL.music.audio.paused")
        off, errors = lag(tab), tab.console_errors()
        what = ("play clicked while %s, music slow: %s at %s s, music paused: %s, %s s off the "
                "music, errors %s" % (clicked_in, reached, at, paused, off, errors))
        print(what)
        if (clicked_in != "loading" or reached != "playing" or not 50 <= at < 56 or paused
                or off is None or not abs(off) < 0.05 or errors):
            failures.append(what)
    finally:
        server.shutdown()
    return failures


# Ways past the end of the bar from a run at 125 s: a drag (fractions of the
# bar's width, let go at the last) or a key; whether the run is paused first;
# the state after, and for a run that plays on, the least time it must show.
PAST_THE_END = [
    ([0.9, 1.0, 0.5], False, "playing", 60),
    ([0.9, 1.0], False, "ended", None),
    ("ArrowRight", True, "ended", None),
]


def check_past_the_end(tab, address):
    failures = []
    for way, pause, state, least in PAST_THE_END:
        start(tab, address, "?t=125")
        time.sleep(1)
        if pause:
            press(tab, "Space")
        if isinstance(way, str):
            press(tab, way)
        else:
            drag(tab, way)
        time.sleep(0.3)
        let_go = float(tab.evaluate("document.getElementById('seek').value"))
        time.sleep(1.5)
        now = float(tab.evaluate("document.getElementById('seek').value"))
        reached, again = tab.evaluate("[document.body.dataset.state,"
                                      " !document.getElementById('again').hidden]")
        off = lag(tab) if state == "playing" else 0
        what = "%s%s from 125 s: %s at %.3f then %.3f, play again shown: %s, %s s off the music" % (
            "paused, " if pause else "", way, reached, let_go, now, again, off)
        print(what)
        if (reached != state or again != (state == "ended")
                or (least is not None and not (least <= let_go < now < 90 and abs(off) < 0.05))):
            failures.append(what)
    # The start time in the poster's "from m:ss", under the bar and in the bar.
    open_page(tab, address + "index.html?t=129.999")
    tab.wait_for_state(["ready", "failed"])
    labels = tab.evaluate("[document.getElementById('length').textContent.split('from ')[1],"
                          " document.getElementById('time').textContent.split(' ')[0],"
                          " Number(document.getElementById('seek').value)]")
    labels[2] = "%d:%02d" % divmod(int(labels[2]), 60)
    print("t=129.999: poster from %s, time %s, bar %s" % tuple(labels))
    if len(set(labels)) != 1:
        failures.append("t=129.999: poster from %s, time %s, bar at %s" % tuple(labels))
    return failures


def axe_source(cache):
    """axe-core's script, installed from npm into `cache` when missing; None
    with the reason printed when it cannot be had."""
    script = os.path.join(cache, "node_modules", "axe-core", "axe.min.js")
    if not os.path.exists(script):
        try:
            subprocess.run(["npm", "install", "--no-audit", "--no-fund", "--prefix", cache,
                            "axe-core@4"], check=True, timeout=120,
                           stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        except (OSError, subprocess.SubprocessError) as e:
            print("skipped the accessibility check: cannot install axe-core with npm (%s)" % e)
            return None
    return open(script).read()


def axe_violations(tab, source, moment):
    """The page's violations of WCAG 2.1 levels A and AA, as axe-core finds them."""
    tab.evaluate(source)
    found = tab.call("Runtime.evaluate", awaitPromise=True, returnByValue=True, expression=(
        "axe.run(document, {runOnly: ['wcag2a', 'wcag2aa', 'wcag21a', 'wcag21aa']}).then(r =>"
        " r.violations.map(v => v.id + ': ' + v.nodes.map(n => n.target).join(' ')))"))
    violations = found["result"].get("value", [found])
    print("accessibility (%s): %d violations of level A or AA" % (moment, len(violations)))
    return ["accessibility (%s): %s" % (moment, v) for v in violations]


def lag(tab):
    """The demo clock minus the music's position, read together."""
    return tab.evaluate("Module._demoSeconds() - (SDL.music.audio ? SDL.music.audio.currentTime"
                        " : NaN)")


def check_cover_and_pictures(tab, address):
    """The title and the play button leave the poster's middle third, where
    its logo stands, clear; a strip shown 1920 device pixels wide or more is
    drawn at twice the window's size with the pictures of 2x/, a narrower one
    with the others."""
    failures = []
    for scale, large in ((1, False), (2, True)):
        tab.call("Emulation.setDeviceMetricsOverride", width=1200, height=400,
                 deviceScaleFactor=scale, mobile=False)
        open_page(tab, address + "index.html")
        state = tab.wait_for_state(["ready", "failed"])
        seen = tab.evaluate(
            "(() => { const s = document.getElementById('strip').getBoundingClientRect();"
            " const box = (id) => { const r = document.getElementById(id).getBoundingClientRect();"
            " return [(r.left - s.left) / s.width, (r.right - s.left) / s.width]; };"
            " return {title: box('title'), play: box('actions'),"
            " width: document.getElementById('canvas').width,"
            " large: performance.getEntriesByType('resource')"
            ".filter((e) => e.name.includes('/2x/')).length}; })()")
        print("cover at %gx: title %.2f-%.2f, play %.2f-%.2f of the strip; canvas %d wide, %d"
              " large pictures" % (scale, *seen["title"], *seen["play"], seen["width"],
                                   seen["large"]))
        if seen["title"][1] > 1 / 3 or seen["play"][0] < 2 / 3:
            failures.append("cover at %gx: the title or play button over the middle: %s"
                            % (scale, seen))
        if state != "ready" or (seen["width"] == 1920) != large or (seen["large"] > 0) != large:
            failures.append("strip at %gx: state %s, canvas %d wide, %d large pictures fetched"
                            % (scale, state, seen["width"], seen["large"]))
    tab.call("Emulation.setDeviceMetricsOverride", width=1200, height=400,
             deviceScaleFactor=1, mobile=False)
    return failures


def check_player(tab, address, axe):
    """The poster, the transport and the music following it, a stop at the
    music's start, "play again", and no console error on the way."""
    failures = []
    open_page(tab, address + "index.html?t=100")
    tab.wait_for_state(["ready", "failed"])
    _, _, poster = screenshot(tab, "#strip")
    brightness = statistics.mean(v for row in poster for v in row)
    cover = tab.evaluate("document.getElementById('cover').innerText")
    print("poster: mean brightness %.1f/255, reads %r" % (brightness, " ".join(cover.split())))
    if brightness < 10 or "2:10" not in cover:
        failures.append("poster: brightness %.1f, text %r" % (brightness, cover))
    if axe:
        failures += axe_violations(tab, axe, "poster")
    click(tab, "#start")
    time.sleep(4)
    value = lambda: float(tab.evaluate("document.getElementById('seek').value"))  # noqa: E731
    at_start = value()
    press(tab, "Space")
    paused = value()
    time.sleep(1.5)
    still_paused, music_paused = value(), tab.evaluate("SDL.music.audio.paused")
    press(tab, "Space")
    time.sleep(1)
    resumed = value()
    print("t=100, 4 s after the click: %.3f; paused %.3f, %.3f after 1.5 s (music paused: %s); "
          "resumed %.3f" % (at_start, paused, still_paused, music_paused, resumed))
    if not (100 <= at_start <= 106 and abs(still_paused - paused) <= 0.05 and music_paused
            and resumed > still_paused + 0.5):
        failures.append("transport: %.3f, paused %.3f then %.3f (music paused: %s), resumed %.3f"
                        % (at_start, paused, still_paused, music_paused, resumed))
    # A jump by the range input: the picture and the music land together.
    tab.evaluate("(() => { const s = document.getElementById('seek'); s.value = 30;"
                 " s.dispatchEvent(new Event('input')); s.dispatchEvent(new Event('change')); })()")
    time.sleep(1.5)
    after_seek, off = value(), lag(tab)
    print("seek to 30 s: %.3f after 1.5 s, demo clock minus music position %.3f s" % (after_seek, off))
    if not (30 < after_seek < 32.5 and off is not None and abs(off) < 0.05):
        failures.append("seek to 30 s: at %.3f, %s s off the music" % (after_seek, off))
    # F: the strip at the screen's width; Esc leaves full screen, not the run.
    press(tab, "KeyF")
    time.sleep(0.5)
    full = tab.evaluate("[document.fullscreenElement && document.fullscreenElement.id,"
                        " document.getElementById('canvas').clientWidth, innerWidth]")
    press(tab, "Escape")
    time.sleep(0.5)
    left = tab.evaluate("[document.fullscreenElement, document.body.dataset.state]")
    print("full screen: %s, then after Esc %s" % (full, left))
    if full[0] != "player" or full[1] != full[2] or left != [None, "playing"]:
        failures.append("full screen: %s, then after Esc %s" % (full, left))
    # Paused, the link to the moment shown starts there.
    press(tab, "Space")
    click(tab, "#share")
    link, moment = tab.evaluate("document.getElementById('shared').textContent"), value()
    print("link at %.3f s: %r" % (moment, link))
    linked = urllib.parse.parse_qs(urllib.parse.urlsplit(link.split()[-1]).query).get("t", ["-1"])
    if not abs(float(linked[0]) - moment) <= 0.05:
        failures.append("link at %.3f s: %r" % (moment, link))
    tab.evaluate("document.getElementById('seek').focus()")
    if axe:
        failures += axe_violations(tab, axe, "paused, controls shown")
    # "play again" replays the one music stream from its start instead of
    # opening another copy of it.
    press(tab, "Escape")
    tab.wait_for_state(["ended"], 5)
    click(tab, "#again")
    time.sleep(1.5)
    streams = tab.evaluate("SDL.audios.filter(Boolean).length")
    position, off = tab.evaluate("SDL.music.audio ? SDL.music.audio.currentTime : -1"), lag(tab)
    print("played again: %s music stream(s), at %s s, %.3f s off the music" % (streams, position, off))
    if streams != 1 or position is None or not 0 <= position < 3 or not abs(off) < 0.05:
        failures.append("play again: %s music streams, at %s s, %s s off" % (streams, position, off))
    if tab.console_errors():
        failures.append("console errors while playing: %s" % tab.console_errors())
    # Esc while the music is still starting ends the run without an error.
    start(tab, address)
    time.sleep(0.1)
    press(tab, "Escape")
    time.sleep(1)
    state, shown = tab.evaluate("document.body.dataset.state"), message(tab)
    print("Esc 0.1 s after the click: %s, line %r" % (state, shown))
    if state != "ended" or shown or tab.console_errors():
        failures.append("Esc at the start: %s, line %r, errors %s"
                        % (state, shown, tab.console_errors()))
    return failures


def fps_run(tab, address, bench, media):
    """The whole run in the page: frames in every second of the demo and the
    module's own share of a frame (its step: the layers and the WebGL calls
    they make), beside demo-bench's native frame times at mid-second."""
    start(tab, address)
    tab.evaluate("(() => { window.frameLog = []; const step = Browser.mainLoop.runIter;"
                 " Browser.mainLoop.runIter = function (f) { const t = performance.now();"
                 " step.call(this, f); frameLog.push([Module._demoSeconds(), performance.now() - t]);"
                 " }; })()")
    tab.wait_for_state(["ended"], 160)
    seconds = [[] for _ in range(130)]
    for t, ms in tab.evaluate("frameLog"):
        if 0 <= t < 130:
            seconds[int(t)].append(ms)
    times = ",".join("%g" % (s + 0.5) for s in range(130))
    table = subprocess.run([bench, "--media", media, "--times", times, "--reps", "3", "--no-startup",
                            "--no-capture", "--no-whole-capture"], check=True,
                           stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True).stdout
    native = {}
    for row in table.splitlines():
        fields = row.split()
        if len(fields) == 6 and fields[0].replace(".", "").isdigit():
            native[int(float(fields[0]))] = float(fields[1])
    print("second  page fps  page step ms  native ms")
    for s, steps in enumerate(seconds):
        print("%6d %9d %13.2f %10.2f" % (s, len(steps), statistics.median(steps or [0]),
                                        native.get(s, float("nan"))))
    counts = [len(steps) for steps in seconds]
    worst = min(range(130), key=lambda s: counts[s])
    print("page: median %g frames/s, worst %d frames/s at %d s; native: median %.2f ms, worst "
          "%.2f ms" % (statistics.median(counts), counts[worst], worst,
                       statistics.median(native.values()), max(native.values())))
    return 0


def main():
    args = [a for a in sys.argv[1:] if a != "--fps-run"]
    if len(args) != 3 + ("--fps-run" in sys.argv):
        sys.exit(__doc__)
    page, capture, media = args[:3]
    if not os.path.exists(os.path.join(page, "index.html")):
        print("skipped: no page in %s (make web builds it)" % page)
        return SKIP
    if not os.access(CHROMIUM, os.X_OK):
        print("skipped: no browser at %s (scripts/install-deps.sh installs it)" % CHROMIUM)
        return SKIP
    work = tempfile.mkdtemp(prefix="browser_test_")
    server, address = serve.start(page)
    process, tab = start_chromium(os.path.join(work, "profile"))
    try:
        for domain in ("Runtime", "Log", "Page"):
            tab.call(domain + ".enable")
        tab.call("Emulation.setDeviceMetricsOverride", width=1200, height=400,
                 deviceScaleFactor=1, mobile=False)
        if "--fps-run" in sys.argv:
            return fps_run(tab, address, args[3], media)
        axe = axe_source(os.path.join(os.path.dirname(os.path.abspath(page)), "axe"))
        failures = (check_cases(tab, page, capture, media, work)
                    + check_cover_and_pictures(tab, address) + check_player(tab, address, axe)
                    + check_past_the_end(tab, address) + check_links(tab, page))
        for f in failures:
            print("FAILED: " + f)
        return 1 if failures else 0
    finally:
        process.kill()
        process.wait()
        server.shutdown()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
