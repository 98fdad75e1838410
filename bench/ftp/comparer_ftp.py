#!/usr/bin/python3
"""Whole-process FTP comparison: the otdr CLI beside curl and lftp.

Every measure is a whole process against a whole process, login included,
in active mode on 127.0.0.1, against vsftpd and against the simulator
(pyftpdlib). Each timed command runs in a fresh network namespace with its own
server, or, where namespaces are not available, after the TIME_WAIT sockets of
earlier runs have drained (bench/isolement.py; the first line printed says
which): a tree copy leaves a thousand of them, and the runs after it would pay.
The tools run interleaved, ROUNDS rounds (at least 7), the starting tool
rotating each round; each line gives the median wall time and its range, the
median CPU time (user + system) and its range, the median peak memory (maximum
resident set), and the ratios of otdr's medians to the reference tool's (wall
time, and CPU time in brackets).

    bench/ftp/comparer_ftp.py BUILD_DIR [--rounds N] [--only NAME] [--drain]

Environment: OTDR_BENCH_ENTRIES (listing size, default 100000),
OTDR_BENCH_FILES (tree copy, default 1000), OTDR_BENCH_MIB (upload, default 256).
"""

import argparse
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.dirname(HERE))
from isolement import TIME, Isolement, summary, wait_port  # noqa: E402

# Ports inside a namespace of one's own are all free.
PORT_VSFTPD, PORT_SIM, PORT_SIM_COMMANDE = 2121, 2122, 1400


def free_port():
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    return port


class Servers:
    def __init__(self, base, entries, files, mib, isolement):
        self.base = base
        self.procs = []
        root = os.path.join(base, "root")
        os.makedirs(os.path.join(root, "many"))
        for i in range(entries):
            open(os.path.join(root, "many", "Site_%03d_F%06d_1550nm.sor" % (i % 37, i)), "w").close()
        tree = os.path.join(root, "tree")
        for i in range(files):
            d = os.path.join(tree, "d%02d" % (i % 10))
            os.makedirs(d, exist_ok=True)
            with open(os.path.join(d, "t%04d.sor" % i), "wb") as f:
                f.write(os.urandom(2048 + i % 4096))
        self.upload = os.path.join(base, "upload.bin")
        with open(self.upload, "wb") as f:
            block = os.urandom(1 << 20)
            for _ in range(mib):
                f.write(block)
        os.makedirs(os.path.join(root, "in"))
        os.chmod(root, 0o777)
        os.chmod(os.path.join(root, "in"), 0o777)
        self.root = root
        os.makedirs(os.path.join(base, "empty"))
        self.isolement = isolement
        if isolement.mode == "namespace":
            self.vs_port, self.sim_port = PORT_VSFTPD, PORT_SIM
        else:
            self.vs_port, self.sim_port = free_port(), free_port()
        # vsftpd: anonymous, every right, active mode.
        conf = os.path.join(base, "vsftpd.conf")
        with open(conf, "w") as f:
            f.write("listen=YES\nlisten_address=127.0.0.1\nlisten_port=%d\nlisten_ipv6=NO\nbackground=NO\n"
                    "anonymous_enable=YES\nno_anon_password=YES\nlocal_enable=NO\nanon_root=%s\n"
                    "write_enable=YES\nanon_upload_enable=YES\nanon_mkdir_write_enable=YES\n"
                    "anon_other_write_enable=YES\nanon_world_readable_only=NO\nallow_writeable_chroot=YES\n"
                    "port_enable=YES\nconnect_from_port_20=NO\nrun_as_launching_user=YES\nseccomp_sandbox=NO\n"
                    "xferlog_enable=NO\nsecure_chroot_dir=%s\n" % (self.vs_port, root, os.path.join(base, "empty")))
        # The simulator serves the same tree.
        self.plans = {
            "vsftpd": [{"argv": ["/usr/sbin/vsftpd", conf], "port": self.vs_port}],
            "sim": [{"argv": [os.path.join(ROOT, "apps/otdr-sim/otdr-sim"), "--port",
                              str(PORT_SIM_COMMANDE if isolement.mode == "namespace" else 0), "--ftp-port",
                              str(self.sim_port), "--ftp-root", root], "port": self.sim_port}],
        }
        if isolement.mode == "drain":
            for name in self.plans:
                for plan in self.plans[name]:
                    self.procs.append(subprocess.Popen(plan["argv"], stdout=subprocess.DEVNULL))
                    if not wait_port("127.0.0.1", plan["port"]):
                        raise RuntimeError("%s did not start" % plan["argv"][0])

    def measure(self, server, argv, cwd):
        """One timed run of argv against that server (vsftpd or sim)."""
        return self.isolement.run(self.plans[server], argv, cwd)

    def close(self):
        for p in self.procs:
            p.send_signal(signal.SIGTERM)
        for p in self.procs:
            try:
                p.wait(5)
            except subprocess.TimeoutExpired:
                p.kill()


