"""A slow FTP server for the CLI tests: serves a folder (argv[1]) to krx15 at
about 256 KiB/s each way, so that a transfer lasts long enough to be watched
or interrupted. Prints "LISTEN ftp <port>" then "READY"."""
import logging
import signal
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer

logging.basicConfig(stream=sys.stderr, level=logging.ERROR)
logging.getLogger("pyftpdlib").setLevel(logging.ERROR)
authorizer = DummyAuthorizer()
authorizer.add_user("krx15", "brimola", sys.argv[1], perm="elradfmwMT")


class Lent(ThrottledDTPHandler):
    read_limit = 256 * 1024
    write_limit = 256 * 1024


class Handler(FTPHandler):
    pass


Handler.authorizer = authorizer
Handler.dtp_handler = Lent
Handler.permit_foreign_addresses = False
server = FTPServer(("127.0.0.1", 0), Handler)
signal.signal(signal.SIGTERM, lambda *_: server.close_all() or sys.exit(0))
print("LISTEN ftp %d" % server.address[1], flush=True)
print("READY", flush=True)
server.serve_forever()
