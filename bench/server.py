#!/usr/bin/env python3
"""The benchmark of ld952-server against the command line, on the same reports in the same
run: for valid reports of 10 kB, 1 MB and 100 MB, the command line run once per report on
every core at once (xargs -P, as a collecting office runs it) and the service under wrk with
64 connections held for the whole run; then 1 MB reports at 16 connections; then the service's
memory with 8 checks of 1 GB reports at once. Prints Markdown; bench/RESULTS.md keeps it.

    server.py DATA_DIR LD952 LD952_SERVER GENKUF SECONDS"""
import json
import os
import pathlib
import re
import signal
import socket
import statistics
import subprocess
import sys
import tempfile
import threading
import time

data, cli, server, genkuf = (pathlib.Path(a) for a in sys.argv[1:5])
seconds = int(sys.argv[5])
cores = os.cpu_count() or 1
here = pathlib.Path(__file__).resolve().parent
SIZES = [("10 kB", 10_000), ("1 MB", 1_000_000), ("100 MB", 100_000_000)]


def report(size, seed=1):
    path = data / f"server-valid-{size}.xml"
    if not path.exists():
        with open(path, "wb") as out:
            subprocess.run([str(genkuf), "valid", str(size), str(seed)], stdout=out, check=True)
    return path


def quantile(values, q):
    values = sorted(values)
    return values[min(len(values) - 1, int(q * len(values)))]


def command_line(path, duration):
    """Reports per second of `xargs -P<cores>` over copies of the report, and the latency of
    each run (its own process, timed by a runner with as many workers)."""
    n = 0
    with tempfile.TemporaryDirectory(prefix="kufsrvbench") as out:  # no full stop in the path
        # Throughput: xargs starting one ld952 per report, <cores> at once, for about `duration`.
        per_run = 0.006 + path.stat().st_size / 4e8
        n = max(2 * cores, int(duration * cores / per_run))
        args = "".join(f"{path} {out}/p{i}.txt\n" for i in range(n))
        start = time.monotonic()
        subprocess.run(["xargs", f"-P{cores}", "-n2", str(cli)], input=args.encode(),
                       stdout=subprocess.DEVNULL, check=True)
        rate = n / (time.monotonic() - start)
        # Latency: the same runs, each timed.
        times, lock, stop = [], threading.Lock(), time.monotonic() + min(duration, 20)

        def worker(k):
            i = 0
            while time.monotonic() < stop:
                t = time.monotonic()
                subprocess.run([str(cli), str(path), f"{out}/q{k}-{i % 4}.txt"],
                               stdout=subprocess.DEVNULL, check=True)
                with lock:
                    times.append(time.monotonic() - t)
                i += 1

        threads = [threading.Thread(target=worker, args=(k,)) for k in range(cores)]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
    return rate, statistics.median(times), quantile(times, 0.99), n


class Service:
    def __init__(self, *args):
        self.log = tempfile.TemporaryFile()
        self.proc = subprocess.Popen([str(server), "--listen", "127.0.0.1:0", "--quiet", *args],
                                     stderr=self.log)
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline:
            self.log.seek(0)
            for line in self.log.read().decode().splitlines():
                if '"listening"' in line:
                    self.port = json.loads(line)["port"]
                    return
            time.sleep(0.02)
        raise RuntimeError("the service did not start")

    def stop(self):
        self.proc.send_signal(signal.SIGTERM)
        return self.proc.wait(60)


UNITS = {"us": 1e-6, "ms": 1e-3, "s": 1.0, "m": 60.0}


