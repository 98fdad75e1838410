"""Command channel of the simulated instrument.

One line of single-byte text per command, ended by line feed; one reply line
per query. The instrument keeps the IEEE 488.2 status model:

  ESR  standard event status register: bit 0 operation complete, bit 2 query
       error, bit 3 device-dependent error, bit 4 execution error, bit 5
       command error. Unknown commands set bit 5; commands with a malformed
       parameter set bit 5 (syntax) or bit 4 (value out of range); commands
       refused because the instrument is not in remote state set bit 4.
  ESE  event status enable (default 60: the four error bits).
  STB  status byte: bit 5 (event summary) is set while ESR & ESE is non-zero,
       bit 6 while STB & SRE is non-zero.

"*CLS" clears ESR (and so the summary bit); "*ESR?" reads and clears it.
The status model belongs to the instrument and is shared by all connections;
closing a connection returns the instrument to local state.
"""

import argparse
import socket
import socketserver
import threading
import time

DEFAULT_PORT = 1400
DEFAULT_MAKER = "Vardenholm Optics"
DEFAULT_MODEL = "KRX 15"
DEFAULT_SERIAL = "VH150427"
DEFAULT_VERSION = "2.07"

ESR_OPC = 1
ESR_QUERY_ERROR = 4
ESR_DEVICE_ERROR = 8
ESR_EXECUTION_ERROR = 16
ESR_COMMAND_ERROR = 32

STB_ESB = 32
STB_MSS = 64

MAX_LINE = 65536
LONG_REPLY_LENGTH = 120


def _fail_spec(text):
    """COMMAND:BITS, BITS a number 0-255 (decimal, or 0x.. hexadecimal)."""
    command, _, bits = text.rpartition(":")
    try:
        value = int(bits, 0)
    except ValueError:
        value = -1
    if not command or not 0 <= value <= 255:
        raise argparse.ArgumentTypeError("expected COMMAND:BITS with BITS 0-255, got %r" % text)
    return command.upper(), value


def add_arguments(group):
    group.add_argument("--port", type=int, default=DEFAULT_PORT,
                       help="command port (default: %d; 0 lets the system choose)" % DEFAULT_PORT)
    group.add_argument("--maker", default=DEFAULT_MAKER,
                       help="maker field of the *IDN? reply (default: %(default)s)")
    group.add_argument("--model", default=DEFAULT_MODEL,
                       help="model field of the *IDN? reply (default: %(default)s)")
    group.add_argument("--serial", default=DEFAULT_SERIAL,
                       help="serial number field of the *IDN? reply (default: %(default)s)")
    group.add_argument("--firmware", default=DEFAULT_VERSION,
                       help="version field of the *IDN? reply (default: %(default)s)")
    group.add_argument("--idn", metavar="TEXT", default=None,
                       help="whole *IDN? reply, sent as given (overrides --maker, --model, "
                            "--serial and --firmware)")
    group.add_argument("--lf-only", action="store_true",
                       help="end reply lines with LF only (default: CR LF)")
    group.add_argument("--require-password", action="store_true",
                       help="refuse remote state: \"*REM\" is ignored and every command other "
                            "than queries, \"*REM\", \"*LOC\" and \"*PASS\" sets the execution "
                            "error bit, until the password command \"*PASS \"USER\" \"PASSWORD\"\" "
                            "is received")
    group.add_argument("--pass-user", default="FPX",
                       help="user word the password command must carry (default: %(default)s)")
    group.add_argument("--pass-password", default="LANTERNS",
                       help="password word the password command must carry (default: %(default)s)")
    group.add_argument("--silent", action="store_true",
                       help="never answer a query (commands are still carried out)")
    group.add_argument("--silent-on", metavar="QUERY", action="append", default=[],
                       help="never answer this query, e.g. \"*IDN?\" (repeatable)")
    group.add_argument("--reply-delay", metavar="MS", type=int, default=0,
                       help="wait this many milliseconds before each reply (default: 0)")
    group.add_argument("--close-mid-reply", metavar="QUERY", nargs="?", const="*IDN?", default=None,
                       help="on this query (default when the option has no value: \"*IDN?\"; "
                            "\"ANY\" for every query) send the first half of the reply, then "
                            "close the connection")
    group.add_argument("--long-replies", action="store_true",
                       help="pad every reply with trailing spaces to %d characters (the driver "
                            "pauses before the query that follows a reply over 100 characters)"
                            % LONG_REPLY_LENGTH)
    group.add_argument("--fail", metavar="COMMAND:BITS", type=_fail_spec, action="append", default=[],
                       help="after COMMAND is carried out, set these ESR bits, e.g. \"*CLS:4\" "
                            "for a query error (repeatable)")
    group.add_argument("--ese", type=int, default=60,
                       help="event status enable register at start (default: %(default)s)")
    group.add_argument("--transcript", metavar="FILE", default=None,
                       help="append every received line to FILE, byte for byte with its line "
                            "feed, flushed at once; a connection's start and end are written as "
                            "the lines \"# connection opened\" and \"# connection closed\"")


