#!/usr/bin/python3
"""A small FTP server that misbehaves on purpose, for the tests.

It serves --root on 127.0.0.1 (active mode only: EPRT and PORT), names as the
raw bytes the file system holds, and ends listings and downloads as told.
Prints "LISTEN ftp <port>" then "READY" and serves until SIGTERM.

--user USER:PASSWORD  the one account (default test:secret)
--no-mlsd             answer MLSD with 500, so that clients list with LIST
--late-data MS        reply 150, then open the data connection MS ms later, as
                      some embedded servers do
--list PATH=MODE      how the listing of directory PATH ("/", "/a/b") ends
--retr NAME=MODE      how the download of every file named NAME ends
--once                each --list and --retr acts on the first request only
--log                 prints "CMD <hex of its bytes>" for every command line
--extra PATH=LINE     adds the line LINE, raw bytes (\\r, \\n and \\xNN decoded), to
                      the listings of directory PATH: a name that lies
--max-cons N          at most N connections at once: more are greeted with 421
                      and closed
--rest                REST N makes the next RETR start at byte N (without it,
                      REST is an unknown command, as on servers that cannot resume)
--loop NAME           every directory also lists NAME as a directory that
                      leads back to itself (a link "NAME -> ." on a server that
                      shows links as directories and no unique facts)
--no-size             SIZE is an unknown command
--no-mdtm             MDTM is an unknown command
--rest-ignored        REST N answers 350 but the next RETR sends from byte 0
--list-minutes        LIST gives "Mon DD HH:MM" (the minute, as ls does for recent
                      files) instead of "Mon DD YYYY"
--no-rename-over      RNTO onto an existing file is refused (550)
--stor-refuse PREFIX  STOR of a name starting with PREFIX is refused (553)
--stor-hangup N       STOR: after N bytes both connections close
--stor-stall N        STOR: after N bytes, reads nothing for 2 s
  MODE is one of:
    refuse            550 at once, no data connection
    425               150, then 425 without any data connection
    426:N             150, N lines (bytes for RETR; "Nb": N bytes of a listing
                      too), the data connection closes, then 426
    stall:N           150, N lines (bytes), then nothing more: no data, no reply
    kill:N            150, N lines (bytes), then the whole server dies
    hangup:N          150, N lines (bytes), then the control connection closes
    empty             150, then the data connection closes at once and 226
                      follows (an empty listing that claims success)
    short:N           150, N bytes, then 226 as if the file were whole
MLSD facts carry unique=<device>g<inode> of the entry a link leads to, as
pyftpdlib does; PWD gives the path as the client walked it.
"""

import argparse
import os
import socket
import socketserver
import stat
import threading
import time

from serveur_commun import say, serve


def parse_args():
    p = argparse.ArgumentParser()
    p.add_argument("--root", required=True)
    p.add_argument("--user", default="test:secret")
    p.add_argument("--no-mlsd", action="store_true")
    p.add_argument("--late-data", type=int, default=0, metavar="MS")
    p.add_argument("--once", action="store_true")
    p.add_argument("--rest", action="store_true")
    p.add_argument("--max-cons", type=int, default=0)
    p.add_argument("--list", action="append", default=[], metavar="PATH=MODE")
    p.add_argument("--retr", action="append", default=[], metavar="NAME=MODE")
    p.add_argument("--log", action="store_true")
    p.add_argument("--extra", action="append", default=[], metavar="PATH=LINE")
    p.add_argument("--loop", action="append", default=[], metavar="NAME")
    p.add_argument("--no-size", action="store_true")
    p.add_argument("--no-mdtm", action="store_true")
    p.add_argument("--rest-ignored", action="store_true")
    p.add_argument("--list-minutes", action="store_true")
    p.add_argument("--no-rename-over", action="store_true")
    p.add_argument("--stor-refuse", default=None, metavar="PREFIX")
    p.add_argument("--stor-hangup", type=int, default=-1, metavar="N")
    p.add_argument("--stor-stall", type=int, default=-1, metavar="N")
    return p.parse_args()


def modes(pairs):
    table = {}
    for pair in pairs:
        key, _, mode = pair.rpartition("=")
        name, _, count = mode.partition(":")
        in_bytes = count.endswith("b")
        table[os.fsencode(key)] = (name, int(count.rstrip("b") or 0), in_bytes)
    return table


