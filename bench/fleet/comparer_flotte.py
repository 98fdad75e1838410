#!/usr/bin/python3
"""A fleet of simulated instruments collected one at a time and eight at a time.

Times the whole `otdr --fleet FILE --jobs N get -r /Traces DIR` process with
--jobs 1 and --jobs 8 against COUNT simulators (default 20), interleaved,
ROUNDS rounds (at least 7, default 7), the starting setting rotating each round.
Each run meets fresh simulators in a fresh network namespace of its own, or,
where namespaces are not available, the same simulators once no socket is left
in TIME_WAIT (bench/isolement.py; the first line printed says which): one
collection leaves a few hundred, and the next would pay for them. Prints the
median wall time of each setting with its range, and the ratio of --jobs 1 to
--jobs 8 (how many times faster eight at a time is) with the range of the
round-by-round ratios.

    bench/fleet/comparer_flotte.py BUILD_DIR [--count N] [--rounds N] [--drain]
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
SIM = os.path.join(ROOT, "apps", "otdr-sim", "otdr-sim")
PYTHON = "/usr/bin/python3"  # the one pyftpdlib is installed for
sys.path.insert(0, os.path.dirname(HERE))
from isolement import Isolement, summary, wait_port  # noqa: E402


def simulators(count, isolement):
    """The simulators' specs (command and FTP ports fixed: in a namespace of
    their own every port is free), and in drain mode the running processes."""
    specs, procs = [], []
    for i in range(count):
        if isolement.mode == "namespace":
            ports = {"command": 14000 + i, "ftp": 21000 + i}
        else:
            proc = subprocess.Popen([PYTHON, SIM, "--port", "0", "--ftp-port", "0"],
                                    stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
            procs.append(proc)
            ports = {}
            for line in proc.stdout:
                words = line.split()
                if words[:1] == ["LISTEN"]:
                    ports[words[1]] = int(words[2])
                elif words == ["READY"]:
                    break
            if len(ports) != 2:
                raise RuntimeError("a simulator did not start")
        specs.append({"argv": [PYTHON, SIM, "--port", str(ports["command"]), "--ftp-port",
                               str(ports["ftp"])], "port": ports["ftp"], "ports": ports})
    return specs, procs


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build_dir")
    parser.add_argument("--count", type=int, default=20)
    parser.add_argument("--rounds", type=int, default=7)
    parser.add_argument("--drain", action="store_true", help="wait for TIME_WAIT to drain instead of namespaces")
    args = parser.parse_args()
    if args.rounds < 7:
        print("comparer_flotte: at least 7 rounds (a median and a range mean little below)", file=sys.stderr)
        return 2
    otdr = os.path.abspath(os.path.join(args.build_dir, "apps", "otdr", "otdr"))
    isolement = Isolement("drain" if args.drain else None)
    work = tempfile.mkdtemp(prefix="otdr-fleet-bench-")
    procs = []
    try:
        specs, procs = simulators(args.count, isolement)
        fleet = os.path.join(work, "fleet.txt")
        with open(fleet, "w") as f:
            for i, s in enumerate(specs):
                f.write("sim%02d 127.0.0.1 %d %d\n" % (i + 1, s["ports"]["command"], s["ports"]["ftp"]))
        # Both ports of each simulator must answer before the clock starts.
        servers = [{"argv": s["argv"], "port": s["ports"]["ftp"], "also": [s["ports"]["command"]]} for s in specs]
        settings = [1, 8]
        times = {j: [] for j in settings}
        for r in range(args.rounds):
            for j in settings[r % 2:] + settings[:r % 2]:
                target = os.path.join(work, "jobs-%d" % j)
                shutil.rmtree(target, ignore_errors=True)
                argv = [otdr, "--fleet", fleet, "--jobs", str(j), "get", "-r", "/Traces", target]
                times[j].append(isolement.run(servers, argv, work)["seconds"])
        print("fleet of %d simulated instruments, get -r /Traces, %d interleaved rounds; %s; %d cores:"
              % (args.count, args.rounds, isolement.describe(), os.cpu_count()))
        for j in settings:
            med, lo, hi = summary(times[j])
            print("  --jobs %d  %6.2f s  (range %.2f-%.2f)" % (j, med, lo, hi))
        per_round = summary([a / b for a, b in zip(times[1], times[8]) if b > 0])
        print("  ratio --jobs 1 / --jobs 8: %.2f  (rounds %.2f-%.2f)"
              % (summary(times[1])[0] / summary(times[8])[0], per_round[1], per_round[2]))
    finally:
        for proc in procs:
            proc.terminate()
        for proc in procs:
            try:
                proc.wait(5)
            except subprocess.TimeoutExpired:
                proc.kill()
        shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
