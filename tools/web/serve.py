#!/usr/bin/env python3
"""Serves the page's folder on 127.0.0.1 and prints its address."""
import functools
import http.server
import sys
import threading


class Handler(http.server.SimpleHTTPRequestHandler):
    # The browser compiles the module while it downloads only when it comes
    # as application/wasm.
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map,
                      ".wasm": "application/wasm", ".js": "text/javascript"}

    def log_message(self, *args):
        pass


def start(folder, port=0):
    """Serves `folder` from a background thread; returns the server and its address."""
    server = http.server.ThreadingHTTPServer(
        ("127.0.0.1", port), functools.partial(Handler, directory=folder))
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server, "http://127.0.0.1:%d/" % server.server_address[1]


if __name__ == "__main__":
    if len(sys.argv) not in (2, 3):
        sys.exit("usage: serve.py FOLDER [PORT]")
    server, address = start(sys.argv[1], int(sys.argv[2]) if len(sys.argv) == 3 else 8000)
    print("serving the presentation at %sindex.html (Ctrl-C ends)" % address, flush=True)
    try:
        threading.Event().wait()
    except KeyboardInterrupt:
        server.shutdown()
