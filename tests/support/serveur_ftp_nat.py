#!/usr/bin/python3
"""An FTP server (pyftpdlib) on 127.0.0.1 that cannot make one kind of data
connection, as an instrument behind NAT or a firewall cannot.

Serves --root to the one account test:secret. Prints "LISTEN ftp <port>",
then "READY", and for every data-connection command it receives
"DATA <command>"; serves until SIGTERM.

--mode no-active    PORT and EPRT are answered 500 (the server refuses to
                    connect back)
--mode active-lost  PORT and EPRT are accepted, but the connection back never
                    reaches the client (425, as through NAT)
--mode no-passive   PASV and EPSV are answered 500
"""

import argparse
import logging
import os
import signal

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


def parse_args():
    p = argparse.ArgumentParser()
    p.add_argument("--root", required=True)
    p.add_argument("--mode", required=True, choices=["no-active", "active-lost", "no-passive"])
    return p.parse_args()


ARGS = parse_args()


def closed_port():
    """A port on 127.0.0.1 that nothing listens on: a connection there fails at once."""
    import socket
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    return port


class Handler(FTPHandler):
    def _refuse(self, command):
        print("DATA %s" % command, flush=True)
        self.respond("500 %s not allowed here." % command)

    def ftp_PORT(self, line):
        if ARGS.mode == "no-active":
            return self._refuse("PORT")
        print("DATA PORT", flush=True)
        if ARGS.mode == "active-lost":
            line = "127,0,0,1,%d,%d" % divmod(closed_port(), 256)
        return FTPHandler.ftp_PORT(self, line)

    def ftp_EPRT(self, line):
        if ARGS.mode == "no-active":
            return self._refuse("EPRT")
        print("DATA EPRT", flush=True)
        if ARGS.mode == "active-lost":
            line = "|1|127.0.0.1|%d|" % closed_port()
        return FTPHandler.ftp_EPRT(self, line)

    def ftp_PASV(self, line):
        if ARGS.mode == "no-passive":
            return self._refuse("PASV")
        print("DATA PASV", flush=True)
        return FTPHandler.ftp_PASV(self, line)

    def ftp_EPSV(self, line):
        if ARGS.mode == "no-passive":
            return self._refuse("EPSV")
        print("DATA EPSV", flush=True)
        return FTPHandler.ftp_EPSV(self, line)


def main():
    logging.basicConfig(level=logging.CRITICAL)
    authorizer = DummyAuthorizer()
    authorizer.add_user("test", "secret", os.path.abspath(ARGS.root), perm="elradfmwMT")
    Handler.authorizer = authorizer
    Handler.auth_failed_timeout = 0
    server = FTPServer(("127.0.0.1", 0), Handler)
    signal.signal(signal.SIGTERM, lambda *_: os._exit(0))
    print("LISTEN ftp %d" % server.address[1], flush=True)
    print("READY", flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
