#!/usr/bin/python3
"""Whole-process FTP comparison: the otdr CLI beside curl and lftp.

Every measure is a whole process against a whole process, login included,
in active mode on 127.0.0.1, against vsftpd and against the simulator
(pyftpdlib). The tools run interleaved, ROUNDS rounds (default 7), the starting
tool rotating each round; each line gives the median wall time and its range,
the median peak memory (maximum resident set), and the ratio of otdr's median
to the reference tool's.

    bench/ftp/comparer_ftp.py BUILD_DIR [--rounds N] [--only NAME]

Environment: OTDR_BENCH_ENTRIES (listing size, default 100000),
OTDR_BENCH_FILES (tree copy, default 1000), OTDR_BENCH_MIB (upload, default 256).
"""

import argparse
import os
import shutil
import signal
import socket
import statistics
import subprocess
import sys
import tempfile
import time

TIME = "/usr/bin/time"
HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))


def free_port():
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    return port


def wait_port(port, limit=20):
    end = time.time() + limit
    while time.time() < end:
        try:
            socket.create_connection(("127.0.0.1", port), timeout=1).close()
            return True
        except OSError:
            time.sleep(0.05)
    return False


def measure(argv, cwd):
    """Wall seconds and peak resident KiB of one whole process."""
    # The peak comes from /usr/bin/time, a small parent: a child forked from
    # this Python process would count the interpreter's pages as its own.
    with tempfile.TemporaryFile() as err:
        start = time.perf_counter()
        code = subprocess.call([TIME, "-f", "PEAK %M"] + argv, cwd=cwd, stdout=subprocess.DEVNULL, stderr=err)
        seconds = time.perf_counter() - start
        err.seek(0)
        text = err.read().decode("utf-8", "replace")
    if code != 0:
        raise RuntimeError("%s failed (%d): %s" % (" ".join(argv[:6]), code, text[-400:]))
    kib = [int(l.split()[1]) for l in text.splitlines() if l.startswith("PEAK ")]
    return seconds, kib[-1] if kib else 0


class Servers:
    def __init__(self, base, entries, files, mib):
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
        # vsftpd: anonymous, every right, active mode.
        os.makedirs(os.path.join(base, "empty"))
        self.vs_port = free_port()
        conf = os.path.join(base, "vsftpd.conf")
        with open(conf, "w") as f:
            f.write("listen=YES\nlisten_address=127.0.0.1\nlisten_port=%d\nlisten_ipv6=NO\nbackground=NO\n"
                    "anonymous_enable=YES\nno_anon_password=YES\nlocal_enable=NO\nanon_root=%s\n"
                    "write_enable=YES\nanon_upload_enable=YES\nanon_mkdir_write_enable=YES\n"
                    "anon_other_write_enable=YES\nanon_world_readable_only=NO\nallow_writeable_chroot=YES\n"
                    "port_enable=YES\nconnect_from_port_20=NO\nrun_as_launching_user=YES\nseccomp_sandbox=NO\n"
                    "xferlog_enable=NO\nsecure_chroot_dir=%s\n" % (self.vs_port, root, os.path.join(base, "empty")))
        self.procs.append(subprocess.Popen(["/usr/sbin/vsftpd", conf]))
        if not wait_port(self.vs_port):
            raise RuntimeError("vsftpd did not start")
        # The simulator serves the same tree.
        sim = subprocess.Popen([os.path.join(ROOT, "apps/otdr-sim/otdr-sim"), "--port", "0", "--ftp-port", "0",
                                "--ftp-root", root], stdout=subprocess.PIPE, text=True)
        self.procs.append(sim)
        self.sim_port = 0
        for line in sim.stdout:
            if line.startswith("LISTEN ftp "):
                self.sim_port = int(line.split()[2])
            if line.strip() == "READY":
                break
        if not self.sim_port:
            raise RuntimeError("the simulator did not start")

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
    for name, (port, user, password, base) in servers.items():
        path = lambda p: (base + "/" + p) if base else "/" + p
        result.append(("listing of %s entries [%s]" % (os.environ.get("OTDR_BENCH_ENTRIES", "100000"), name),
                       "curl", clean, {
                           "otdr": otdr_cmd(port, user, password, "ls", path("many")),
                           "curl": ["curl", "-s", "-P", "-", url(port, user, password, "many/")],
                           "lftp": lftp(port, user, password, "cls -l many"),
                       }))
        result.append(("get of one file from that directory [%s]" % name, "curl", clean, {
            "otdr": otdr_cmd(port, user, password, "get", path("many/Site_012_F000123_1550nm.sor"),
                             os.path.join(out, "one.sor")),
            "curl": ["curl", "-s", "-P", "-", "-o", os.path.join(out, "one.sor"),
                     url(port, user, password, "many/Site_012_F000123_1550nm.sor")],
            "lftp": lftp(port, user, password, "get many/Site_012_F000123_1550nm.sor -o %s" %
                         os.path.join(out, "one.sor")),
        }))
        result.append(("copy of a %s-file tree [%s]" % (os.environ.get("OTDR_BENCH_FILES", "1000"), name), "lftp",
                       clean, {
                           "otdr": otdr_cmd(port, user, password, "get", "-r", path("tree"),
                                            os.path.join(out, "tree")),
                           "lftp": lftp(port, user, password, "mirror tree %s" % os.path.join(out, "tree")),
                       }))
        if name == "vsftpd":
            # pyftpdlib (the simulator) stalls now and then on active-mode data
            # connections of concurrent sessions (lftp's too): vsftpd only.
            nfiles = os.environ.get("OTDR_BENCH_FILES", "1000")
            result.append(("copy of a %s-file tree, 4 connections [%s]" % (nfiles, name), "lftp", clean, {
                "otdr": otdr_cmd(port, user, password, "--parallel", "4", "get", "-r", path("tree"),
                                 os.path.join(out, "tree")),
                "otdr1": otdr_cmd(port, user, password, "get", "-r", path("tree"), os.path.join(out, "tree")),
                "lftp": lftp(port, user, password, "mirror --parallel=4 tree %s" % os.path.join(out, "tree")),
            }, [("otdr", "otdr1")]))
            # Each tool syncs its own copy, made once by itself: every run
            # measured finds nothing to transfer.
            copies = os.path.join(work, "copies")

            def synced():
                if os.path.isdir(copies):
                    return
                os.makedirs(copies)
                measure(otdr_cmd(port, user, password, "sync", path("tree"), os.path.join(copies, "otdr")), work)
                measure(lftp(port, user, password, "mirror --only-newer tree %s" % os.path.join(copies, "lftp")),
                        work)
            result.append(("sync of an unchanged %s-file tree [%s]" % (nfiles, name), "lftp", synced, {
                "otdr": otdr_cmd(port, user, password, "sync", path("tree"), os.path.join(copies, "otdr")),
                "lftp": lftp(port, user, password, "mirror --only-newer tree %s" % os.path.join(copies, "lftp")),
            }))
            result.append(("upload of %s MiB, active mode [%s]" % (os.environ.get("OTDR_BENCH_MIB", "256"), name),
                           "curl", clean, {
                               "otdr": otdr_cmd(port, user, password, "put", srv.upload, path("in/up-otdr.bin")),
                               "curl": ["curl", "-s", "-P", "-", "-T", srv.upload,
                                        url(port, user, password, "in/up-curl.bin")],
                           }))
    return result


