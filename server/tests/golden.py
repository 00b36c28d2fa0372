#!/usr/bin/env python3
"""Every golden case through the service: each case that checks one report runs on the command
line once per protocol format (and with an output copy), and the service, sent the same report
with the same name and -w, answers with the same bytes (run stamp masked). The json answer
fits its schema and gives the rows, counts and totals of the CSV protocol.

    golden.py [FOLDER...]      (default: tests/golden/*, tests/golden-linux)"""
import collections
import concurrent.futures
import csv
import io
import os
import pathlib
import sys
import tempfile
import urllib.parse

import harness

try:
    import jsonschema
except ImportError:  # the schema is then not checked here; CI installs python3-jsonschema
    if os.environ.get("LD952_REQUIRE_SCHEMA"):
        raise
    jsonschema = None

FORMATS = ["htm", "csv", "txt", "xml"]


def parse_case(data):
    """The case's sections: (kind, name, flag, body) in order."""
    sections, cur = [], None
    for line in data.splitlines(keepends=True):
        bare = line.rstrip(b"\n")
        if bare.startswith(b"-- ") and bare.endswith(b" --") and len(bare) >= 7:
            words = bare[3:-3].split()
            if words and words[0] in (b"args", b"file", b"link", b"expect", b"console", b"exit"):
                cur = [words[0], words[1] if len(words) > 1 else b"",
                       words[2] if len(words) > 2 else b"", b""]
                sections.append(cur)
                continue
        if cur is not None:
            cur[3] += line
    for s in sections:
        if s[2] == b"noeol" and s[3].endswith(b"\n"):
            s[3] = s[3][:-1]
    return sections


def prepare(sections, folder):
    args = []
    for kind, name, flag, body in sections:
        path = folder / os.fsdecode(name)
        if kind == b"file":
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_bytes(body)
        elif kind == b"link":
            target = body.split(b"\n")[0]
            path.parent.mkdir(parents=True, exist_ok=True)
            if flag == b"hard":
                os.link(folder / os.fsdecode(target), path)
            else:
                os.symlink(os.fsdecode(target), path)
        elif kind == b"args":
            args = body.split(b"\n")[:-1] if body.endswith(b"\n") else body.split(b"\n")
    return args


def report_of(args, folder):
    """(input name, -w) of a run that checks one report, or None."""
    positional, warnings = [], False
    for a in args:
        if a.startswith(b"-"):
            if a.lower() != b"-w":
                return None
            warnings = True
        else:
            positional.append(a)
    name = positional[0] if positional else b"kuf.xml"
    if name.startswith(b"@") or len(name) > 60 or any(c < 0x20 or c == 0x7f for c in name):
        return None
    if not (folder / os.fsdecode(name)).is_file():
        return None
    return name, warnings


def read_csv(data):
    rows = list(csv.reader(io.StringIO(data.decode("cp1250"), newline=""), delimiter=";"))
    totals = [int(r[1]) for r in rows[-4:][1::2]]
    return rows[1:-4], totals


def lines_of(text):
    return [int(n) for n in text.replace("......", "").split(",") if n.strip()]


def compare_json(case, got, csv_protocol):
    failures = []
    if jsonschema is not None:
        try:
            jsonschema.validate(got, harness.SCHEMA)
        except jsonschema.ValidationError as e:
            failures.append(f"{case}: json: {e.message}")
    rows, (errors, warnings) = read_csv(csv_protocol)
    want = [{"lines": lines_of(r[0]), "more_lines": "......" in r[0], "code": r[1].strip(), "weight": r[1][0],
             "employer": r[2].strip(" "), "employee": r[3].strip(" "), "element": r[4].strip(" "),
             "value": r[5].strip(" "), "expected": r[6].strip(" "), "description": r[7].strip(" ")}
            for r in rows]
    if got["findings"] != want:
        for a, b in zip(got["findings"] + [None] * len(want), want + [None] * len(got["findings"])):
            if a != b:
                failures.append(f"{case}: json row {a} where the CSV protocol has {b}")
                break
    counts = dict(collections.Counter(r["code"] for r in want))
    if got["counts"] != counts:
        failures.append(f"{case}: json counts {got['counts']} against {counts}")
    if [got["totals"]["errors"], got["totals"]["warnings"], got["totals"]["rows"]] != [
            errors, warnings, len(rows)]:
        failures.append(f"{case}: json totals {got['totals']}")
    return failures


