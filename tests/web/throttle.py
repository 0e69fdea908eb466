"""The page's server with one file held back: sent in part and then nothing
(a stalled link) or sent at a given rate (a slow one)."""
import os
import threading
import time
import urllib.parse

import serve


class Handler(serve.Handler):
    def copyfile(self, source, outputfile):
        name = os.path.basename(urllib.parse.urlsplit(self.path).path)
        rule = self.server.rules.get(name)
        if rule is None:
            return super().copyfile(source, outputfile)
        kind, amount = rule
        if kind == "stall":
            outputfile.write(source.read(amount))
            outputfile.flush()
            # The connection stays open without another byte until the test
            # lets the file through (or ends).
            self.server.released.wait()
            return super().copyfile(source, outputfile)
        while True:
            chunk = source.read(amount // 10)
            if not chunk:
                return None
            outputfile.write(chunk)
            outputfile.flush()
            time.sleep(0.1)


def start(folder, rules):
    """Serves `folder` with each file named in `rules` held back by its rule:
    ("stall", bytes sent first) or ("rate", bytes a second).
    server.released.set() lets stalled files through; shutdown() does too."""
    server, address = serve.start(folder, handler=Handler)
    server.rules = rules
    server.released = threading.Event()
    shutdown = server.shutdown
    server.shutdown = lambda: (server.released.set(), shutdown())
    return server, address
