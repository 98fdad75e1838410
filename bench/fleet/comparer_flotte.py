#!/usr/bin/python3
"""A fleet of simulated instruments collected one at a time and eight at a time.

Starts COUNT simulators (default 20) on 127.0.0.1, writes their fleet file and
times the whole `otdr --fleet FILE --jobs N get -r /Traces DIR` process with
--jobs 1 and --jobs 8, interleaved, ROUNDS rounds (default 3), the starting
setting rotating each round. Prints the median wall time of each and the ratio
of --jobs 1 to --jobs 8 (how many times faster eight at a time is).

    bench/fleet/comparer_flotte.py BUILD_DIR [--count N] [--rounds N]
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
SIM = os.path.join(ROOT, "apps", "otdr-sim", "otdr-sim")


def start_simulator():
    proc = subprocess.Popen([sys.executable, SIM, "--port", "0", "--ftp-port", "0"],
                            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    ports = {}
    for line in proc.stdout:
        words = line.split()
        if words[:1] == ["LISTEN"]:
            ports[words[1]] = int(words[2])
        elif words == ["READY"]:
            return proc, ports
    raise RuntimeError("a simulator did not start")


def collect(otdr, fleet, jobs, work):
    target = os.path.join(work, "jobs-%d" % jobs)
    shutil.rmtree(target, ignore_errors=True)
    start = time.perf_counter()
    code = subprocess.call([otdr, "--fleet", fleet, "--jobs", str(jobs), "get", "-r", "/Traces", target],
                           stdout=subprocess.DEVNULL)
    seconds = time.perf_counter() - start
    if code != 0:
        raise RuntimeError("otdr --jobs %d ended with status %d" % (jobs, code))
    return seconds


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build_dir")
    parser.add_argument("--count", type=int, default=20)
    parser.add_argument("--rounds", type=int, default=3)
    args = parser.parse_args()
    otdr = os.path.join(args.build_dir, "apps", "otdr", "otdr")

    sims = []
    work = tempfile.mkdtemp(prefix="otdr-fleet-bench-")
    try:
        for _ in range(args.count):
            sims.append(start_simulator())
        fleet = os.path.join(work, "fleet.txt")
        with open(fleet, "w") as f:
            for i, (_, ports) in enumerate(sims):
                f.write("sim%02d 127.0.0.1 %d %d\n" % (i + 1, ports["command"], ports["ftp"]))
        settings = [1, 8]
        times = {j: [] for j in settings}
        collect(otdr, fleet, 8, work)   # warm-up: simulators generate and cache their traces
        for r in range(args.rounds):
            for j in settings[r % 2:] + settings[:r % 2]:
                times[j].append(collect(otdr, fleet, j, work))
        one, eight = statistics.median(times[1]), statistics.median(times[8])
        print("fleet of %d simulated instruments, get -r /Traces (median of %d):" % (args.count, args.rounds))
        print("  --jobs 1  %6.2f s" % one)
        print("  --jobs 8  %6.2f s" % eight)
        print("  ratio --jobs 1 / --jobs 8: %.2f" % (one / eight))
    finally:
        for proc, _ in sims:
            proc.terminate()
        for proc, _ in sims:
            try:
                proc.wait(5)
            except subprocess.TimeoutExpired:
                proc.kill()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