def mode_for(table, key):
    mode = table.get(key)
    if mode and ARGS.once:
        del table[key]
    return mode


ARGS = parse_args()
ROOT = os.fsencode(os.path.realpath(ARGS.root))
USER, _, PASSWORD = ARGS.user.partition(":")
LIST_MODES = modes(ARGS.list)
RETR_MODES = modes(ARGS.retr)
EXTRA_LINES = {}
for _pair in ARGS.extra:
    _path, _, _line = _pair.partition("=")
    _raw = _line.encode("latin-1").decode("unicode_escape").encode("latin-1")
    EXTRA_LINES.setdefault(os.fsencode(_path), []).append(_raw + b"\r\n")
CONNECTIONS = 0
CONNECTIONS_LOCK = threading.Lock()


def normalise(cwd, arg):
    """Virtual absolute path (bytes) of arg read from cwd, '..' never above '/'."""
    path = arg if arg.startswith(b"/") else cwd.rstrip(b"/") + b"/" + arg
    parts = []
    for part in path.split(b"/"):
        if part in (b"", b"."):
            continue
        if part == b"..":
            if parts:
                parts.pop()
            continue
        parts.append(part)
    return b"/" + b"/".join(parts)


LOOPS = [os.fsencode(n) for n in ARGS.loop]


def real(virtual):
    parts = [p for p in virtual.split(b"/") if p and p not in LOOPS]
    return ROOT + b"/" + b"/".join(parts) if parts else ROOT


def mlsd_line(directory, name):
    st = os.stat(os.path.join(directory, name))
    kind = "dir" if stat.S_ISDIR(st.st_mode) else "file"
    when = time.strftime("%Y%m%d%H%M%S", time.gmtime(st.st_mtime))
    facts = "type=%s;size=%d;modify=%s;unique=%xg%x;" % (kind, st.st_size, when, st.st_dev, st.st_ino)
    return facts.encode() + b" " + name + b"\r\n"


def list_line(directory, name):
    st = os.lstat(os.path.join(directory, name))
    kind = "d" if stat.S_ISDIR(st.st_mode) else "l" if stat.S_ISLNK(st.st_mode) else "-"
    when = time.strftime("%b %d %H:%M" if ARGS.list_minutes else "%b %d %Y", time.gmtime(st.st_mtime))
    return ("%srw-r--r-- 1 0 0 %d %s " % (kind, st.st_size, when)).encode() + name + b"\r\n"


