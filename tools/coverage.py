#!/usr/bin/env python3
"""Summarises the gcov data of a coverage build: lines run per source file of the checker,
the lines never run, and the catalogue codes that no test run reported.

    coverage.py BUILD_DIR
"""
import json
import pathlib
import subprocess
import sys

build = pathlib.Path(sys.argv[1]).resolve()
root = pathlib.Path(__file__).resolve().parents[1]
layers = ("driver", "reader", "rules")

lines = {}  # source file -> {line: count}
for gcda in sorted(build.rglob("*.gcda")):
    out = subprocess.run(["gcov", "--json-format", "--stdout", str(gcda)], cwd=gcda.parent,
                         capture_output=True, check=True).stdout
    for doc in out.decode().splitlines():
        for f in json.loads(doc)["files"]:
            path = pathlib.Path(f["file"])
            if not path.is_absolute():
                path = (gcda.parent / path).resolve()
            try:
                rel = path.relative_to(root)
            except ValueError:
                continue
            if rel.parts[0] not in layers:
                continue
            seen = lines.setdefault(str(rel), {})
            for ln in f["lines"]:
                n = ln["line_number"]
                seen[n] = max(seen.get(n, 0), ln["count"])

print("Lines run, per file")
total = run = 0
for name in sorted(lines):
    counts = lines[name]
    if not counts:
        continue
    hit = sum(1 for c in counts.values() if c > 0)
    total += len(counts)
    run += hit
    print(f"  {name:28} {hit:5} of {len(counts):5}  {100.0 * hit / len(counts):5.1f} %")
print(f"Lines in all: {run} of {total}, {100.0 * run / total:.1f} %\n")

print("Lines never run")
for name in sorted(lines):
    source = (root / name).read_text(encoding="utf-8", errors="replace").splitlines()
    for n in sorted(k for k, c in lines[name].items() if c == 0):
        print(f"    {name}:{n}: {source[n - 1].strip()}")
print()

codes = []
for row in (root / "tables" / "katalog.txt").read_text(encoding="utf-8").splitlines():
    if row and not row.startswith("#"):
        codes.append(row.split("|")[0])
reported = set()
census = build / "census.txt"
if census.exists():
    reported = {ln.split()[0] for ln in census.read_text().splitlines() if ln.strip()}
never = [c for c in codes if c not in reported and c != "KONEC"]
print(f"Codes reported by the test runs: {len([c for c in codes if c in reported])} of "
      f"{len([c for c in codes if c != 'KONEC'])}")
print("Codes never reported: " + (" ".join(never) if never else "none"))
