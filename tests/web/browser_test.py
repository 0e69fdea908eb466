#!/usr/bin/env python3
"""The web page in headless Chromium with software WebGL: still frames against
demo-capture's, and a played run that advances without script errors.

usage: browser_test.py PAGE_DIR DEMO_CAPTURE MEDIA_DIR [--fps SECONDS]
Exits 77 (skipped) when the page or the browser is missing. With --fps it
only plays the page for SECONDS and prints its frame rate."""
import base64
import json
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
        return self.call("Runtime.evaluate", expression=expression,
                         returnByValue=True)["result"].get("value")

    def wait_for_state(self, states, seconds=60):
        deadline = time.time() + seconds
        while time.time() < deadline:
            state = self.evaluate("document.body.dataset.state")
            if state in states:
                return state
            time.sleep(0.1)
        raise RuntimeError("the page stayed %r, waiting for %s" % (state, states))

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
         "--disable-quic", "--user-data-dir=" + profile, "--remote-debugging-port=0",
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


def without(folder, missing, work):
    """A copy of `folder` (links) that lacks the file `missing`."""
    copy = tempfile.mkdtemp(dir=work)
    for name in os.listdir(folder):
        if name != missing:
            os.symlink(os.path.abspath(os.path.join(folder, name)), os.path.join(copy, name))
    return copy


def check_stills(tab, address, capture, media, work, times=STILL_TIMES, expected_error=None):
    """Each still of the page against demo-capture's; `expected_error` is a
    text the page's one error line must hold (no error line when None)."""
    failures = []
    for t in times:
        reference = os.path.join(work, "reference_%g.png" % t)
        subprocess.run([capture, "--media", media, "--still", str(t), reference], check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        open_page(tab, "%sindex.html?t=%g&still" % (address, t))
        tab.wait_for_state(["still", "failed"])
        shot = tab.call("Page.captureScreenshot", format="png",
                        clip={"x": 0, "y": 0, "width": WIDTH, "height": HEIGHT, "scale": 1})
        width, height, page_rows = rgb_of_png(base64.b64decode(shot["data"]))
        _, _, reference_rows = rgb_of_png(open(reference, "rb").read())
        difference = mean_difference(page_rows, reference_rows)
        print("still %5g s: %dx%d, mean difference %.3f/255" % (t, width, height, difference))
        errors = tab.console_errors()
        if expected_error:
            shown = tab.evaluate("document.getElementById('message').textContent") or ""
            if expected_error not in shown:
                failures.append("still %g s: the page shows %r, not %r" % (t, shown, expected_error))
            errors = [e for e in errors if expected_error not in e and "status of 404" not in e]
        if (width, height) != (WIDTH, HEIGHT) or difference >= MAX_MEAN_DIFFERENCE or errors:
            failures.append("still %g s: %dx%d, mean difference %.2f/255, errors %s"
                            % (t, width, height, difference, errors))
    return failures


def play(tab, address, seconds):
    """Clicks the start screen; returns (frames, demo seconds) after `seconds`."""
    open_page(tab, address + "index.html")
    if tab.wait_for_state(["ready", "failed"]) != "ready":
        raise RuntimeError("the page failed: %s" % tab.evaluate("document.body.dataset.error"))
    for kind in ("mousePressed", "mouseReleased"):
        tab.call("Input.dispatchMouseEvent", type=kind, x=600, y=200, button="left", clickCount=1)
    tab.wait_for_state(["playing"], 10)
    time.sleep(seconds)
    return tab.evaluate("Module._demoFrames()"), tab.evaluate("Module._demoSeconds()")


def main():
    args = [a for a in sys.argv[1:] if a != "--fps"]
    fps_seconds = float(args.pop()) if "--fps" in sys.argv else None
    if len(args) != 3:
        sys.exit(__doc__)
    page, capture, media = args
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
        if fps_seconds:
            frames, demo_seconds = play(tab, address, fps_seconds)
            print("%.1f frames/s in headless Chromium (%d frames, %.1f s of the demo)"
                  % (frames / demo_seconds, frames, demo_seconds))
            return 0
        failures = check_stills(tab, address, capture, media, work)
        # A picture that fails leaves its layer empty, as on the desktop, and
        # the page says so in its one line.
        missing = "oldschool.png"
        server_without, address_without = serve.start(without(page, missing, work))
        failures += check_stills(tab, address_without, capture, without(media, missing, work),
                                 work, [25], '"%s"' % missing)
        server_without.shutdown()
        frames, demo_seconds = play(tab, address, 3)
        # The picture follows the music: the demo clock and the music's
        # position, read together, agree within a few frames.
        lag = tab.evaluate("Module._demoSeconds() - (SDL.music.audio ? "
                           "SDL.music.audio.currentTime : NaN)")
        print("demo clock minus music position: %.3f s" % lag)
        if lag is None or not abs(lag) < 0.05:
            failures.append("the demo clock is %s s off the music" % lag)
        time.sleep(1)
        later_frames, later_seconds = tab.evaluate("Module._demoFrames()"), tab.evaluate(
            "Module._demoSeconds()")
        print("played: %d frames in %.2f s of the demo, %d after one more second"
              % (frames, demo_seconds, later_frames))
        if not (frames > 0 and later_frames > frames and later_seconds > demo_seconds):
            failures.append("the played page did not advance: %d then %d frames"
                            % (frames, later_frames))
        # "play again" replays the one music stream from its start instead
        # of opening another copy of it.
        tab.evaluate("Module._demoPlay()")
        time.sleep(1)
        streams = tab.evaluate("SDL.audios.filter(Boolean).length")
        position = tab.evaluate("SDL.music.audio ? SDL.music.audio.currentTime : -1")
        print("played again: %s music stream(s), at %s s" % (streams, position))
        if streams != 1 or position is None or not 0 <= position < 3:
            failures.append("play again: %s music streams, at %s s" % (streams, position))
        if tab.console_errors():
            failures.append("console errors while playing: %s" % tab.console_errors())
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
