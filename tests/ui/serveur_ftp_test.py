#!/usr/bin/python3
"""FTP server for the dialog tests: logs every login attempt on stdout.

Prints "LOGIN <user> <password>" for each PASS received, "LISTEN ftp <port>"
once bound, then "READY". Only the accounts given with --compte (user:password)
and, with --anonyme, the anonymous login are accepted.
"""
import argparse
import logging
import sys
import warnings

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


class JournalHandler(FTPHandler):
    # Refused logins answer at once: the tests try several in a row.
    auth_failed_timeout = 0
    max_login_attempts = 10

    def ftp_PASS(self, line):
        print("LOGIN %s %s" % (self.username, line), flush=True)
        return super().ftp_PASS(line)


def main():
    warnings.simplefilter("ignore")
    logging.getLogger("pyftpdlib").addHandler(logging.NullHandler())
    logging.getLogger("pyftpdlib").setLevel(logging.ERROR)
    p = argparse.ArgumentParser()
    p.add_argument("--port", type=int, default=0)
    p.add_argument("--racine", required=True)
    p.add_argument("--compte", action="append", default=[])
    p.add_argument("--anonyme", action="store_true")
    a = p.parse_args()

    auth = DummyAuthorizer()
    for compte in a.compte:
        user, _, pwd = compte.partition(":")
        auth.add_user(user, pwd, a.racine, perm="elradfmwMT")
    if a.anonyme:
        auth.add_anonymous(a.racine, perm="elradfmwMT")
    JournalHandler.authorizer = auth
    JournalHandler.passive_ports = None

    serveur = FTPServer(("127.0.0.1", a.port), JournalHandler)
    print("LISTEN ftp %d" % serveur.address[1], flush=True)
    print("READY", flush=True)
    try:
        serveur.serve_forever(handle_exit=True)
    finally:
        serveur.close_all()


if __name__ == "__main__":
    sys.exit(main())