def scenarios(build, srv, work):
    otdr = os.path.join(os.path.abspath(build), "apps/otdr/otdr")
    profile = os.path.join(work, "profile.ini")
    # vsftpd runs as the launching user without chroot: the login directory is its root.
    base_vs = srv.root
    servers = {
        "vsftpd": (srv.vs_port, "anonymous", "bench", base_vs),
        "sim": (srv.sim_port, "krx15", "brimola", ""),
    }
    out = os.path.join(work, "out")

    def otdr_cmd(port, user, password, *args):
        return [otdr, "--profile", profile, "--address", "127.0.0.1", "--ftp-port", str(port), "--user", user,
                "--password", password, "--progress", "never"] + list(args)

    def url(port, user, password, path):
        return "ftp://%s:%s@127.0.0.1:%d/%s" % (user, password, port, path.lstrip("/"))

    def lftp(port, user, password, commands):
        return ["lftp", "-c", "set ftp:passive-mode off; set net:max-retries 1; open -u %s,%s -p %d 127.0.0.1; %s"
                % (user, password, port, commands)]

    def clean():
        shutil.rmtree(out, ignore_errors=True)
        os.makedirs(out)

    result = []

    def scenario(title, server, reference, prepare, tools, pairs=(), sends=False):
        result.append({"title": title, "server": server, "reference": reference, "prepare": prepare,
                       "tools": tools, "pairs": pairs, "sends": sends})

    entries = os.environ.get("OTDR_BENCH_ENTRIES", "100000")
    nfiles = os.environ.get("OTDR_BENCH_FILES", "1000")
    for name, (port, user, password, base) in servers.items():
        path = lambda p: (base + "/" + p) if base else "/" + p
        scenario("listing of %s entries [%s]" % (entries, name), name, "curl", clean, {
            "otdr": otdr_cmd(port, user, password, "ls", path("many")),
            "curl": ["curl", "-s", "-P", "-", url(port, user, password, "many/")],
            "lftp": lftp(port, user, password, "cls -l many"),
        })
        scenario("get of one file from that directory [%s]" % name, name, "curl", clean, {
            "otdr": otdr_cmd(port, user, password, "get", path("many/Site_012_F000123_1550nm.sor"),
                             os.path.join(out, "one.sor")),
            "curl": ["curl", "-s", "-P", "-", "-o", os.path.join(out, "one.sor"),
                     url(port, user, password, "many/Site_012_F000123_1550nm.sor")],
            "lftp": lftp(port, user, password, "get many/Site_012_F000123_1550nm.sor -o %s" %
                         os.path.join(out, "one.sor")),
        })
        scenario("copy of a %s-file tree [%s]" % (nfiles, name), name, "lftp", clean, {
            "otdr": otdr_cmd(port, user, password, "get", "-r", path("tree"), os.path.join(out, "tree")),
            "lftp": lftp(port, user, password, "mirror tree %s" % os.path.join(out, "tree")),
        })
        if name != "vsftpd":
            continue
        # pyftpdlib (the simulator) stalls now and then on active-mode data
        # connections of concurrent sessions (lftp's too): vsftpd only.
        scenario("copy of a %s-file tree, 4 connections [%s]" % (nfiles, name), name, "lftp", clean, {
            "otdr": otdr_cmd(port, user, password, "--parallel", "4", "get", "-r", path("tree"),
                             os.path.join(out, "tree")),
            "otdr1": otdr_cmd(port, user, password, "get", "-r", path("tree"), os.path.join(out, "tree")),
            "lftp": lftp(port, user, password, "mirror --parallel=4 tree %s" % os.path.join(out, "tree")),
        }, [("otdr", "otdr1")])
        # Each tool syncs its own copy, made once by itself: every run measured
        # finds nothing to transfer. otdr compares the listing's times (LIST on
        # vsftpd, to the minute); lftp --only-newer asks MDTM of every file,
        # unless ftp:use-mdtm is off: both lines are like for like in part.
        copies = os.path.join(work, "copies")
        sync_cmds = {
            "otdr": otdr_cmd(port, user, password, "sync", path("tree"), os.path.join(copies, "otdr")),
            "lftp": lftp(port, user, password, "mirror --only-newer tree %s" % os.path.join(copies, "lftp")),
            "lftp-nomdtm": lftp(port, user, password, "set ftp:use-mdtm off; mirror --only-newer tree %s"
                                % os.path.join(copies, "lftp-nomdtm")),
        }

        def synced(name=name, sync_cmds=sync_cmds, copies=copies):
            if os.path.isdir(copies):
                return
            os.makedirs(copies)
            for argv in sync_cmds.values():
                srv.measure(name, argv, work)
        scenario("sync of an unchanged %s-file tree [%s]" % (nfiles, name), name, "lftp", synced, sync_cmds,
                 [("otdr", "lftp-nomdtm")], sends=True)
        scenario("upload of %s MiB, active mode [%s]" % (os.environ.get("OTDR_BENCH_MIB", "256"), name), name,
                 "curl", clean, {
                     "otdr": otdr_cmd(port, user, password, "put", srv.upload, path("in/up-otdr.bin")),
                     "curl": ["curl", "-s", "-P", "-", "-T", srv.upload, url(port, user, password, "in/up-curl.bin")],
                 })
    return result