def main():
    p = argparse.ArgumentParser()
    p.add_argument("build")
    p.add_argument("--rounds", type=int, default=7)
    p.add_argument("--only", default="")
    args = p.parse_args()
    for tool in ("/usr/sbin/vsftpd", "/usr/bin/curl", "/usr/bin/lftp", TIME):
        if not os.access(tool, os.X_OK):
            print("comparer_ftp: needs %s" % tool, file=sys.stderr)
            return 1
    work = tempfile.mkdtemp(prefix="otdr-bench-cmp-")
    srv = None
    try:
        srv = Servers(work, int(os.environ.get("OTDR_BENCH_ENTRIES", "100000")),
                      int(os.environ.get("OTDR_BENCH_FILES", "1000")), int(os.environ.get("OTDR_BENCH_MIB", "256")))
        print("whole process against whole process, login included, %d interleaved rounds" % args.rounds)
        print("%-52s %-5s %8s %17s %9s %7s" % ("", "tool", "median", "range (s)", "peak KiB", "ratio"))
        for title, reference, prepare, tools, *autres in scenarios(args.build, srv, work):
            if args.only and args.only not in title:
                continue
            names = list(tools)
            times = {n: [] for n in names}
            mem = {n: [] for n in names}
            for r in range(args.rounds):
                order = names[r % len(names):] + names[:r % len(names)]
                for n in order:
                    prepare()
                    t, k = measure(tools[n], work)
                    times[n].append(t)
                    mem[n].append(k)
            ref = statistics.median(times[reference])
            for n in names:
                med = statistics.median(times[n])
                print("%-52s %-5s %7.3fs %8.3f-%-8.3f %9d %7s" % (
                    title if n == names[0] else "", n, med, min(times[n]), max(times[n]),
                    statistics.median(mem[n]), "%.2f" % (med / ref) if ref > 0 else "-"))
            # Ratios between two of the tools, measured in the same rounds.
            for a, b in (autres[0] if autres else []):
                mb = statistics.median(times[b])
                print("%-52s %-5s %33s %7s" % ("", a, "/ " + b, "%.2f" % (statistics.median(times[a]) / mb)
                                               if mb > 0 else "-"))
            sys.stdout.flush()
    finally:
        if srv:
            srv.close()
        shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
