#!/usr/bin/env python3
"""Redraws the pictures that README.md and docs/ show, from the real programs.

docs-pictures.py BUILD CLIPS FPS MAX_BYTES: the animated preview (a montage
of CLIPS, as demo-capture's --clips takes them, at FPS frames a second and at
most MAX_BYTES) and the storyboard of the timeline's storyboard frames from
BUILD/demo-capture, the studio panel from BUILD/studio-panel.png (written by
the studio test), and the web page's start screen from BUILD/web in headless
Chromium. Each picture is reduced to one 256-colour palette by ffmpeg so the
repository stays small, written under a temporary name in docs/ and renamed
into place once complete.
"""
import base64
import os
import shutil
import signal
import subprocess
import sys
import tempfile

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
DOCS = os.path.join(ROOT, "docs")
sys.path.insert(0, os.path.join(ROOT, "tests", "web"))


def run(command):
    print("  " + " ".join(command))
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL)


def install(made, name):
    """Renames a finished picture into docs/ and says how large it is."""
    target = os.path.join(DOCS, name)
    os.replace(made, target)
    print("wrote docs/%s (%d KB)" % (name, os.path.getsize(target) // 1024))


def palette_png(source, work, name):
    """`source` as a PNG with one palette of its own colours, into docs/NAME."""
    made = os.path.join(work, name)
    run(["ffmpeg", "-v", "error", "-y", "-i", source, "-vf",
         "split[a][b];[a]palettegen=stats_mode=single[p];[b][p]paletteuse=dither=none",
         "-frames:v", "1", made])
    install(made, name)


def page_picture(web, work):
    """The page's start screen: the poster with the title and play button."""
    import browser_test
    import serve
    server, address = serve.start(web)
    process, tab = browser_test.start_chromium(os.path.join(work, "profile"))
    try:
        for domain in ("Runtime", "Page"):
            tab.call(domain + ".enable")
        tab.call("Emulation.setDeviceMetricsOverride", width=960, height=300,
                 deviceScaleFactor=1, mobile=False)
        browser_test.open_page(tab, address + "index.html")
        state = tab.wait_for_state(["ready", "failed"])
        if state != "ready":
            raise RuntimeError("the page in %s did not get ready (state %s)" % (web, state))
        clip = tab.evaluate("(() => { const r = document.getElementById('player')"
                            ".getBoundingClientRect(); return {x: r.x, y: r.y, width: r.width,"
                            " height: r.height, scale: 1}; })()")
        shot = tab.call("Page.captureScreenshot", format="png", clip=clip)
    finally:
        process.kill()
        process.wait()
        server.shutdown()
    raw = os.path.join(work, "page-raw.png")
    with open(raw, "wb") as f:
        f.write(base64.b64decode(shot["data"]))
    palette_png(raw, work, "page.png")


def main():
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    # A stop signal unwinds like Ctrl-C: the running child is killed and the
    # temporary folder removed, leaving docs/ as it was.
    for number in (signal.SIGTERM, signal.SIGHUP):
        signal.signal(number, lambda received, frame: sys.exit(128 + received))
    build = os.path.abspath(sys.argv[1])
    clips, fps, max_bytes = sys.argv[2], sys.argv[3], int(sys.argv[4])
    capture = [os.path.join(build, "demo-capture"), "--media", os.path.join(build, "media")]
    work = tempfile.mkdtemp(prefix=".pictures-", dir=DOCS)
    try:
        # The same montage as make capture's preview, at the strip's full width.
        made = os.path.join(work, "preview.gif")
        run(capture + ["--gif", made, "--clips", clips, "--fps", fps, "--size", "960x89"])
        if os.path.getsize(made) > max_bytes:
            sys.exit("the preview is %d bytes, more than %d" % (os.path.getsize(made), max_bytes))
        install(made, "preview.gif")

        board = os.path.join(work, "storyboard-full.png")
        run(capture + ["--sheet", board, "--times", "storyboard", "--size", "320x30",
                       "--columns", "3"])
        palette_png(board, work, "storyboard.png")

        panel = os.path.join(build, "studio-panel.png")
        if not os.path.exists(panel):
            sys.exit("no %s: the studio test writes it (ctest -R studio_test)" % panel)
        palette_png(panel, work, "studio-panel.png")

        web = os.path.join(build, "web")
        if not os.path.exists(os.path.join(web, "index.html")):
            sys.exit("no page in %s: make web builds it" % web)
        page_picture(web, work)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