def commands_sent(srv, argv, work):
    """The FTP commands one run of argv sends, counted by verb from a logging
    vsftpd (one run, not timed)."""
    log = os.path.join(work, "vsftpd-commands.log")
    if os.path.exists(log):
        os.remove(log)
    conf = os.path.join(work, "vsftpd-log.conf")
    with open(srv.plans["vsftpd"][0]["argv"][1]) as f, open(conf, "w") as g:
        g.write(f.read().replace("xferlog_enable=NO\n", "xferlog_enable=YES\nlog_ftp_protocol=YES\n"
                                 "xferlog_std_format=NO\nvsftpd_log_file=%s\n" % log))
    plans, srv.plans["vsftpd"] = srv.plans["vsftpd"], [{"argv": ["/usr/sbin/vsftpd", conf],
                                                         "port": srv.vs_port}]
    try:
        if srv.isolement.mode == "drain":
            return "(not counted: needs a namespace of its own)"
        srv.measure("vsftpd", argv, work)
    finally:
        srv.plans["vsftpd"] = plans
    counts = {}
    with open(log, errors="replace") as f:
        for line in f:
            if "FTP command:" in line:
                verb = line.split('"')[3].split()[0].upper() if line.count('"') >= 4 else "?"
                counts[verb] = counts.get(verb, 0) + 1
    return ", ".join("%s %d" % (v, n) for v, n in sorted(counts.items(), key=lambda x: -x[1]))