class Handler(socketserver.StreamRequestHandler):
    def setup(self):
        super().setup()
        self.cwd = b"/"
        self.user = None
        self.logged = False
        self.port = None
        self.rnfr = None
        self.rest = 0

    def reply(self, text):
        self.wfile.write(text.encode() + b"\r\n")
        self.wfile.flush()

    def handle(self):
        with CONNECTIONS_LOCK:
            global CONNECTIONS
            full = ARGS.max_cons and CONNECTIONS >= ARGS.max_cons
            if not full:
                CONNECTIONS += 1
        if full:
            self.reply("421 Too many connections.")
            return
        try:
            self.serve()
        finally:
            with CONNECTIONS_LOCK:
                CONNECTIONS -= 1

    def serve(self):
        self.reply("220 hostile test server")
        while True:
            line = self.rfile.readline()
            if not line:
                return
            line = line.rstrip(b"\r\n")
            if ARGS.log:
                say("CMD " + line.hex())
            verb, _, arg = line.partition(b" ")
            verb = verb.decode("ascii", "replace").upper()
            method = getattr(self, "cmd_" + verb, None)
            if verb not in ("USER", "PASS", "QUIT", "FEAT", "SYST") and not self.logged:
                self.reply("530 Log in first.")
            elif method is None:
                self.reply("500 Unknown command.")
            elif method(arg) is False:
                return

    # --- login and state

    def cmd_USER(self, arg):
        self.user = arg.decode("utf8", "replace")
        self.reply("331 Password please.")

    def cmd_PASS(self, arg):
        self.logged = self.user == USER and arg.decode("utf8", "replace") == PASSWORD
        self.reply("230 Logged in." if self.logged else "530 Login incorrect.")

    def cmd_QUIT(self, arg):
        self.reply("221 Bye.")
        return False

    def cmd_SYST(self, arg):
        self.reply("215 UNIX Type: L8")

    def cmd_FEAT(self, arg):
        self.reply("211-Features:\r\n UTF8\r\n SIZE\r\n" + ("" if ARGS.no_mlsd else " MLST type*;size*;modify*;unique*;\r\n") + "211 End")

    def cmd_OPTS(self, arg):
        self.reply("200 OK.")

    def cmd_NOOP(self, arg):
        self.reply("200 OK.")

    def cmd_TYPE(self, arg):
        self.reply("200 Type set.")

    def cmd_PWD(self, arg):
        self.wfile.write(b'257 "' + self.cwd.replace(b'"', b'""') + b'" is the current directory.\r\n')
        self.wfile.flush()

    def cmd_CWD(self, arg):
        target = normalise(self.cwd, arg)
        if os.path.isdir(real(target)):
            self.cwd = target
            self.reply("250 OK.")
        else:
            self.reply("550 No such directory.")

    def cmd_CDUP(self, arg):
        return self.cmd_CWD(b"..")

    def cmd_EPRT(self, arg):
        parts = arg.split(arg[:1]) if arg else []
        if len(parts) < 4 or parts[1] != b"1":
            self.reply("522 IPv4 only (1).")
            return
        self.port = (parts[2].decode(), int(parts[3]))
        self.reply("200 EPRT OK.")

    def cmd_PORT(self, arg):
        n = [int(x) for x in arg.split(b",")]
        self.port = ("%d.%d.%d.%d" % tuple(n[:4]), n[4] * 256 + n[5])
        self.reply("200 PORT OK.")

    def cmd_PASV(self, arg):
        self.reply("502 Active mode only.")

    cmd_EPSV = cmd_PASV

    # --- files

    def cmd_SIZE(self, arg):
        if ARGS.no_size:
            self.reply("500 Unknown command.")
            return
        p = real(normalise(self.cwd, arg))
        if os.path.isfile(p):
            self.reply("213 %d" % os.path.getsize(p))
        else:
            self.reply("550 No such file.")

    def cmd_MDTM(self, arg):
        if ARGS.no_mdtm:
            self.reply("500 Unknown command.")
            return
        p = real(normalise(self.cwd, arg))
        if os.path.isfile(p):
            self.reply("213 " + time.strftime("%Y%m%d%H%M%S", time.gmtime(os.path.getmtime(p))))
        else:
            self.reply("550 No such file.")

    def simple(self, action, arg, done):
        try:
            action(real(normalise(self.cwd, arg)))
            self.reply(done)
        except OSError as e:
            self.reply("550 %s." % e.strerror)

    def cmd_REST(self, arg):
        if not ARGS.rest and not ARGS.rest_ignored:
            self.reply("500 Unknown command.")
            return
        self.rest = int(arg or b"0")
        self.reply("350 Restarting at %d." % self.rest)

    def cmd_DELE(self, arg):
        self.simple(os.remove, arg, "250 Deleted.")

    def cmd_RMD(self, arg):
        self.simple(os.rmdir, arg, "250 Removed.")

    def cmd_MKD(self, arg):
        self.simple(os.mkdir, arg, '257 "%s" created.' % arg.decode("utf8", "replace"))

    def cmd_RNFR(self, arg):
        p = real(normalise(self.cwd, arg))
        if not os.path.exists(p):
            self.reply("550 No such file.")
            return
        self.rnfr = p
        self.reply("350 Ready for RNTO.")

    def cmd_RNTO(self, arg):
        source, self.rnfr = self.rnfr, None
        p = real(normalise(self.cwd, arg))
        if source is None:
            self.reply("503 RNFR first.")
        elif ARGS.no_rename_over and os.path.exists(p):
            self.reply("550 File exists.")
        else:
            self.simple(lambda target: os.rename(source, target), arg, "250 Renamed.")

    def cmd_MLST(self, arg):
        if ARGS.no_mlsd:
            self.reply("500 Unknown command.")
            return
        target = normalise(self.cwd, arg) if arg else self.cwd
        p = real(target)
        if not os.path.exists(p):
            self.reply("550 No such file.")
            return
        line = mlsd_line(os.path.dirname(p), os.path.basename(p)).split(b" ", 1)[0]
        self.wfile.write(b"250-Listing\r\n " + line + b" " + target + b"\r\n250 End\r\n")
        self.wfile.flush()

    # --- data connection

    def open_data(self):
        if self.port is None:
            return None
        try:
            return socket.create_connection(self.port, timeout=10)
        except OSError:
            return None

    def transfer(self, chunks, mode):
        """Sends chunks on a data connection, ending as mode says. False ends the session."""
        kind, count, in_bytes = mode if mode else ("", 0, False)
        if kind == "refuse":
            self.reply("550 Permission denied.")
            return True
        if kind == "425":
            self.reply("150 Opening data connection.")
            self.reply("425 Can't open data connection.")
            return True
        data = None if ARGS.late_data else self.open_data()
        if data is None and not ARGS.late_data:
            self.reply("425 Can't open data connection.")
            return True
        self.reply("150 Opening data connection.")
        if data is None:
            time.sleep(ARGS.late_data / 1000.0)
            data = self.open_data()
            if data is None:
                self.reply("425 Can't open data connection.")
                return True
        with data:
            if not kind:
                for chunk in chunks:
                    data.sendall(chunk)
            elif kind != "empty":
                part = b"".join(chunks)[:count] if in_bytes else b"".join(chunks[:count])
                data.sendall(part)
                if kind == "short":
                    data.close()
                    self.reply("226 Transfer complete.")
                    return True
                if kind == "kill":
                    os._exit(1)
                if kind == "hangup":
                    return False
                if kind == "stall":
                    # Holds both connections until the client gives up.
                    while self.rfile.read(1):
                        pass
                    return False
                data.close()
                self.reply("426 Connection closed; transfer aborted.")
                return True
        self.reply("226 Transfer complete.")
        return True

    def listing(self, arg, form):
        target = normalise(self.cwd, arg) if arg and not arg.startswith(b"-") else self.cwd
        p = real(target)
        if not os.path.isdir(p):
            self.reply("550 No such directory.")
            return True
        lines = []
        for name in sorted(os.listdir(p)):
            try:
                lines.append(form(p, name))
            except OSError:
                pass  # a broken link
        lines += EXTRA_LINES.get(target, [])
        for name in LOOPS:
            when = time.strftime("%b %d %Y", time.gmtime(os.stat(p).st_mtime))
            lines.append(("drwxr-xr-x 1 0 0 0 %s " % when).encode() + name + b"\r\n")
        return self.transfer(lines, mode_for(LIST_MODES, target))

    def cmd_MLSD(self, arg):
        if ARGS.no_mlsd:
            self.reply("500 Unknown command.")
            return True
        return self.listing(arg, mlsd_line)

    def cmd_LIST(self, arg):
        return self.listing(arg, list_line)

    def cmd_RETR(self, arg):
        target = normalise(self.cwd, arg)
        p = real(target)
        if not os.path.isfile(p):
            self.reply("550 No such file.")
            return True
        with open(p, "rb") as f:
            content = f.read()[0 if ARGS.rest_ignored else self.rest:]
        self.rest = 0
        mode = mode_for(RETR_MODES, os.path.basename(target))
        # Counts are bytes for files.
        return self.transfer([content], mode and (mode[0], mode[1], True))

    def cmd_STOR(self, arg):
        p = real(normalise(self.cwd, arg))
        if ARGS.stor_refuse and os.path.basename(p).startswith(os.fsencode(ARGS.stor_refuse)):
            self.reply("553 File name not allowed.")
            return True
        data = self.open_data()
        if data is None:
            self.reply("425 Can't open data connection.")
            return True
        self.reply("150 Ready.")
        with data, open(p, "wb") as f:
            received = 0
            while True:
                chunk = data.recv(65536)
                if not chunk:
                    break
                if 0 <= ARGS.stor_hangup <= received + len(chunk):
                    f.write(chunk[:ARGS.stor_hangup - received])
                    return False
                if 0 <= ARGS.stor_stall <= received < ARGS.stor_stall + len(chunk):
                    time.sleep(2)
                received += len(chunk)
                f.write(chunk)
        self.reply("226 Stored.")
        return True


if __name__ == "__main__":
    serve(Handler, "ftp")
