#!/usr/bin/env python3
"""The page's server: bad arguments and a busy port give one line and exit 2,
odd requests get an answer and no traceback, idle connections are closed."""
import os
import socket
import subprocess
import sys
import tempfile
import time
import unittest

SERVE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "web",
                     "serve.py")
sys.path.insert(0, os.path.dirname(SERVE))
import serve  # noqa: E402


def run(*args):
    return subprocess.run([sys.executable, SERVE, *args], capture_output=True, text=True,
                          timeout=20)


class Arguments(unittest.TestCase):
    def test_refusals(self):
        with tempfile.TemporaryDirectory() as folder, socket.socket() as busy:
            busy.bind(("127.0.0.1", 0))
            busy.listen()
            cases = [
                ((), "usage"),
                ((folder, "abc"), "whole number"),
                ((folder, "80000"), "whole number"),
                ((folder, "-1"), "whole number"),
                ((os.path.join(folder, "none"),), "not a folder"),
                ((folder, str(busy.getsockname()[1])), "in use"),
            ]
            for args, reason in cases:
                with self.subTest(args=args):
                    result = run(*args)
                    self.assertEqual(result.returncode, 2)
                    self.assertEqual(len(result.stderr.splitlines()), 1, result.stderr)
                    self.assertIn(reason, result.stderr)


class Requests(unittest.TestCase):
    def test_odd_requests_and_idle_connections(self):
        with tempfile.TemporaryDirectory() as folder:
            with open(os.path.join(folder, "index.html"), "w") as f:
                f.write("page")
            server = subprocess.Popen([sys.executable, SERVE, folder, "0"],
                                      stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
            try:
                port = int(server.stdout.readline().split(":")[2].split("/")[0])
                for path, status in [("/index.html", b" 200 "), ("/ok/%00", b" 404 "),
                                     ("/" + "a" * 5000, b" 404 "), ("/../../etc/passwd", b" 404 ")]:
                    with self.subTest(path=path), socket.create_connection(("127.0.0.1", port)) as c:
                        c.sendall(b"GET " + path.encode() + b" HTTP/1.0\r\n\r\n")
                        self.assertIn(status, c.recv(200).split(b"\r\n")[0] + b" ")
                # A client that connects and hangs up without a word.
                socket.create_connection(("127.0.0.1", port)).close()
            finally:
                server.terminate()
                _, errors = server.communicate(timeout=10)
            self.assertNotIn("Traceback", errors)

        serve.Handler.timeout = 0.5
        with tempfile.TemporaryDirectory() as folder:
            server, _ = serve.start(folder)
            try:
                with socket.create_connection(server.server_address) as idle:
                    idle.settimeout(5)
                    start = time.monotonic()
                    self.assertEqual(idle.recv(10), b"")
                    self.assertLess(time.monotonic() - start, 4)
            finally:
                server.shutdown()


if __name__ == "__main__":
    unittest.main()
