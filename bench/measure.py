#!/usr/bin/env python3
"""Times the benchmark's commands and prints the results of bench/run.sh as Markdown.

Commands that are compared are run in interleaved rounds (one run of each, then the next
round), so that a slow spell of a shared machine falls on all of them alike; each figure is the
median wall time of its rounds. Every timed run of the checker writes its protocol and output
copy as new files, and starts when the files of the runs before it are on disk. Peak memory is the maximum resident set size of a run (/usr/bin/time).
    measure.py DATA_DIR BINARY OUT_DIR ROUNDS SIZE_MB...
"""
import os
import re
import statistics
import subprocess
import sys
import time

data, binary, out, rounds = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
sizes = sys.argv[5:]
schema = "schemas/kuf.xsd"


def run_once(cmd, fresh=True):
    # The checker's protocol and output copy go to a file that does not exist yet, as on the
    # first check of a report. Left from the round before, the file would make this run wait
    # for the system to write out and drop the last run's output (a tenth of a second for a
    # protocol of 130 MB on this machine), which says nothing of the checker.
    outputs = cmd[cmd.index(binary) + 2:] if fresh and binary in cmd else []
    for arg in outputs:
        if os.path.isfile(arg):
            os.remove(arg)
    # What earlier runs wrote is on disk before the clock starts: on two cores the system's
    # writing out of a 1 GB copy or a 280 MB protocol in the background would otherwise take
    # its processor time from whichever run comes next.
    os.sync()
    start = time.perf_counter()
    if subprocess.run(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode != 0:
        sys.exit(f"failed: {' '.join(cmd)}")
    return time.perf_counter() - start


def peak_mb(cmd):
    """The maximum resident set size of one run, as /usr/bin/time reports it."""
    r = subprocess.run(["/usr/bin/time", "-f", "%M"] + cmd, stdout=subprocess.DEVNULL,
                       stderr=subprocess.PIPE, text=True)
    return int(r.stderr.strip().splitlines()[-1]) / 1024


def interleaved(cmds, fresh=True):
    """Median seconds and peak MB of each command, over interleaved rounds after a warm-up."""
    peaks = [peak_mb(c) for c in cmds]  # also the warm-up
    times = [[] for _ in cmds]
    for _ in range(rounds):
        for i, c in enumerate(cmds):
            times[i].append(run_once(c, fresh))
    return [(statistics.median(t), p) for t, p in zip(times, peaks)]


rows = []  # (report, tool, bytes, seconds, peak)
results = {}


def group(report, nbytes, tools):
    for (tool, _), (s, m) in zip(tools, interleaved([c for _, c in tools])):
        rows.append((report, tool, nbytes, s, m))
        results[(report, tool)] = (nbytes, s, m)


for mb in sizes:
    f = f"{data}/valid-{mb}.xml"
    group(f"valid {mb} MB", os.path.getsize(f), [
        ("cat", ["cat", f]),
        ("xmllint --stream", ["xmllint", "--noout", "--stream", f]),
        ("SAX2Count", ["SAX2Count", f]),
        ("xmllint --stream --schema", ["xmllint", "--noout", "--stream", "--schema", schema, f]),
        ("ld952", [binary, f, f"{out}/p.txt"]),
        ("ld952 + copy", [binary, f, f"{out}/p.txt", f"{out}/copy.xml"]),
        ("ld952 on one core", ["taskset", "-c", "0", binary, f, f"{out}/p.txt"]),
    ])

# Throughput of the check alone, the sizes interleaved with each other and with a run on an
# empty report, which shows the fixed cost of one run (starting the process, creating the
# protocol).
empty = f"{out}/empty"
open(empty, "wb").close()
lin = interleaved([[binary, f"{data}/valid-{mb}.xml", f"{out}/p.txt"] for mb in sizes] +
                  [[binary, empty, f"{out}/p.txt"]])
start = lin.pop()[0]
nbytes = [os.path.getsize(f"{data}/valid-{mb}.xml") / 1e6 for mb in sizes]
speeds = [n / s for n, (s, _) in zip(nbytes, lin)]
net = [n / (s - start) for n, (s, _) in zip(nbytes, lin)]

faulty = f"{data}/faulty.xml"
protocols = []
for ext in ("txt", "csv", "htm", "xml"):
    p = f"{out}/p.{ext}"
    subprocess.run([binary, faulty, p], stdout=subprocess.DEVNULL, check=True)
    protocols.append((ext, p, os.path.getsize(p)))
findings = sum(1 for line in open(f"{out}/p.txt", "rb") if re.match(rb" *[0-9]+  [EW]", line))
# The protocols are timed in the same rounds as the check of the largest valid report, which
# their throughput is measured against.
big_file = f"{data}/valid-{sizes[-1]}.xml"
beside = interleaved([[binary, faulty, p] for _, p, _ in protocols] + [[binary, big_file, f"{out}/p.txt"]])
valid_beside = beside.pop()
for (ext, p, size), (s, m) in zip(protocols, beside):
    rows.append((f"{findings} findings", f"ld952 .{ext}", size, s, m))
    results[("findings", ext)] = (size, s, m)
rows.append((f"valid {sizes[-1]} MB", "ld952, in the rounds of the findings", os.path.getsize(big_file)) + valid_beside)

# The same over the files of the run before: what replacing a large protocol or copy adds.
csv_size = results[("findings", "csv")][0]
over = interleaved([[binary, faulty, f"{out}/p.csv"],
                    [binary, big_file, f"{out}/p.txt", f"{out}/copy.xml"]], fresh=False)
rows.append((f"{findings} findings", "ld952 .csv over the last protocol", csv_size) + over[0])
rows.append((f"valid {sizes[-1]} MB", "ld952 + copy over the last copy", os.path.getsize(big_file)) + over[1])

small = f"{data}/small.cat"
group("1000 reports of 100 kB", os.path.getsize(small), [
    ("ld952 @list", [binary, f"@{data}/list.txt", f"{out}/p.txt"]),
    ("ld952, the same in one file", [binary, small, f"{out}/p.txt"]),
])

print("| report | tool | median s | MB/s | peak MB |")
print("|---|---|---:|---:|---:|")
for report, tool, nbytes, s, m in rows:
    print(f"| {report} | {tool} | {s:.3f} | {nbytes / 1e6 / s:.0f} | {m:.1f} |")
print("\nFor the findings the throughput is in bytes of protocol written.\n")

big, little = f"valid {sizes[-1]} MB", f"valid {sizes[0]} MB"
t = lambda report, tool: results[(report, tool)][1]
mem = lambda report: results[(report, "ld952")][2]
slowest = min(results[("findings", e)][0] / 1e6 / results[("findings", e)][1] for e in ("txt", "csv", "htm", "xml"))
print("| target | measured | limit |")
print("|---|---:|---:|")
print(f"| {big}: check / xmllint --stream --schema | {t(big, 'ld952') / t(big, 'xmllint --stream --schema'):.3f} | 0.070 |")
print(f"| {big}: check / xmllint --stream | {t(big, 'ld952') / t(big, 'xmllint --stream'):.3f} | 0.150 |")
print(f"| {big}: check with output copy / xmllint --stream --schema | {t(big, 'ld952 + copy') / t(big, 'xmllint --stream --schema'):.3f} | 0.100 |")
print(f"| {big}: check on one core / xmllint --stream --schema | {t(big, 'ld952 on one core') / t(big, 'xmllint --stream --schema'):.3f} | 0.100 |")
print(f"| {big}: peak memory | {mem(big):.1f} MB | 16 MB |")
print(f"| peak memory, {little} / {big} | {mem(little) / mem(big):.2f} | 0.90 |")
for mb in sizes[1:-1]:
    print(f"| peak memory, valid {mb} MB / {big} | {mem(f'valid {mb} MB') / mem(big):.2f} | 0.90 |")
print(f"| throughput of {', '.join(s + ' MB' for s in sizes)} (interleaved) | {' / '.join(f'{x:.0f}' for x in speeds)} MB/s, spread {max(speeds) / min(speeds) - 1:.0%} | 15% |")
print(f"| the same, less the fixed cost of one run ({start * 1000:.1f} ms on an empty report) | {' / '.join(f'{x:.0f}' for x in net)} MB/s, spread {max(net) / min(net) - 1:.0%} | 15% |")
print(f"| {findings} findings: slowest protocol MB/s / {big} MB/s (the same rounds) | {slowest * valid_beside[0] / (os.path.getsize(big_file) / 1e6):.2f} | 0.50 |")
print(f"| list of 1000 reports / one file of the same size | {t('1000 reports of 100 kB', 'ld952 @list') / t('1000 reports of 100 kB', 'ld952, the same in one file'):.2f} | 1.20 |")
