#!/usr/bin/python3
"""The files of deploy/ hold together: the Kubernetes manifests parse and hold
the fields the README explains, the Containerfile builds in one stage and
ships on a slim base, and the systemd units run the tool as the README says.
   manifests.py SOURCE_DIR"""
import os
import re
import shlex
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

import yaml

SRC = Path(sys.argv[1])
DEPLOY = SRC / "deploy"
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


def kubernetes():
    docs = list(yaml.safe_load_all((DEPLOY / "kubernetes/otdr-collect.yaml").read_text()))
    by_kind = {d["kind"]: d for d in docs}
    check(sorted(by_kind) == ["ConfigMap", "CronJob", "PersistentVolumeClaim"], "kinds: %s" % sorted(by_kind))
    cron = by_kind["CronJob"]["spec"]
    job = cron["jobTemplate"]["spec"]
    pod = job["template"]["spec"]
    check(cron["concurrencyPolicy"] == "Forbid", "concurrencyPolicy is not Forbid")
    check(job["completionMode"] == "Indexed", "completionMode is not Indexed")
    n = job["completions"]
    check(job["parallelism"] == n, "parallelism differs from completions")
    check(isinstance(job.get("backoffLimit"), int), "no backoffLimit")
    check(job.get("backoffLimitPerIndex") == 1, "backoffLimitPerIndex is not 1")
    check(pod["restartPolicy"] == "Never", "restartPolicy is not Never")
    rules = {tuple(r["onExitCodes"]["values"]): r["action"] for r in job["podFailurePolicy"]["rules"]
             if "onExitCodes" in r}
    check(rules == {(2,): "FailJob", (1,): "FailIndex"}, "podFailurePolicy: %s" % rules)
    (container,) = pod["containers"]
    args = container["args"]
    check(args[args.index("--shard") + 1] == "$(JOB_COMPLETION_INDEX)/%d" % n,
          "--shard does not take the pod's index out of %d: %s" % (n, args))
    fleet = args[args.index("--fleet") + 1]
    check(args[-3:] == ["sync", "/Traces", "/traces"], "the pod does not sync /Traces into /traces: %s" % args)
    mounts = {m["name"]: m["mountPath"] for m in container["volumeMounts"]}
    volumes = {v["name"]: v for v in pod["volumes"]}
    check(mounts.get("fleet") == str(Path(fleet).parent), "the fleet file's directory is not mounted")
    check(volumes["fleet"]["configMap"]["name"] == by_kind["ConfigMap"]["metadata"]["name"],
          "the fleet volume is not the ConfigMap")
    check(Path(fleet).name in by_kind["ConfigMap"]["data"], "the ConfigMap has no %s" % Path(fleet).name)
    check(mounts.get("traces") == "/traces", "the traces volume is not at /traces")
    check(volumes["traces"]["persistentVolumeClaim"]["claimName"] ==
          by_kind["PersistentVolumeClaim"]["metadata"]["name"], "the traces volume is not the claim")
    check("ReadWriteMany" in by_kind["PersistentVolumeClaim"]["spec"]["accessModes"],
          "the claim does not allow many writers")
    # The root file system is read-only: the tool's scratch space is a volume.
    check(mounts.get("tmp") == "/tmp", "no writable /tmp")
    return n


def containerfile():
    text = (DEPLOY / "Containerfile").read_text()
    stages = re.findall(r"^FROM (\S+)(?: AS (\S+))?$", text, re.M)
    check([s[0] for s in stages] == ["debian:bookworm", "debian:bookworm-slim"], "stages: %s" % stages)
    final = text.split("FROM debian:bookworm-slim", 1)[-1]
    check("COPY --from=%s " % stages[0][1] in final, "the last stage does not take the first one's build")
    check("build-essential" not in final and "cmake" not in final, "the shipped image carries the build tools")
    check(re.search(r'^ENTRYPOINT \["/usr/bin/otdr"\]$', final, re.M), "the entry point is not /usr/bin/otdr")
    check(re.search(r"^USER \d+$", final, re.M), "the image runs as root")


def systemd():
    unit = (DEPLOY / "systemd/otdr-sync@.service.in").read_text()
    start = re.search(r"^ExecStart=(.*)$", unit, re.M).group(1)
    words = shlex.split(start)
    check(words[0] == "@CMAKE_INSTALL_FULL_BINDIR@/otdr", "the service does not run the installed otdr")
    check(words[1:3] == ["--fleet", "${FLEET}"] and words[-3] == "sync", "ExecStart: %s" % start)
    check(re.search(r"^User=otdr$", unit, re.M), "the service does not run as otdr")
    check(re.search(r"^EnvironmentFile=-/etc/otdr/%i\.conf$", unit, re.M), "no /etc/otdr/%i.conf")
    users = (DEPLOY / "systemd/otdr.sysusers").read_text()
    check(re.search(r"^u otdr ", users, re.M), "the sysusers file does not create otdr")
    timer = (DEPLOY / "systemd/otdr-sync@.timer.in").read_text()
    check(re.search(r"^Persistent=true$", timer, re.M), "the timer does not catch up a missed night")
    verify_units()


def verify_units():
    """systemd's own reading of the units: any complaint fails."""
    if not shutil.which("systemd-analyze"):
        print("manifests: no systemd-analyze here: the units' syntax is not checked")
        return
    with tempfile.TemporaryDirectory(prefix="otdr-units.") as d:
        os.symlink(shutil.which("true"), Path(d) / "otdr")
        for u in ("otdr-sync@.service", "otdr-sync@.timer"):
            text = (DEPLOY / "systemd" / (u + ".in")).read_text().replace("@CMAKE_INSTALL_FULL_BINDIR@", d)
            (Path(d) / u).write_text(text)
        r = subprocess.run(["systemd-analyze", "verify", "--man=no", "otdr-sync@night.service",
                            "otdr-sync@night.timer"], cwd=d, capture_output=True, text=True, timeout=60)
        complaints = (r.stdout + r.stderr).strip()
        check(r.returncode == 0 and not complaints, "systemd-analyze verify: %s" % complaints)


def readme(n):
    text = (SRC / "README.md").read_text()
    for name in ("deploy/Containerfile", "deploy/kubernetes/otdr-collect.yaml", "otdr-sync@", "--shard"):
        check(name in text, "the README does not name %s" % name)
    check("$(JOB_COMPLETION_INDEX)/%d" % n in text, "the README's pod command differs from the manifest's")


n = kubernetes()
containerfile()
systemd()
readme(n)
for f in failures:
    print("manifests: " + f, file=sys.stderr)
if failures:
    sys.exit(1)
print("manifests: ok (%d shards)" % n)