def wrk(port, path, connections, duration):
    """Requests per second, median and p99 latency, requests, and failed requests."""
    env = dict(os.environ, KUF_REPORT=str(path))
    out = subprocess.run(
        ["wrk", "-t2", f"-c{connections}", f"-d{duration}s", "--timeout", "60s", "--latency",
         "-s", str(here / "server.lua"), f"http://127.0.0.1:{port}/v1/check?format=txt"],
        env=env, capture_output=True, text=True, check=True).stdout
    def latency(label):
        m = re.search(rf"^\s+{label}%\s+([\d.]+)(us|ms|s|m)\s*$", out, re.M)
        return float(m.group(1)) * UNITS[m.group(2)]
    rate = float(re.search(r"Requests/sec:\s+([\d.]+)", out).group(1))
    total = int(re.search(r"(\d+) requests in", out).group(1))
    failed = 0
    m = re.search(r"Non-2xx or 3xx responses: (\d+)", out)
    failed += int(m.group(1)) if m else 0
    m = re.search(r"Socket errors: connect (\d+), read (\d+), write (\d+), timeout (\d+)", out)
    failed += sum(int(g) for g in m.groups()) if m else 0
    return rate, latency("50"), latency("99"), total, failed


def memory(size, checks):
    """The service's peak resident memory while `checks` uploads of a report of `size` bytes
    are checked at once, each sent by curl from the file as it reads it."""
    path = report(size)
    s = Service("--checks", str(checks))
    peak = 0
    try:
        curls = [subprocess.Popen(["curl", "-sS", "-o", "/dev/null", "-w", "%{http_code}",
                                   "-X", "POST", "-T", str(path),
                                   f"http://127.0.0.1:{s.port}/v1/check?format=txt"],
                                  stdout=subprocess.PIPE) for _ in range(checks)]
        start = time.monotonic()
        codes = [c.communicate()[0] for c in curls]
        elapsed = time.monotonic() - start
        status = pathlib.Path(f"/proc/{s.proc.pid}/status").read_text()
        peak = int(re.search(r"VmHWM:\s+(\d+) kB", status).group(1)) / 1024
        assert codes == [b"200"] * checks, codes
    finally:
        assert s.stop() == 0
    return peak, elapsed


def idle_memory():
    s = Service()
    try:
        time.sleep(0.2)
        status = pathlib.Path(f"/proc/{s.proc.pid}/status").read_text()
        return int(re.search(r"VmHWM:\s+(\d+) kB", status).group(1)) / 1024
    finally:
        s.stop()


def main():
    rows = []
    for label, size in SIZES:
        path = report(size)
        rate, median, p99, n = command_line(path, seconds / 3)
        rows.append((label, f"ld952, xargs -P{cores}", rate, median, p99, n, 0))
        s = Service()
        try:
            r = wrk(s.port, path, 64, seconds)
        finally:
            assert s.stop() == 0
        rows.append((label, "ld952-server, 64 connections", *r))
        if label == "1 MB":
            s = Service()
            try:
                r = wrk(s.port, path, 16, seconds)
            finally:
                assert s.stop() == 0
            rows.append((label, "ld952-server, 16 connections", *r))
        print(f"done {label}: {rows[-3:] if label == '1 MB' else rows[-2:]}", file=sys.stderr)
    print(f"| report | how | reports/s | median ms | p99 ms | requests | failed |")
    print("|---|---|---:|---:|---:|---:|---:|")
    for label, how, rate, median, p99, n, failed in rows:
        print(f"| {label} | {how} | {rate:.0f} | {median * 1000:.1f} | {p99 * 1000:.1f} | {n} | "
              f"{failed} |")
    by = {(r[0], r[1].split(",")[0]): r for r in rows if "16 connections" not in r[1]}
    print()
    for label, _ in SIZES:
        ratio = by[(label, "ld952-server")][2] / by[(label, "ld952")][2]
        print(f"- {label}: the service at 64 connections checks {ratio:.1f} times the reports "
              "per second of the command line")
    base = idle_memory()
    peak, elapsed = memory(1_000_000_000, 8)
    print(f"- memory: {base:.1f} MB idle; {peak:.1f} MB at its peak with 8 checks of 1 GB "
          f"reports at once (--checks 8), all 8 checked in {elapsed:.1f} s")


if __name__ == "__main__":
    main()
