#!/usr/bin/python3
"""FTP server for the tests (pyftpdlib), on 127.0.0.1 unless --address.

Serves --root with every right. Accounts: each --user USER:PASSWORD and, with
--anonymous, the anonymous login; with neither, the one account test:secret.
Refused logins are answered at once (the tests try several in a row).
Prints "LISTEN ftp <port>" then "READY" and serves until SIGTERM.

--print-logins   print "LOGIN <user> <password>" for every PASS received
--no-mlsd        answer MLSD with 500, as servers without it do
--read-only DIR  nothing may be created below DIR (relative to the root)
--canned-list F  the bytes of file F answer every LIST
--canned-mlsd F  the bytes of file F answer every MLSD
--throttle N     data connections carry N bytes per second each way
--refuse NAME    a directory of that name cannot be entered: CWD, and any
                 command on a path through it, answers 550, as an
                 instrument's protected folder would
--max-cons N     at most N logins at once from one address (more are
                 greeted with 421 and closed, as instruments that allow few
                 sessions do)
--hostile        MLSD of a directory holding a file named ".hostile" also
                 carries entries whose names are paths ("../evil.sor",
                 "..\\up", "a/b.sor"), as a broken or malicious server might
"""

import argparse
import logging
import os
import signal
import sys
import warnings

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer

ALL_PERMS = "elradfmwMT"

HOSTILE_MLSD = [
    "type=file;size=5;modify=20260101000000; ../evil.sor",
    "type=file;size=5;modify=20260101000000; ..\\evil2.sor",
    "type=dir;modify=20260101000000; ..\\up",
    "type=file;size=5;modify=20260101000000; a/b.sor",
    "type=dir;modify=20260101000000; /abs",
]

# Commands whose argument (or the current directory) is a path that --refuse checks.
PATH_COMMANDS = ("CWD", "RETR", "STOR", "DELE", "MKD", "RMD", "MLSD", "LIST", "NLST", "SIZE", "MDTM", "MLST")


def parse_args():
    p = argparse.ArgumentParser()
    p.add_argument("--port", type=int, default=0)
    p.add_argument("--address", default="127.0.0.1")
    p.add_argument("--root", required=True, help="directory served to every user")
    p.add_argument("--user", action="append", default=[], metavar="USER:PASSWORD")
    p.add_argument("--anonymous", action="store_true")
    p.add_argument("--print-logins", action="store_true")
    p.add_argument("--no-mlsd", action="store_true")
    p.add_argument("--read-only", action="append", default=[], metavar="DIR")
    p.add_argument("--canned-list", metavar="FILE")
    p.add_argument("--canned-mlsd", metavar="FILE")
    p.add_argument("--throttle", type=int, default=0, metavar="BYTES_PER_SECOND")
    p.add_argument("--refuse", action="append", default=[], metavar="NAME")
    p.add_argument("--hostile", action="store_true")
    p.add_argument("--max-cons", type=int, default=0)
    return p.parse_args()


def make_authorizer(args, root):
    users = args.user or ([] if args.anonymous else ["test:secret"])
    auth = DummyAuthorizer()
    for account in users:
        name, _, password = account.partition(":")
        auth.add_user(name, password, root, perm=ALL_PERMS)
        for ro in args.read_only:
            os.makedirs(os.path.join(root, ro), exist_ok=True)
            auth.override_perm(name, os.path.join(root, ro), perm="elr", recursive=True)
    if args.anonymous:
        auth.add_anonymous(root, perm=ALL_PERMS)
    return auth


def make_handler(args, root):
    canned_list = open(args.canned_list, "rb").read() if args.canned_list else None
    canned_mlsd = open(args.canned_mlsd, "rb").read() if args.canned_mlsd else None
    refused = set(args.refuse)

    def forbidden(path):
        return any(part in refused for part in os.path.relpath(path, root).split(os.sep))

    class Handler(FTPHandler):
        proto_cmds = dict(FTPHandler.proto_cmds)
        if args.no_mlsd:
            del proto_cmds["MLSD"]
        auth_failed_timeout = 0
        max_login_attempts = 10

        def pre_process_command(self, line, cmd, arg):
            if refused and self.authenticated and cmd in PATH_COMMANDS:
                if forbidden(self.fs.ftp2fs(arg or self.fs.cwd)):
                    self.respond("550 Access refused.")
                    return
            return super().pre_process_command(line, cmd, arg)

        def ftp_PASS(self, line):
            if args.print_logins:
                print("LOGIN %s %s" % (self.username, line), flush=True)
            return super().ftp_PASS(line)

        def ftp_LIST(self, path):
            if canned_list is None:
                return super().ftp_LIST(path)
            self.push_dtp_data(canned_list, cmd="LIST")
            return path

        def ftp_MLSD(self, path):
            if canned_mlsd is not None:
                self.push_dtp_data(canned_mlsd, cmd="MLSD")
                return path
            if args.hostile and os.path.exists(os.path.join(path, ".hostile")):
                perms = self.authorizer.get_perms(self.username)
                lines = self.fs.format_mlsx(path, os.listdir(path), perms, self._current_facts)
                data = b"".join(l if isinstance(l, bytes) else l.encode("utf8") for l in lines)
                data += "".join(h + "\r\n" for h in HOSTILE_MLSD).encode("utf8")
                self.push_dtp_data(data, cmd="MLSD")
                return path
            return super().ftp_MLSD(path)

    if args.throttle:
        class Dtp(ThrottledDTPHandler):
            write_limit = args.throttle
            read_limit = args.throttle
        Handler.dtp_handler = Dtp
    return Handler


def main():
    # Quiet: anonymous write rights draw a warning, and pyftpdlib logs every
    # command unless logging is configured.
    warnings.simplefilter("ignore")
    logging.basicConfig(stream=sys.stderr, level=logging.ERROR)
    args = parse_args()
    root = os.path.realpath(args.root)
    Handler = make_handler(args, root)
    Handler.authorizer = make_authorizer(args, root)
    Handler.banner = "test server ready"
    server = FTPServer((args.address, args.port), Handler)
    server.max_cons_per_ip = args.max_cons
    signal.signal(signal.SIGTERM, lambda *_: server.close_all() or sys.exit(0))
    print("LISTEN ftp %d" % server.address[1], flush=True)
    print("READY", flush=True)
    server.serve_forever(handle_exit=False)


if __name__ == "__main__":
    main()
