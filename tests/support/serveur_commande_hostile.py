#!/usr/bin/python3
"""An instrument's command channel that misbehaves on purpose, on 127.0.0.1.

Prints "LISTEN command <port>" then "READY"; for every connection
"CONNECTION", and for every command line received "CMD <hex of its bytes>".
Until the command --at names (default "*IDN?") it answers as a sound
instrument: "0" to "*STB?" and "*ESR?", --idn to "*IDN?", nothing to the
others. At that command it does what --mode says:

    ok        answers it as above
    cut       closes the connection without a reply
    stall     never answers, and keeps the connection open
    endless   sends one reply line that never ends, until the client leaves
    nul       answers with NUL bytes inside the reply ("KRX\\0 15"-like)
    half      sends the start of the reply, then closes mid-line
    before    sends a line nobody asked for (--stray), then the reply
    after     sends the reply, then a line nobody asked for
    late      sends the reply after --delay seconds
    stream    sends --stray lines without end, until the client leaves

--at CONNECT misbehaves on accepting the connection, before any command
(cut: closes at once; before: a greeting line; stream: a stream).
--idn TEXT       the identification (default a sound one); may lie in its shape
--stray TEXT     the line nobody asked for (default one shaped like an identification)
"""

import argparse
import socket
import socketserver
import time

from serveur_commun import say, serve

SOUND_IDN = "Hostile Optics,KRX 15,HX0001,2.07"
STRAY = "Liar Optics,FAKE-9,LX0001,6.66"
MODES = ["ok", "cut", "stall", "endless", "nul", "half", "before", "after", "late", "stream"]


def parse_args():
    p = argparse.ArgumentParser()
    p.add_argument("--mode", default="ok", choices=MODES)
    p.add_argument("--at", default="*IDN?")
    p.add_argument("--idn", default=SOUND_IDN)
    p.add_argument("--stray", default=STRAY)
    p.add_argument("--delay", type=float, default=1.0)
    return p.parse_args()


ARGS = parse_args()


class Handler(socketserver.BaseRequestHandler):
    def send(self, data):
        self.request.sendall(data)

    def wait_for_close(self):
        try:
            while self.request.recv(4096):
                pass
        except OSError:
            pass

    def answer(self, command):
        if command in ("*STB?", "*ESR?"):
            return b"0\n"
        if command == "*IDN?":
            return ARGS.idn.encode("latin-1", "replace") + b"\n"
        return None

    def misbehave(self, command):
        """False ends the connection."""
        mode = ARGS.mode
        sound = self.answer(command) or b"0\n"
        if mode == "cut":
            return False
        if mode == "stall":
            self.wait_for_close()
            return False
        if mode == "endless":
            chunk = b"x" * 65536
            try:
                while True:
                    self.send(chunk)
            except OSError:
                return False
        stray = ARGS.stray.encode("latin-1", "replace") + b"\r\n"
        if mode == "stream":
            try:
                while True:
                    self.send(stray * 64)
            except OSError:
                return False
        if mode == "before":
            self.send(stray + (self.answer(command) or b""))
        elif mode == "after":
            self.send((self.answer(command) or b"") + stray)
        elif mode == "late":
            time.sleep(ARGS.delay)
            self.send(self.answer(command) or b"")
        if mode == "nul":
            self.send(sound[:3] + b"\0" + sound[3:])
        elif mode == "half":
            self.send(sound[: max(1, len(sound) // 2)])
            return False
        elif mode == "ok":
            reply = self.answer(command)
            if reply:
                self.send(reply)
        return True

    def handle(self):
        say("CONNECTION")
        pending = b""
        try:
            if ARGS.at.upper() == "CONNECT" and not self.misbehave("CONNECT"):
                return
            while True:
                data = self.request.recv(4096)
                if not data:
                    return
                pending += data
                while b"\n" in pending:
                    line, _, pending = pending.partition(b"\n")
                    line = line.rstrip(b"\r")
                    say("CMD " + line.hex())
                    command = line.decode("latin-1").split(" ", 1)[0].upper()
                    if command == ARGS.at.upper():
                        if not self.misbehave(command):
                            return
                    else:
                        reply = self.answer(command)
                        if reply:
                            self.send(reply)
        except OSError:
            pass
        finally:
            try:
                self.request.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass


if __name__ == "__main__":
    serve(Handler, "command")
