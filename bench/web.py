#!/usr/bin/python3
"""Times the page against the native program on one report, in interleaved rounds (one run of
each, then the next round), after a warm-up of each; prints the medians as Markdown.
The page's figures are its own: the check (the library call in the worker), and the whole
from choosing the report to the result shown (reading the file into the worker included).
    web.py PAGE PROGRAM REPORT ROUNDS"""
import pathlib
import statistics
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True
sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1] / "tests" / "web"))
import chromium  # noqa: E402

page, binary, report = (pathlib.Path(a).resolve() for a in sys.argv[1:4])
rounds = int(sys.argv[4])


def native(out, one_core=False):
    """The native program: on both cores, or on one as the page's worker runs the check."""
    start = time.perf_counter()
    pin = ["taskset", "-c", "0"] if one_core else []
    subprocess.run(pin + [str(binary), report.name, str(out)], cwd=report.parent, check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return time.perf_counter() - start


def in_page(d):
    if chromium.choose(d, [report], 300) != "hotovo":
        sys.exit("the page did not finish the check")
    t = d.execute_script("return window.ld952Cas")
    return t["kontrola"] / 1000, t["celkem"] / 1000


with tempfile.TemporaryDirectory(prefix="ld952-webbench") as tmp, chromium.browser(tmp) as d:
    d.get(page.as_uri())
    out = pathlib.Path(tmp, "kufe.htm")
    native(out), in_page(d)  # warm-up: page cache, the browser's compiled module
    n, n1, check, whole = [], [], [], []
    for _ in range(rounds):
        n.append(native(out))
        n1.append(native(out, one_core=True))
        c, w = in_page(d)
        check.append(c), whole.append(w)

mb = report.stat().st_size / 1e6
med = statistics.median
print(f"| {mb:.0f} MB valid report, {rounds} rounds | median s | MB/s | / native | / native on one core |")
print("|---|---:|---:|---:|---:|")
for name, t in [("ld952, native release program", n),
                ("ld952, the same on one core", n1),
                ("the page: the check in its worker (WebAssembly)", check),
                ("the page: from choosing the report to the result", whole)]:
    print(f"| {name} | {med(t):.3f} | {mb / med(t):.0f} | {med(t) / med(n):.2f} | {med(t) / med(n1):.2f} |")
