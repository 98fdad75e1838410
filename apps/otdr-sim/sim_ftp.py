"""FTP server of the simulated instrument (pyftpdlib).

It serves, on the simulator's address, a tree of synthetic trace files that the
simulator generates in a temporary folder at start and removes at stop (or an
existing folder given with --ftp-root). Every family login of the instrument
range is accepted, plus anonymous (read-only). Active-mode transfers are
allowed, names are UTF-8.

Generated trace files are random bytes behind a small header of our own
("SIMTRACE"); they are stand-ins for the transfer dialog, not readable traces.
"""

import datetime
import errno
import logging
import os
import random
import shutil
import sys
import tempfile
import threading

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

DEFAULT_PORT = 21

# Family logins of the instrument range (user, password).
CREDENTIALS = [
    ("krx11", "QWPZ"),
    ("krx12", "QWPZ"),
    ("tellmar", "ulk"),
    ("krx14", "brimola"),
    ("krx15", "brimola"),
    ("brimola", "pelvu7"),
    ("FPX", "LANTERNS"),
]

FULL_PERMS = "elradfmwMT"


def add_arguments(group):
    group.add_argument("--ftp-port", type=int, default=None, metavar="PORT",
                       help="FTP port (default: %d, or one the system chooses when %d "
                            "cannot be bound; 0 lets the system choose)"
                            % (DEFAULT_PORT, DEFAULT_PORT))
    group.add_argument("--ftp-root", metavar="DIR", default=None,
                       help="serve this existing folder (writable by every family login) "
                            "instead of a generated tree of synthetic traces")
    group.add_argument("--ftp-seed", type=int, default=1400, metavar="N",
                       help="seed of the generated tree: the same seed gives the same "
                            "names and sizes, with dates counted back from today "
                            "(default: %(default)s)")
    group.add_argument("--ftp-no-mlsd", action="store_true",
                       help="answer MLSD with 500, as older instruments do, so that "
                            "clients list with LIST")
    group.add_argument("--ftp-log", action="store_true",
                       help="log every FTP command and reply to standard error")


def generate_tree(root, seed):
    """Fills `root` with synthetic measurement folders and trace files."""
    rnd = random.Random(seed)
    now = datetime.datetime.now().replace(microsecond=0)
    sites = ["Nordkai", "Hafenring", "Lindenweg", "Sud-Est", "Ringway"]
    wavelengths = [1310, 1550, 1625]

    def write(path, size, when):
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(b"SIMTRACE\x01\x00")
            f.write(rnd.getrandbits(8 * (size - 10)).to_bytes(size - 10, "little"))
        stamp = when.timestamp()
        os.utime(path, (stamp, stamp))

    for d in range(6):
        day = now - datetime.timedelta(days=rnd.randint(1, 400))
        site = sites[d % len(sites)]
        folder = os.path.join(root, "Traces", "%s_%s" % (day.strftime("%Y-%m-%d"), site))
        for fibre in range(1, rnd.randint(3, 9)):
            for wl in wavelengths[: rnd.randint(1, 3)]:
                when = day.replace(hour=8) + datetime.timedelta(minutes=rnd.randint(0, 540))
                name = "%s_F%03d_%dnm.sor" % (site, fibre, wl)
                write(os.path.join(folder, name), rnd.randint(18, 260) * 1024 + rnd.randint(0, 1023), when)
        stamp = day.replace(hour=18).timestamp()
        os.utime(folder, (stamp, stamp))
    # Names beyond ASCII, as technicians type them on the instrument.
    special = os.path.join(root, "Traces", "Mesures été")
    write(os.path.join(special, "Fibre_é01_1550nm.sor"), 48 * 1024, now - datetime.timedelta(days=3))
    write(os.path.join(special, "Ø-ring 2_1310nm.sor"), 51 * 1024, now - datetime.timedelta(days=2))
    write(os.path.join(root, "Setup", "default.cfg.bin"), 2048, now - datetime.timedelta(days=90))
    write(os.path.join(root, "Setup", "user_1.cfg.bin"), 2048, now - datetime.timedelta(days=30))
    os.makedirs(os.path.join(root, "Reports"), exist_ok=True)
    os.makedirs(os.path.join(root, "Temp"), exist_ok=True)


class SimFtpServer:
    def __init__(self, server, port, temp_root):
        self._server = server
        self.port = port
        self._temp_root = temp_root
        self._stop = threading.Event()
        self._thread = threading.Thread(target=self._run, name="sim-ftp", daemon=True)
        self._thread.start()

    def _run(self):
        # One thread owns the event loop; stop() only raises a flag.
        while not self._stop.is_set():
            self._server.serve_forever(timeout=0.1, blocking=False, handle_exit=False)
        self._server.close_all()

    def stop(self):
        self._stop.set()
        self._thread.join(5)
        if self._temp_root:
            shutil.rmtree(self._temp_root, ignore_errors=True)


def start(args):
    temp_root = None
    if args.ftp_root:
        root = os.path.realpath(args.ftp_root)
        if not os.path.isdir(root):
            raise OSError(errno.ENOENT, "FTP root is not a folder", args.ftp_root)
    else:
        temp_root = tempfile.mkdtemp(prefix="otdr-sim-ftp-")
        root = temp_root
        generate_tree(root, args.ftp_seed)

    authorizer = DummyAuthorizer()
    for user, password in CREDENTIALS:
        authorizer.add_user(user, password, root, perm=FULL_PERMS)
    authorizer.add_anonymous(root, perm="elr")

    class Handler(FTPHandler):
        proto_cmds = dict(FTPHandler.proto_cmds)
        if args.ftp_no_mlsd:
            del proto_cmds["MLSD"]

    Handler.authorizer = authorizer
    Handler.banner = "OTDR simulator FTP service ready."
    Handler.permit_foreign_addresses = False  # active mode back to the client only
    Handler.auth_failed_timeout = 0.2

    logger = logging.getLogger("pyftpdlib")
    if args.ftp_log:
        logging.basicConfig(stream=sys.stderr, level=logging.DEBUG)
    else:
        logger.setLevel(logging.ERROR)
        if not logging.getLogger().handlers:
            logging.basicConfig(stream=sys.stderr, level=logging.ERROR)

    address = getattr(args, "address", "127.0.0.1")
    port = DEFAULT_PORT if args.ftp_port is None else args.ftp_port
    try:
        try:
            server = FTPServer((address, port), Handler)
        except OSError as exc:
            # pyftpdlib wraps the bind error in another socket error.
            code = exc.errno
            if code is None and exc.args and isinstance(exc.args[0], OSError):
                code = exc.args[0].errno
            if args.ftp_port is not None or code not in (errno.EACCES, errno.EADDRINUSE):
                raise
            print("otdr-sim: FTP port %d unavailable (%s); letting the system choose"
                  % (port, os.strerror(code)), file=sys.stderr, flush=True)
            server = FTPServer((address, 0), Handler)
    except Exception:
        if temp_root:
            shutil.rmtree(temp_root, ignore_errors=True)
        raise
    return SimFtpServer(server, server.address[1], temp_root)
