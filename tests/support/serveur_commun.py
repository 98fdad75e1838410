"""What the scripted test servers share: their output lines and their loop."""

import os
import signal
import socketserver
import threading

_LOCK = threading.Lock()


def say(line):
    """One line on standard output, whole, for the test that reads it."""
    with _LOCK:
        print(line, flush=True)


class _Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True


def serve(handler, service):
    """Serves handler on 127.0.0.1 (a port the system chooses) until SIGTERM,
    after "LISTEN <service> <port>" and "READY"."""
    server = _Server(("127.0.0.1", 0), handler)
    signal.signal(signal.SIGTERM, lambda *_: os._exit(0))
    say("LISTEN %s %d" % (service, server.server_address[1]))
    say("READY")
    server.serve_forever()
