#!/usr/bin/env python3
"""Serves the page's folder on 127.0.0.1 and prints its address."""
import errno
import functools
import http.server
import os
import sys
import threading

# A connection that sends nothing for this long is closed, so idle clients
# cannot hold a thread each for ever.
IDLE_SECONDS = 10


class Handler(http.server.SimpleHTTPRequestHandler):
    # The browser compiles the module while it downloads only when it comes
    # as application/wasm.
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map,
                      ".wasm": "application/wasm", ".js": "text/javascript"}
    timeout = IDLE_SECONDS

    def send_head(self):
        # A path that the file system refuses outright (a NUL byte, a name
        # too long) is a request for something that is not there.
        try:
            return super().send_head()
        except (ValueError, OSError):
            self.send_error(404, "File not found")
            return None

    def log_message(self, *args):
        pass


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def handle_error(self, request, client_address):
        # A client that hangs up or goes quiet ends its own connection; the
        # server goes on without a traceback.
        pass


def start(folder, port=0, handler=Handler):
    """Serves `folder` from a background thread; returns the server and its address."""
    server = Server(("127.0.0.1", port), functools.partial(handler, directory=folder))
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server, "http://127.0.0.1:%d/" % server.server_address[1]


def refuse(message):
    print("serve.py: " + message, file=sys.stderr)
    sys.exit(2)


def main(argv):
    if len(argv) not in (2, 3):
        refuse("usage: serve.py FOLDER [PORT]")
    folder = argv[1]
    if not os.path.isdir(folder):
        refuse('cannot serve "%s": not a folder' % folder)
    port = 8000
    if len(argv) == 3:
        if not argv[2].isdigit() or not 0 <= int(argv[2]) <= 65535:
            refuse('the port "%s" is not a whole number from 0 to 65535' % argv[2])
        port = int(argv[2])
    try:
        server, address = start(folder, port)
    except OSError as e:
        reason = "the port is in use" if e.errno == errno.EADDRINUSE else e.strerror
        refuse("cannot listen on 127.0.0.1:%d: %s" % (port, reason))
    print("serving the presentation at %sindex.html (Ctrl-C ends)" % address, flush=True)
    try:
        threading.Event().wait()
    except KeyboardInterrupt:
        server.shutdown()


if __name__ == "__main__":
    main(sys.argv)