class Instrument:
    """The status model and the remote state, shared by every connection."""

    def __init__(self, args):
        self.args = args
        self.lock = threading.Lock()
        self.esr = 0
        self.ese = args.ese & 0xFF
        self.sre = 0
        self.remote = False
        self.unlocked = not args.require_password
        self.fail = {}
        for command, bits in args.fail:
            self.fail[command] = self.fail.get(command, 0) | bits
        self.transcript_lock = threading.Lock()
        self.transcript = open(args.transcript, "ab") if args.transcript else None

    def close(self):
        if self.transcript:
            with self.transcript_lock:
                self.transcript.close()
                self.transcript = None

    def record(self, data):
        if self.transcript is None:
            return
        with self.transcript_lock:
            if self.transcript is not None:
                self.transcript.write(data)
                self.transcript.flush()

    def stb(self):
        value = 0
        if self.esr & self.ese:
            value |= STB_ESB
        if value & self.sre:
            value |= STB_MSS
        return value

    def identification(self):
        if self.args.idn is not None:
            return self.args.idn
        return "%s,%s,%s,%s" % (self.args.maker, self.args.model, self.args.serial,
                                self.args.firmware)

    def disconnected(self):
        with self.lock:
            self.remote = False
            self.unlocked = not self.args.require_password

    def execute(self, line):
        """Carries out one command line; returns the reply text or None."""
        with self.lock:
            reply = self._execute(line)
            extra = self.fail.get(line.split(" ", 1)[0].upper())
            if extra:
                self.esr |= extra & 0xFF
            return reply

    @staticmethod
    def _register_value(argument):
        """(value, error bit): a decimal 0-255 parameter of *ESE / *SRE."""
        try:
            value = int(argument.strip(), 10)
        except ValueError:
            return None, ESR_COMMAND_ERROR
        if not 0 <= value <= 255:
            return None, ESR_EXECUTION_ERROR
        return value, 0

    def _execute(self, line):
        head, _, argument = line.partition(" ")
        header = head.upper()
        has_argument = bool(argument.strip())

        if header.endswith("?"):
            if has_argument:
                self.esr |= ESR_COMMAND_ERROR
                return None
            if header == "*IDN?":
                return self.identification()
            if header == "*STB?":
                return str(self.stb())
            if header == "*ESR?":
                value, self.esr = self.esr, 0
                return str(value)
            if header == "*ESE?":
                return str(self.ese)
            if header == "*SRE?":
                return str(self.sre)
            if header == "*OPC?":
                return "1"
            if header == "*TST?":
                return "0"
            self.esr |= ESR_COMMAND_ERROR
            return None

        if header == "*PASS":
            words = [w.strip('"') for w in argument.split()]
            if words == [self.args.pass_user, self.args.pass_password]:
                self.unlocked = True
                self.remote = True
            else:
                self.esr |= ESR_EXECUTION_ERROR
            return None
        if header == "*REM":
            if has_argument:
                self.esr |= ESR_COMMAND_ERROR
            elif self.unlocked:
                self.remote = True
            return None
        if header == "*LOC":
            if has_argument:
                self.esr |= ESR_COMMAND_ERROR
            else:
                self.remote = False
            return None

        known = header in ("*CLS", "*ESE", "*SRE", "*OPC", "*RST", "*WAI")
        if not known:
            self.esr |= ESR_COMMAND_ERROR
            return None
        if not self.unlocked or (self.args.require_password and not self.remote):
            self.esr |= ESR_EXECUTION_ERROR
            return None
        if header in ("*ESE", "*SRE"):
            value, error = self._register_value(argument)
            if error:
                self.esr |= error
            elif header == "*ESE":
                self.ese = value
            else:
                self.sre = value
            return None
        if has_argument:
            self.esr |= ESR_COMMAND_ERROR
            return None
        if header == "*CLS":
            self.esr = 0
        elif header == "*OPC":
            self.esr |= ESR_OPC
        return None


