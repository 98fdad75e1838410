#!/usr/bin/python3
"""A small FTP server that misbehaves on purpose, on 127.0.0.1.

Prints "LISTEN ftp <port>" then "READY"; for every connection "CONNECTION",
and for every command line received "CMD <hex of its bytes>" (USER and PASS
included: the tests check the bytes that travel).

--greeting MODE   what a new connection gets:
    ok      "220 ready", then a working server (below)
    cut     the first lines of a multi-line 220- greeting, then the connection closes
    stall   nothing at all: the connection stays open and silent
    busy    "421 Too many connections", then the connection closes
--late-connect S  LIST and RETR answer 150 first, then open the active data
                  connection S seconds later (S may be "random:MAX"), as some
                  embedded servers do
--entries N       the listing holds N files (default 50)

The working server knows USER, PASS (any password but "wrong"), PWD, CWD,
TYPE, PORT, EPRT, NOOP, FEAT (500), MLSD (500, as servers without it), LIST,
RETR (each file holds its own name), SIZE, MDTM (500) and QUIT.
"""

import argparse
import random
import socket
import sys
import threading
import time

from serveur_commun import say


def parse_args():
    p = argparse.ArgumentParser()
    p.add_argument("--greeting", default="ok", choices=["ok", "cut", "stall", "busy"])
    p.add_argument("--late-connect", default="0")
    p.add_argument("--entries", type=int, default=50)
    return p.parse_args()


ARGS = parse_args()


def delay():
    reglage = ARGS.late_connect
    if reglage.startswith("random:"):
        return random.random() * float(reglage.split(":", 1)[1])
    return float(reglage)


def listing():
    return b"".join(b"-rw-r--r-- 1 0 0 %d Jan 01  2024 f%04d.sor\r\n" % (len(b"f%04d.sor" % i), i)
                    for i in range(ARGS.entries))


def serve(conn):
    def send(text):
        conn.sendall(text.encode("latin-1") + b"\r\n")

    if ARGS.greeting == "stall":
        time.sleep(3600)
        return
    if ARGS.greeting == "cut":
        conn.sendall(b"220-Welcome to the instrument\r\n220-Please wait")
        conn.close()
        return
    if ARGS.greeting == "busy":
        send("421 Too many connections")
        conn.close()
        return
    send("220 ready")
    reader = conn.makefile("rb")
    port = None
    cwd = "/"
    while True:
        raw = reader.readline()
        if not raw:
            break
        say("CMD " + raw.rstrip(b"\r\n").hex())
        line = raw.decode("latin-1").rstrip("\r\n")
        cmd, _, arg = line.partition(" ")
        cmd = cmd.upper()
        if cmd == "USER":
            send("331 password please")
        elif cmd == "PASS":
            send("530 Login incorrect." if arg == "wrong" else "230 logged in")
        elif cmd == "PWD":
            send('257 "%s"' % cwd)
        elif cmd == "CWD":
            cwd = arg if arg.startswith("/") else cwd.rstrip("/") + "/" + arg
            send("250 ok")
        elif cmd in ("TYPE", "NOOP"):
            send("200 ok")
        elif cmd == "EPRT":
            parts = arg.split(arg[0])
            port = (parts[2], int(parts[3]))
            send("200 ok")
        elif cmd == "PORT":
            n = arg.split(",")
            port = (".".join(n[:4]), int(n[4]) * 256 + int(n[5]))
            send("200 ok")
        elif cmd in ("LIST", "RETR"):
            data = listing() if cmd == "LIST" else arg.encode("latin-1")
            send("150 opening data connection")
            time.sleep(delay())
            try:
                d = socket.create_connection(port, timeout=5)
                d.sendall(data)
                d.close()
                send("226 done")
            except OSError:
                send("425 cannot open data connection")
        elif cmd == "QUIT":
            send("221 bye")
            break
        else:
            send("500 unknown command")
    conn.close()


def main():
    s = socket.socket()
    s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    s.bind(("127.0.0.1", 0))
    s.listen(16)
    say("LISTEN ftp %d" % s.getsockname()[1])
    say("READY")
    while True:
        conn, _ = s.accept()
        say("CONNECTION")
        threading.Thread(target=serve, args=(conn,), daemon=True).start()


if __name__ == "__main__":
    try:
        main()
    except KeyboardInterrupt:
        sys.exit(0)
