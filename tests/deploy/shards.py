#!/usr/bin/python3
"""Every shard of a fleet run the way deploy/kubernetes/otdr-collect.yaml runs
them: the pod's arguments taken from the manifest, $(JOB_COMPLETION_INDEX) made
0..N-1, all at once, against simulators on 127.0.0.1, with fewer instruments
than shards. Each instrument must be collected by exactly one shard, and the
shards left without an instrument must succeed.
   shards.py OTDR SIMULATOR MANIFEST"""
import os
import subprocess
import sys
import tempfile
from pathlib import Path

import yaml

OTDR, SIM, MANIFEST = sys.argv[1:4]
INSTRUMENTS = ["north-hut", "south-hut", "pop-7"]


def start_simulator(work):
    p = subprocess.Popen([SIM, "--port", "0", "--ftp-port", "0"], stdout=subprocess.PIPE,
                         stderr=open(work / "sim.err", "ab"), text=True)
    ports = {}
    for line in p.stdout:
        words = line.split()
        if words == ["READY"]:
            return p, ports["command"], ports["ftp"]
        if len(words) == 3 and words[0] == "LISTEN":
            ports[words[1]] = int(words[2])
    raise RuntimeError("the simulator did not start: " + (work / "sim.err").read_text())


def pod_args(work, fleet):
    """The container's arguments, with the pod's paths made the test's own."""
    cron = next(d for d in yaml.safe_load_all(open(MANIFEST)) if d["kind"] == "CronJob")
    job = cron["spec"]["jobTemplate"]["spec"]
    args = job["template"]["spec"]["containers"][0]["args"]
    args = [str(fleet) if a == "/etc/otdr/fleet.txt" else str(work / "traces") if a == "/traces" else a
            for a in args]
    return job["completions"], args


def main():
    failures = []
    with tempfile.TemporaryDirectory(prefix="otdr-shards.") as d:
        work = Path(d)
        sims = []
        try:
            lines = ["# the bench", ""]
            for name in INSTRUMENTS:
                p, port, ftp = start_simulator(work)
                sims.append(p)
                lines.append("%s 127.0.0.1 %d %d   # one simulator each" % (name, port, ftp))
            fleet = work / "fleet.txt"
            fleet.write_text("\n".join(lines) + "\n")
            n, args = pod_args(work, fleet)
            if n <= len(INSTRUMENTS):
                failures.append("the manifest has %d shards: this test needs more than %d" % (n, len(INSTRUMENTS)))
            env = dict(os.environ, XDG_CONFIG_HOME=str(work / "config"))
            env.pop("OTDR_PASSWORD", None)
            pods = []
            for i in range(n):
                argv = [OTDR] + [a.replace("$(JOB_COMPLETION_INDEX)", str(i)) for a in args]
                pods.append(subprocess.Popen(argv, env=dict(env, JOB_COMPLETION_INDEX=str(i)),
                                             stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True))
            results = [(p.communicate(timeout=120), p.returncode) for p in pods]
            files = {name: sum(1 for f in (work / "traces" / name).rglob("*") if f.is_file()) for name in INSTRUMENTS}
        finally:
            for p in sims:
                p.terminate()
                p.wait()

        collected = {name: [] for name in INSTRUMENTS}
        for i, ((out, err), status) in enumerate(results):
            if status != 0:
                failures.append("shard %d/%d ended with status %d: %s" % (i, n, status, err))
            names = {line.split(":", 1)[0] for line in out.splitlines()}
            for name in names:
                collected.setdefault(name, []).append(i)
            if not names and "has no instrument" not in err:
                failures.append("shard %d/%d collected nothing and did not say so: %r" % (i, n, err))
        for name, shards in collected.items():
            if len(shards) != 1:
                failures.append("%s was collected by the shards %s" % (name, shards))
            elif files.get(name, 0) == 0:
                failures.append("%s: nothing in traces/%s" % (name, name))
        empty = sum(1 for (out, _), _s in results if not out)
        if empty != n - len(INSTRUMENTS):
            failures.append("%d empty shards, expected %d" % (empty, n - len(INSTRUMENTS)))
    for f in failures:
        print("shards: " + f, file=sys.stderr)
    if failures:
        sys.exit(1)
    print("shards: %d instruments over %d shards, each collected once (%s files)"
          % (len(INSTRUMENTS), n, "/".join(str(files[x]) for x in INSTRUMENTS)))


main()
