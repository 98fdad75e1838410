#!/usr/bin/python3
"""Soak: many short sessions against one simulator, to show what leaks.

    bench/soak/soak.py [BUILD_DIR] [--identify N] [--get N]

Against one otdr-sim (a long-lived process), first the otdr tool as a field
engineer runs it: N identify runs (1000) and N get -r of /Traces (200), each
a process of its own; then soak_client (BUILD_DIR/bench, built with
OTDR_BUILD_BENCH) does the same runs through the library in one long-lived
process. Prints every failure, and how the descriptors, threads and resident
memory (from /proc) of the simulator and of soak_client moved. A benchmark,
not a test: it judges nothing but failures (exit 1 when a run failed).
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


def parse_args():
    p = argparse.ArgumentParser()
    p.add_argument("build", nargs="?", default=os.path.join(ROOT, "build-release"))
    p.add_argument("--identify", type=int, default=1000)
    p.add_argument("--get", type=int, default=200)
    return p.parse_args()


def sample(pid):
    """(fds, threads, RSS KiB) of a live process."""
    fds = len(os.listdir("/proc/%d/fd" % pid))
    fields = {}
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            key, _, value = line.partition(":")
            fields[key] = value.split()
    return fds, int(fields["Threads"][0]), int(fields["VmRSS"][0])


class Growth:
    """First and last samples of one process during one phase, and the peak."""

    def __init__(self, who, phase):
        self.who, self.phase = who, phase
        self.samples = []

    def add(self, s):
        self.samples.append(s)

    def line(self):
        if not self.samples:
            return "%-12s %-18s (no sample)" % (self.who, self.phase)
        f, l = self.samples[0], self.samples[-1]
        p = tuple(max(s[i] for s in self.samples) for i in range(3))
        # What the first tenth of the runs left (caches, pools) is not a leak;
        # what grows after it is.
        w = self.samples[min(1, len(self.samples) - 1)]
        return ("%-12s %-18s fds %3d -> %3d (peak %d, %+d after the first tenth)  threads %2d -> %2d (peak %d, %+d)"
                "  RSS %6d -> %6d KiB (%+d)" % (self.who, self.phase, f[0], l[0], p[0], l[0] - w[0], f[1], l[1], p[1],
                                               l[1] - w[1], f[2], l[2], l[2] - w[2]))


def start_simulator(work):
    # The system Python: the simulator's FTP server needs its pyftpdlib.
    sim = subprocess.Popen(["/usr/bin/python3", os.path.join(ROOT, "apps/otdr-sim/otdr-sim"),
                            "--port", "0", "--ftp-port", "0"], stdout=subprocess.PIPE, text=True, cwd=work)
    ports = {}
    for line in sim.stdout:
        words = line.split()
        if words[:1] == ["LISTEN"]:
            ports[words[1]] = int(words[2])
        if words == ["READY"]:
            return sim, ports["command"], ports["ftp"]
    raise SystemExit("the simulator did not start")


def main():
    args = parse_args()
    otdr = os.path.join(args.build, "apps/otdr/otdr")
    client = os.path.join(args.build, "bench/soak_client")
    for path in (otdr, client):
        if not os.access(path, os.X_OK):
            raise SystemExit("%s is missing: build with -DOTDR_BUILD_BENCH=ON (./run bench)" % path)
    work = tempfile.mkdtemp(prefix="otdr-soak-")
    failures = []
    growths = []
    sim = None
    try:
        sim, port, ftp_port = start_simulator(work)
        env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(work, "config"))
        base = [otdr, "--profile", os.path.join(work, "p.ini"), "--address", "127.0.0.1",
                "--port", str(port), "--ftp-port", str(ftp_port)]
        copy = os.path.join(work, "copy")

        runs = [("identify", args.identify, ["identify"]), ("get -r", args.get, ["get", "-r", "/Traces", copy])]
        print("otdr-sim on ports %d/%d; %d identify and %d get -r runs of the otdr tool, then of soak_client"
              % (port, ftp_port, args.identify, args.get), flush=True)
        for name, count, command in runs:
            growth = Growth("otdr-sim", "otdr " + name)
            growth.add(sample(sim.pid))
            started = time.monotonic()
            for i in range(1, count + 1):
                shutil.rmtree(copy, ignore_errors=True)
                r = subprocess.run(base + command, env=env, capture_output=True, text=True, errors="replace")
                if r.returncode != 0:
                    failures.append("otdr %s run %d: exit %d: %s" % (name, i, r.returncode, r.stderr.strip()))
                if i % max(1, count // 10) == 0:
                    growth.add(sample(sim.pid))
            print("otdr %-9s %5d runs in %6.1f s" % (name, count, time.monotonic() - started), flush=True)
            growths.append(growth)

        started = time.monotonic()
        proc = subprocess.Popen([client, "127.0.0.1", str(port), str(ftp_port), str(args.identify), str(args.get),
                                 "/Traces", copy], stdout=subprocess.PIPE, text=True, errors="replace")
        own = {}
        sim_growth = {}
        for line in proc.stdout:
            words = line.split(" ", 3)
            if words[0] == "SAMPLE":
                fields = line.split()
                phase = fields[1]
                own.setdefault(phase, Growth("soak_client", "library " + phase)).add(tuple(map(int, fields[3:6])))
                sim_growth.setdefault(phase, Growth("otdr-sim", "library " + phase)).add(sample(sim.pid))
            elif words[0] == "FAIL":
                failures.append("soak_client %s run %s: %s" % (words[1], words[2], words[3].strip()))
        proc.wait()
        if proc.returncode != 0:
            failures.append("soak_client exited with %d" % proc.returncode)
        print("soak_client        %5d runs in %6.1f s" % (args.identify + args.get, time.monotonic() - started))
        growths += list(own.values()) + list(sim_growth.values())
    finally:
        if sim:
            sim.terminate()
            sim.wait()
        shutil.rmtree(work, ignore_errors=True)

    print("\nGrowth (before a phase -> after it; the peak; the growth after its first tenth of runs):")
    for g in growths:
        print("  " + g.line())
    print("\n%d failed run(s)" % len(failures))
    for f in failures[:50]:
        print("  " + f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