class _Handler(socketserver.BaseRequestHandler):
    def handle(self):
        server = self.server
        instrument = server.instrument
        args = instrument.args
        sock = self.request
        server.track(sock, True)
        instrument.record(b"# connection opened\n")
        pending = b""
        try:
            while True:
                try:
                    data = sock.recv(4096)
                except OSError:
                    break
                if not data:
                    break
                pending += data
                while b"\n" in pending:
                    raw, pending = pending.split(b"\n", 1)
                    instrument.record(raw + b"\n")
                    if not self._serve(raw):
                        return
                if len(pending) > MAX_LINE:
                    # A line that never ends: drop it and report it as a command error.
                    instrument.record(pending + b"\n")
                    pending = b""
                    with instrument.lock:
                        instrument.esr |= ESR_COMMAND_ERROR
            if pending:
                instrument.record(pending + b"\n")
        finally:
            instrument.disconnected()
            instrument.record(b"# connection closed\n")
            server.track(sock, False)

    def _serve(self, raw):
        """Answers one line; False when the connection was closed on purpose."""
        instrument = self.server.instrument
        args = instrument.args
        line = raw.decode("latin-1").rstrip("\r").strip()
        if not line:
            return True
        reply = instrument.execute(line)
        if reply is None:
            return True
        query = line.split(" ", 1)[0].upper()
        if args.silent or query in (q.upper() for q in args.silent_on):
            return True
        if args.long_replies:
            reply = reply.ljust(LONG_REPLY_LENGTH)
        data = reply.encode("latin-1", "replace") + (b"\n" if args.lf_only else b"\r\n")
        if args.reply_delay > 0:
            time.sleep(args.reply_delay / 1000.0)
        closing = args.close_mid_reply is not None and (
            args.close_mid_reply.upper() == "ANY" or args.close_mid_reply.upper() == query)
        try:
            if closing:
                self.request.sendall(data[: max(1, len(data) // 2)])
                self.request.shutdown(socket.SHUT_RDWR)
                return False
            self.request.sendall(data)
        except OSError:
            return False
        return True


class _Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True
    block_on_close = False

    def __init__(self, address, instrument):
        self.address_family = socket.AF_INET6 if ":" in address[0] else socket.AF_INET
        self.instrument = instrument
        self.connections = set()
        self.connections_lock = threading.Lock()
        socketserver.ThreadingTCPServer.__init__(self, address, _Handler)

    def track(self, sock, active):
        with self.connections_lock:
            if active:
                self.connections.add(sock)
            else:
                self.connections.discard(sock)

    def close_connections(self):
        with self.connections_lock:
            for sock in list(self.connections):
                try:
                    sock.shutdown(socket.SHUT_RDWR)
                except OSError:
                    pass


class CommandService:
    """The running command service: `port` is the bound port."""

    def __init__(self, args):
        self.instrument = Instrument(args)
        self.server = _Server((args.address, args.port), self.instrument)
        self.port = self.server.server_address[1]
        self.thread = threading.Thread(target=self.server.serve_forever,
                                       kwargs={"poll_interval": 0.1}, daemon=True)
        self.thread.start()

    def stop(self):
        self.server.shutdown()
        self.server.server_close()
        self.server.close_connections()
        self.thread.join(timeout=2)
        self.instrument.close()


def start(args):
    return CommandService(args)