def report(sc, times, cpu, mem, names):
    reference = sc["reference"]
    ref, ref_cpu = summary(times[reference])[0], summary(cpu[reference])[0]
    for n in names:
        med, lo, hi = summary(times[n])
        cmed, clo, chi = summary(cpu[n])
        # The ratio of the medians, and the range of the ratios round by round.
        per_round = summary([x / y for x, y in zip(times[n], times[reference]) if y > 0])
        ratio = "%.2f %.2f-%.2f" % (med / ref, per_round[1], per_round[2]) if ref > 0 else "-"
        ratio_cpu = "(%.2f)" % (cmed / ref_cpu) if ref_cpu > 0 else "(-)"
        print("%-48s %-11s %7.3fs %6.3f-%-6.3f %7.3fs %6.3f-%-6.3f %8d %15s %7s" % (
            sc["title"] if n == names[0] else "", n, med, lo, hi, cmed, clo, chi, summary(mem[n])[0], ratio,
            ratio_cpu))
    # Ratios between two of the tools, measured in the same rounds, with the
    # range of the round-by-round ratio.
    for a, b in sc["pairs"]:
        per_round = [x / y for x, y in zip(times[a], times[b]) if y > 0]
        med, lo, hi = summary(per_round)
        print("%-48s %-11s %-40s %5.2f (rounds %.2f-%.2f)" % ("", a, "/ " + b, summary(times[a])[0] /
                                                               summary(times[b])[0], lo, hi))


def main():
    p = argparse.ArgumentParser()
    p.add_argument("build")
    p.add_argument("--rounds", type=int, default=7)
    p.add_argument("--only", default="")
    p.add_argument("--drain", action="store_true", help="wait for TIME_WAIT to drain instead of namespaces")
    args = p.parse_args()
    if args.rounds < 7:
        print("comparer_ftp: at least 7 rounds (a median and a range mean little below)", file=sys.stderr)
        return 2
    for tool in ("/usr/sbin/vsftpd", "/usr/bin/curl", "/usr/bin/lftp", TIME):
        if not os.access(tool, os.X_OK):
            print("comparer_ftp: needs %s" % tool, file=sys.stderr)
            return 1
    isolement = Isolement("drain" if args.drain else None)
    work = tempfile.mkdtemp(prefix="otdr-bench-cmp-")
    srv = None
    try:
        srv = Servers(work, int(os.environ.get("OTDR_BENCH_ENTRIES", "100000")),
                      int(os.environ.get("OTDR_BENCH_FILES", "1000")), int(os.environ.get("OTDR_BENCH_MIB", "256")),
                      isolement)
        print("whole process against whole process, login included, %d interleaved rounds; %s; %d cores"
              % (args.rounds, isolement.describe(), os.cpu_count()))
        print("%-48s %-11s %8s %13s %8s %13s %8s %15s %7s" % ("", "tool", "wall", "range (s)", "cpu", "range (s)",
                                                           "peak KiB", "ratio  range", "(cpu)"))
        for sc in scenarios(args.build, srv, work):
            if args.only and args.only not in sc["title"]:
                continue
            names = list(sc["tools"])
            times, cpu, mem = ({n: [] for n in names} for _ in range(3))
            for r in range(args.rounds):
                for n in names[r % len(names):] + names[:r % len(names)]:
                    sc["prepare"]()
                    m = srv.measure(sc["server"], sc["tools"][n], work)
                    times[n].append(m["seconds"])
                    cpu[n].append(m["cpu"])
                    mem[n].append(m["kib"])
            report(sc, times, cpu, mem, names)
            if sc["sends"]:
                for n in names:
                    print("%-48s %-11s sends: %s" % ("", n, commands_sent(srv, sc["tools"][n], work)))
            sys.stdout.flush()
    finally:
        if srv:
            srv.close()
        shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
