#!/usr/bin/python3
"""FTP server for the FTP client tests (pyftpdlib, 127.0.0.1 unless --address),
one user "test" with password "secret".

Prints "LISTEN ftp <port>" then "READY" and serves until killed.
"""

import argparse
import os
import signal
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--port", type=int, default=0)
    p.add_argument("--address", default="127.0.0.1")
    p.add_argument("--root", required=True, help="directory served to every user")
    p.add_argument("--no-mlsd", action="store_true", help="answer MLSD with 500")
    p.add_argument("--read-only", action="append", default=[],
                   help="directory (relative to the root) where nothing may be created")
    p.add_argument("--canned-list", help="file whose bytes answer every LIST")
    p.add_argument("--canned-mlsd", help="file whose bytes answer every MLSD")
    p.add_argument("--throttle", type=int, default=0, help="bytes per second sent")
    args = p.parse_args()

    root = os.path.realpath(args.root)
    authorizer = DummyAuthorizer()
    authorizer.add_user("test", "secret", root, perm="elradfmwMT")
    for ro in args.read_only:
        os.makedirs(os.path.join(root, ro), exist_ok=True)
        authorizer.override_perm("test", os.path.join(root, ro), perm="elr", recursive=True)

    canned_list = open(args.canned_list, "rb").read() if args.canned_list else None
    canned_mlsd = open(args.canned_mlsd, "rb").read() if args.canned_mlsd else None

    class Handler(FTPHandler):
        proto_cmds = dict(FTPHandler.proto_cmds)
        if args.no_mlsd:
            del proto_cmds["MLSD"]

        if canned_list is not None:
            def ftp_LIST(self, path):
                self.push_dtp_data(canned_list, cmd="LIST")
                return path

        if canned_mlsd is not None:
            def ftp_MLSD(self, path):
                self.push_dtp_data(canned_mlsd, cmd="MLSD")
                return path

    Handler.authorizer = authorizer
    Handler.banner = "test server ready"
    Handler.auth_failed_timeout = 0.05
    if args.throttle:
        class Dtp(ThrottledDTPHandler):
            write_limit = args.throttle
            read_limit = args.throttle
        Handler.dtp_handler = Dtp

    server = FTPServer((args.address, args.port), Handler)
    signal.signal(signal.SIGTERM, lambda *_: server.close_all() or sys.exit(0))
    print("LISTEN ftp %d" % server.address[1], flush=True)
    print("READY", flush=True)
    server.serve_forever(handle_exit=False)


if __name__ == "__main__":
    import logging
    logging.basicConfig(level=logging.ERROR)
    main()
