#!/usr/bin/env python3
"""The HTML protocol as a browser shows it: the program checks examples/kuf-chyby.xml once with
an .htm and once with an .xml protocol; headless Chromium renders the .htm, and the rendered
findings table must have one row per finding of the XML protocol with the same eight cells
(the code in bold for weight E), the totals of both weights, and the Czech letters decoded
from Windows-1250.

    browser.py [BINARY] [--screenshot FILE.png]     (default build/dev/driver/ld952)"""
import html.parser
import os
import pathlib
import shutil
import signal
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
import golden  # noqa: E402

CHROMIUM = ["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
            "--no-first-run", "--disable-background-networking", "--disable-component-update",
            "--disable-sync"]
HEADER = "Řádek Chyba Zaměstnavatel Zaměstnanec Prvek Hodnota Očekáváno Popis".split()
CZECH = ["Chybná hodnota", "Neplatné datum", "ř", "č", "ů"]
NBSP = "\xa0"


class Tables(html.parser.HTMLParser):
    """The tables of a page: each a list of rows, each a list of (text, bold) cells."""

    def __init__(self):
        super().__init__()
        self.tables, self.cell, self.bold, self.charset = [], None, False, ""

    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        if tag == "meta" and "charset=" in (a.get("content") or ""):
            self.charset = a["content"].split("charset=")[1].strip()
        elif tag == "table":
            self.tables.append([])
        elif tag == "tr":
            self.tables[-1].append([])
        elif tag in ("td", "th"):
            self.cell, self.bold = [], False
        elif tag == "b" and self.cell is not None:
            self.bold = True

    def handle_endtag(self, tag):
        if tag in ("td", "th") and self.cell is not None:
            self.tables[-1][-1].append(("".join(self.cell), self.bold))
            self.cell = None

    def handle_data(self, data):
        if self.cell is not None:
            self.cell.append(data)


def browser(args, timeout=120):
    """Runs Chromium with a fresh profile; returns its standard output."""
    profile = tempfile.mkdtemp(prefix="ld952-chromium-")
    try:
        p = subprocess.Popen(CHROMIUM + [f"--user-data-dir={profile}"] + args,
                             stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                             stdin=subprocess.DEVNULL, start_new_session=True)
        try:
            out, _ = p.communicate(timeout=timeout)
        except subprocess.TimeoutExpired:
            os.killpg(p.pid, signal.SIGKILL)
            p.communicate()
            raise RuntimeError(f"chromium did not finish in {timeout} s")
        if p.returncode != 0:
            raise RuntimeError(f"chromium exit code {p.returncode}")
        return out.decode("utf-8")
    finally:
        shutil.rmtree(profile, ignore_errors=True)


def check(page, xml):
    """The failures of a rendered page against the XML protocol of the same findings."""
    bad = []
    if page.charset.lower() != "windows-1250":
        bad.append(f"the page declares charset {page.charset!r}")
    findings = [[c.text or "" for c in e] for e in xml.iter("Chyba")]
    table = next((t for t in page.tables if t and [c for c, _ in t[0]] == HEADER), None)
    if table is None:
        return bad + ["no table with the header row " + " | ".join(HEADER)]
    rows = table[1:]
    if len(rows) != len(findings):
        bad.append(f"{len(rows)} table rows for {len(findings)} findings")
    for i, (row, want) in enumerate(zip(rows, findings), 1):
        got = [text for text, _ in row]
        if got != [NBSP + w for w in want]:
            bad.append(f"row {i}: {got} is not {want}")
        error = want[1].startswith("E")
        if len(row) > 1 and row[1][1] != error:
            bad.append(f"row {i}: code {want[1]} {'not ' if error else ''}in bold")
    totals = {r[0][0]: r[1][0] for t in page.tables for r in t
              if len(r) == 2 and r[0][0].startswith("Váha")}
    for weight in "EW":
        want = NBSP + xml.findtext(f"Celkemchyb{weight}").strip()
        if totals.get(f"Váha {weight}") != want:
            bad.append(f"total of weight {weight}: {totals.get(f'Váha {weight}')!r}, XML {want!r}")
    text = "".join(c for t in page.tables for r in t for c, _ in r)
    bad += [f"{word!r} is not on the page" for word in CZECH if word not in text]
    if "\ufffd" in text:
        bad.append("the page holds undecodable characters (U+FFFD)")
    return bad


def main():
    try:
        failures, count = run(sys.argv[1:])
    except (OSError, RuntimeError, subprocess.SubprocessError, ET.ParseError) as e:
        failures, count = [f"{type(e).__name__}: {e}"], 0
    for f in failures:
        print(f"FAIL browser: {f}")
    print(f"browser: {count} findings rendered, {len(failures)} failures")
    return 1 if failures else 0


def run(argv):
    """(failures, number of findings)."""
    shot = None
    if "--screenshot" in argv:
        i = argv.index("--screenshot")
        shot = pathlib.Path(argv[i + 1]).resolve()
        del argv[i:i + 2]
    binary = golden.binary(argv)
    with tempfile.TemporaryDirectory() as tmp:
        shutil.copy(golden.ROOT / "examples" / "kuf-chyby.xml", tmp)
        for name in ("kufe.htm", "kufe.xml"):
            subprocess.run([str(binary), "kuf-chyby.xml", name], cwd=tmp, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, check=True, timeout=60)
        xml = ET.fromstring(pathlib.Path(tmp, "kufe.xml").read_bytes().decode("cp1250"))
        url = pathlib.Path(tmp, "kufe.htm").as_uri()
        page = Tables()
        page.feed(browser(["--dump-dom", url]))
        failures = check(page, xml)
        if shot:
            browser([f"--screenshot={shot}", "--window-size=1400,900", url])
            if not shot.is_file():
                failures.append(f"no screenshot written to {shot}")
    return failures, len(list(xml.iter("Chyba")))


if __name__ == "__main__":
    sys.exit(main())
