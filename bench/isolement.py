#!/usr/bin/python3
"""Timed runs that no earlier run can slow down.

A run that opens many connections leaves as many sockets in TIME_WAIT, and the
runs after it pay for them. So each timed command runs either

- in a fresh network namespace (`unshare -n`, loopback brought up) with its own
  servers, started there before the clock starts and stopped after: nothing
  from an earlier run exists in it ("namespace" mode, needs root); or
- against servers that stay up, after waiting until no TCP socket of this
  machine is left in TIME_WAIT ("drain" mode, the fallback).

`Isolement().mode` says which; the comparison scripts print it.

A command is measured whole process: wall time around it, and the peak resident
set and CPU time (user + system) as /usr/bin/time reports them for it alone.

Run as a script, this file is the namespace side:
    isolement.py JSON   (servers to start, the command, its directory)
"""

import json
import os
import socket
import subprocess
import sys
import tempfile
import time

TIME = "/usr/bin/time"


def wait_port(host, port, limit=30):
    end = time.time() + limit
    while time.time() < end:
        try:
            socket.create_connection((host, port), timeout=1).close()
            return True
        except OSError:
            time.sleep(0.02)
    return False


def measure(argv, cwd):
    """Whole-process wall seconds, peak KiB and CPU seconds of one command."""
    # The peak comes from /usr/bin/time, a small parent: a child forked from
    # this Python process would count the interpreter's pages as its own.
    # The CPU time comes from wait4 (to the microsecond; /usr/bin/time prints
    # hundredths): the command's, and the little of /usr/bin/time around it.
    with tempfile.TemporaryFile() as err:
        start = time.perf_counter()
        proc = subprocess.Popen([TIME, "-f", "MEASURE %M"] + argv, cwd=cwd, stdout=subprocess.DEVNULL, stderr=err)
        _, status, usage = os.wait4(proc.pid, 0)
        seconds = time.perf_counter() - start
        proc.returncode = os.waitstatus_to_exitcode(status)
        err.seek(0)
        text = err.read().decode("utf-8", "replace")
    if proc.returncode != 0:
        raise RuntimeError("%s failed (%d): %s" % (" ".join(argv), proc.returncode, text[-400:]))
    fields = [l.split() for l in text.splitlines() if l.startswith("MEASURE ")]
    return {"seconds": seconds, "kib": int(fields[-1][1]) if fields else 0,
            "cpu": usage.ru_utime + usage.ru_stime}


def time_wait_count():
    """Loopback TCP sockets in TIME_WAIT (IPv4 127.0.0.0/8, in /proc's
    little-endian hex the address ends in 7F)."""
    n = 0
    try:
        with open("/proc/net/tcp") as f:
            next(f)
            for line in f:
                fields = line.split()
                if fields[3] == "06" and fields[1].split(":")[0].endswith("7F"):
                    n += 1
    except OSError:
        pass
    return n


class Isolement:
    def __init__(self, forced=None):
        if forced:
            self.mode = forced
        else:
            ok = subprocess.call(["unshare", "-n", "true"], stdout=subprocess.DEVNULL,
                                 stderr=subprocess.DEVNULL) == 0 if os.geteuid() == 0 else False
            self.mode = "namespace" if ok else "drain"

    def describe(self):
        if self.mode == "namespace":
            return "each run in a fresh network namespace (unshare -n) with its own servers"
        return "servers kept up; before each run, wait until no socket is left in TIME_WAIT"

    def run(self, servers, argv, cwd):
        """servers: [{"argv": [...], "host": "127.0.0.1", "port": N, "also": [ports]}]
        started in the namespace, all together, each waited for on its ports
        (namespace mode), or already running (drain mode)."""
        if self.mode == "drain":
            # Other programs on this machine may keep some: a bounded wait,
            # and the measure says how many were left.
            end = time.time() + 120
            while time_wait_count() > 0 and time.time() < end:
                time.sleep(0.5)
            left = time_wait_count()
            m = measure(argv, cwd)
            m["time_wait"] = left
            if left:
                print("isolement: %d loopback sockets still in TIME_WAIT after 120 s" % left, file=sys.stderr)
            return m
        plan = json.dumps({"servers": servers, "argv": argv, "cwd": cwd})
        out = subprocess.run(["unshare", "-n", sys.executable, os.path.abspath(__file__), plan],
                             stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        lines = [l for l in out.stdout.splitlines() if l.startswith("{")]
        if out.returncode != 0 or not lines:
            raise RuntimeError("isolated run failed: %s" % (out.stderr[-600:] or out.stdout[-600:]))
        return json.loads(lines[-1])


def inside(plan):
    subprocess.check_call(["ip", "link", "set", "lo", "up"])
    procs = []
    try:
        for s in plan["servers"]:
            procs.append(subprocess.Popen(s["argv"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                          cwd=s.get("cwd")))
        for s in plan["servers"]:
            for port in [s["port"]] + s.get("also", []):
                if not wait_port(s.get("host", "127.0.0.1"), port):
                    raise RuntimeError("%s did not start" % " ".join(s["argv"]))
        print(json.dumps(measure(plan["argv"], plan["cwd"])))
    finally:
        for p in procs:
            p.terminate()
        for p in procs:
            try:
                p.wait(5)
            except subprocess.TimeoutExpired:
                p.kill()


def summary(values):
    """Median, minimum and maximum."""
    s = sorted(values)
    n = len(s)
    med = s[n // 2] if n % 2 else (s[n // 2 - 1] + s[n // 2]) / 2
    return med, s[0], s[-1]


if __name__ == "__main__":
    inside(json.loads(sys.argv[1]))
