#!/usr/bin/python3
"""FTP server for the file transfer dialog tests (pyftpdlib on 127.0.0.1).

Serves --racine to user "test" (password "secret") with every right. Prints
"LISTEN ftp <port>" then "READY" and serves until stopped.

--refuser NAME: a directory of that name cannot be entered (CWD, and any
  path through it, answers 550), as an instrument's protected folder would.
--hostile: listings of a directory that holds a file named ".hostile" also
  carry entries whose names are paths ("../evil.sor", "..\\up", "a/b.sor"),
  as a broken or malicious server might send them.
"""
import argparse
import logging
import os
import signal
import sys
import warnings

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

HOSTILES_MLSD = [
    "type=file;size=5;modify=20260101000000; ../evil.sor",
    "type=file;size=5;modify=20260101000000; ..\\evil2.sor",
    "type=dir;modify=20260101000000; ..\\up",
    "type=file;size=5;modify=20260101000000; a/b.sor",
    "type=dir;modify=20260101000000; /abs",
]


def main():
    warnings.simplefilter("ignore")
    logging.getLogger("pyftpdlib").addHandler(logging.NullHandler())
    logging.getLogger("pyftpdlib").setLevel(logging.ERROR)
    p = argparse.ArgumentParser()
    p.add_argument("--port", type=int, default=0)
    p.add_argument("--racine", required=True)
    p.add_argument("--refuser", action="append", default=[])
    p.add_argument("--hostile", action="store_true")
    a = p.parse_args()
    racine = os.path.realpath(a.racine)
    refuses = set(a.refuser)

    def interdit(chemin):
        rel = os.path.relpath(chemin, racine)
        return any(part in refuses for part in rel.split(os.sep))

    class Handler(FTPHandler):
        auth_failed_timeout = 0

        def pre_process_command(self, line, cmd, arg):
            # Every command naming a path through a refused directory fails.
            if self.authenticated and refuses and cmd in ("CWD", "RETR", "STOR", "DELE", "MKD", "RMD", "MLSD", "LIST",
                                   "NLST", "SIZE", "MDTM", "MLST"):
                chemin = self.fs.ftp2fs(arg or self.fs.cwd)
                if interdit(chemin):
                    self.respond("550 Access refused.")
                    return
            return super().pre_process_command(line, cmd, arg)

        def ftp_MLSD(self, path):
            if a.hostile and os.path.exists(os.path.join(path, ".hostile")):
                perms = self.authorizer.get_perms(self.username)
                lignes = list(self.fs.format_mlsx(path, os.listdir(path), perms,
                                                  self._current_facts))
                donnees = b"".join(l if isinstance(l, bytes) else l.encode("utf8") for l in lignes)
                donnees += "".join(h + "\r\n" for h in HOSTILES_MLSD).encode("utf8")
                self.push_dtp_data(donnees, cmd="MLSD")
                return path
            return super().ftp_MLSD(path)

    auth = DummyAuthorizer()
    auth.add_user("test", "secret", racine, perm="elradfmwMT")
    Handler.authorizer = auth
    serveur = FTPServer(("127.0.0.1", a.port), Handler)
    signal.signal(signal.SIGTERM, lambda *_: serveur.close_all() or sys.exit(0))
    print("LISTEN ftp %d" % serveur.address[1], flush=True)
    print("READY", flush=True)
    serveur.serve_forever(handle_exit=False)


if __name__ == "__main__":
    main()