def run_case(server, path, work):
    sections = parse_case(path.read_bytes())
    case = f"{path.parent.name}/{path.stem}"
    folder = pathlib.Path(work, f"{path.parent.name}--{path.stem}")
    folder.mkdir()
    run = report_of(prepare(sections, folder), folder)
    if run is None:
        return case, None
    name, warnings = run
    try:
        report = (folder / os.fsdecode(name)).read_bytes()
    except OSError:  # a link to what cannot be read as a file: no report to send
        return case, None
    w = ["-w"] if warnings else []
    query = f"name={urllib.parse.quote_from_bytes(name, safe='')}&w={int(warnings)}"
    failures, protocols = [], {}
    for fmt in FORMATS:
        out = f"srv-protokol.{fmt}"
        if harness.cli([name, out, *w], folder) != 0:
            return case, None  # a run the command line cannot make: no report to compare
        protocols[fmt] = (folder / out).read_bytes()
        answer = server.check(report, f"{query}&format={fmt}")
        if answer.status != 200:
            failures.append(f"{case}: {fmt}: status {answer.status} {answer.body[:100]!r}")
            continue
        if harness.masked(answer.body) != harness.masked(protocols[fmt]):
            failures.append(f"{case}: {fmt}: the answer is not the command line's protocol")
    _, (errors, warns) = read_csv(protocols["csv"])
    answer = server.check(report, f"{query}&format=json")
    if answer.status != 200:
        failures.append(f"{case}: json: status {answer.status}")
    else:
        if (answer.header("x-kuf-errors"), answer.header("x-kuf-warnings")) != (
                str(errors), str(warns)):
            failures.append(f"{case}: totals headers {answer.headers}")
        import json
        failures += compare_json(case, json.loads(answer.body), protocols["csv"])
    if harness.cli([name, "srv-protokol.htm", "srv-kopie.xml", *w], folder) != 0:
        failures.append(f"{case}: the command line could not write the output copy")
    else:
        answer = server.check(report, query, path="/v1/copy")
        if answer.status != 200 or answer.body != (folder / "srv-kopie.xml").read_bytes():
            failures.append(f"{case}: the output copy differs ({answer.status})")
    return case, failures


def main():
    folders = [pathlib.Path(a) for a in sys.argv[1:]] or sorted(
        p for p in (harness.ROOT / "tests/golden").iterdir() if p.is_dir()) + [
            harness.ROOT / "tests/golden-linux"]
    cases = sorted(c for f in folders for c in f.glob("*.case"))
    server = harness.Server()
    compared, failures = 0, []
    try:
        with tempfile.TemporaryDirectory(prefix="ld952-golden") as work:
            with concurrent.futures.ThreadPoolExecutor(4) as pool:
                for case, fails in pool.map(lambda c: run_case(server, c, work), cases):
                    if fails is not None:
                        compared += 1
                        failures += fails
    finally:
        code = server.close()
    if code != 0:
        failures.append(f"the server ended with {code}")
    for f in failures:
        print(f)
    print(f"golden: {compared} of {len(cases)} cases compared in 4 formats, json and copy")
    if compared < len(cases) // 2:
        failures.append("fewer than half of the cases check one report")
    print(f"{compared - len(set(f.split(':')[0] for f in failures))} passed, "
          f"{len(set(f.split(':')[0] for f in failures))} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
