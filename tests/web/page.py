#!/usr/bin/python3
"""The page (build/web/kontrola-kuf.html) in headless Chromium, opened from disk, against the
command-line program on the same input:

- the program's HTML protocol of examples/kuf-chyby.xml as the browser shows it: its findings
  table holds the rows of the CSV protocol, errors in bold, the totals, the Czech letters;
- examples/kuf-chyby.xml in the page: the table holds the rows of the CSV protocol, cell for cell, errors
  in bold, and the totals; a row jumps to its line in the report's text, which is marked; a
  mark shows its findings; the four protocols and the output copy download with the bytes
  the program writes (the run stamp masked); with "bez varování" only errors are listed; two
  reports check as one list; no request leaves the page (only file:, data: and blob: URLs)
  and the browser reports no error;
- with --large GENKUF: a generated 100 MB report is checked while a timer on the page's main
  thread keeps running on time, the progress bar moves, and the totals and the last line
  match the program's.

    page.py PAGE BINARY [--large GENKUF] [--data FOLDER]
Prints 'web: N passed, N failed'."""
import csv
import io
import json
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True
import chromium  # noqa: E402

ROOT = pathlib.Path(__file__).resolve().parents[2]
STAMP = re.compile(rb"\d\d/\d\d/20\d\d  \d\d:\d\d:\d\d")
DOWNLOADS = {"htm": "kufe.htm", "csv": "kufe.csv", "txt": "kufe.txt", "xml": "kufe.xml",
             "kopie": "kufv.xml"}
results = []  # (name, failures)


def check(name, failures):
    results.append((name, failures))
    print(("ok   " if not failures else "FAIL ") + name)
    for f in failures[:20]:
        print("     " + f)


def program(binary, folder, *args):
    subprocess.run([str(binary), *args], cwd=folder, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, check=True, timeout=300)


def csv_protocol(path):
    """Rows and the two totals of a CSV protocol."""
    text = path.read_bytes().decode("cp1250")
    body, _, tail = text.partition("\n\nCelkem chyb vahy E:;")
    rows = list(csv.reader(io.StringIO(body, newline=""), delimiter=";"))[1:]
    e, w = re.findall(r"-?\d+", tail)
    return rows, int(e), int(w)


def table(driver):
    """Every row of the findings table, by its index, scrolled through: (cells, bold)."""
    return driver.execute_async_script("""
        const done = arguments[0], box = document.getElementById('nalezy-okno'), rows = {};
        const grab = () => {
          for (const tr of box.querySelectorAll('tr[data-i]'))
            rows[tr.dataset.i] = [Array.from(tr.cells, td => td.textContent),
                                  getComputedStyle(tr.cells[1]).fontWeight >= 600];
        };
        box.scrollTop = 0;
        const step = () => {
          grab();
          if (box.scrollTop + box.clientHeight >= box.scrollHeight - 1) return done(rows);
          box.scrollTop += box.clientHeight / 2;
          requestAnimationFrame(step);
        };
        requestAnimationFrame(step);""")


def same_as_protocol(driver, rows, e, w, what):
    """The failures of the table and the totals against a CSV protocol's rows and totals."""
    got, bad = table(driver), []
    if len(got) != len(rows):
        bad.append(f"{len(got)} table rows {what}, the program's {len(rows)}")
    for i, want in enumerate(rows):
        cells, bold = got.get(str(i), ([], False))
        if cells != want:
            bad.append(f"row {i} {what}: {cells} is not {want}")
        if bold != want[1].startswith("E"):
            bad.append(f"row {i} {what}: code {want[1]} {'' if bold else 'not '}in bold")
    if totals(driver) != [str(e), str(w)]:
        bad.append(f"totals {what} {totals(driver)}, the program's {e} and {w}")
    return bad


def totals(driver):
    return driver.execute_script(
        "return ['celkem-e', 'celkem-w'].map(id => document.getElementById(id).textContent"
        ".replace(/\\s/g, ''))")


def shown_line(driver, n):
    """The shown line n: its text, classes, mark and whether it is inside the text box."""
    return driver.execute_script("""
        const div = document.querySelector(`#text .radek[data-radek="${arguments[0]}"]`);
        if (!div) return null;
        const box = document.getElementById('text-okno').getBoundingClientRect();
        const r = div.getBoundingClientRect();
        return {text: div.querySelector('.obsah').textContent, cls: div.className,
                mark: div.querySelector('.znacka').textContent,
                visible: r.top >= box.top && r.bottom <= box.bottom};""", n)


def html_protocol(driver, path, rows, e, w):
    """The failures of the program's HTML protocol as the browser renders it."""
    driver.get(path.as_uri())
    tables = driver.execute_script(
        "return Array.from(document.querySelectorAll('table'), t => Array.from(t.rows, r =>"
        " Array.from(r.cells, c => [c.textContent, !!c.querySelector('b')])))")
    nbsp = "\xa0"
    found = next((t for t in tables if t and t[0][0][0] == "Řádek"), None)
    if found is None or len(found[0]) != 8:
        return [f"no findings table of eight columns: {tables[:2]}"]
    charset = driver.execute_script("return document.characterSet").lower()
    bad = [] if charset == "windows-1250" else [f"the charset is {charset}"]
    if [[c for c, _ in r] for r in found[1:]] != [[nbsp + c for c in r] for r in rows]:
        bad.append(f"{len(found) - 1} rendered rows are not the {len(rows)} of the CSV protocol")
    bad += [f"row {i}: the code in bold is {r[1][1]}" for i, r in enumerate(found[1:])
            if r[1][1] != rows[i][1].startswith("E")]
    totals = [r[1][0] for t in tables for r in t if len(r) == 2 and r[0][0].startswith("Váha")]
    if totals != [nbsp + str(e), nbsp + str(w)]:
        bad.append(f"totals {totals}, the CSV's {e} and {w}")
    return bad


def wait_file(path, timeout=30):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        if path.is_file() and not pathlib.Path(str(path) + ".crdownload").exists():
            time.sleep(0.1)
            return path.read_bytes()
        time.sleep(0.1)
    return None


def requests(driver):
    """URLs of every request in the performance log, and the browser's error messages."""
    urls = []
    for entry in driver.get_log("performance"):
        m = json.loads(entry["message"])["message"]
        if m["method"] == "Network.requestWillBeSent":
            urls.append(m["params"]["request"]["url"])
        elif m["method"] == "Network.webSocketCreated":
            urls.append(m["params"]["url"])
    errors = [e["message"] for e in driver.get_log("browser") if e["level"] == "SEVERE"]
    return urls, errors


def small(page, binary, tmp):
    """The sample report with typical mistakes."""
    report = tmp / "kuf-chyby.xml"
    shutil.copy(ROOT / "examples" / "kuf-chyby.xml", report)
    for fmt in ("htm", "csv", "txt", "xml"):
        program(binary, tmp, report.name, f"kufe.{fmt}")
    program(binary, tmp, report.name, "kufe.htm", "kufv.xml")
    program(binary, tmp, report.name, "kufe-w.csv", "-w")
    rows, e, w = csv_protocol(tmp / "kufe.csv")
    lines = report.read_bytes().split(b"\n")
    downloads = tmp / "stazene"
    downloads.mkdir()
    with chromium.browser(downloads) as d:
        check("the HTML protocol in the browser is the CSV protocol's",
              html_protocol(d, tmp / "kufe.htm", rows, e, w))
        d.get_log("performance")  # the pages before: not this page's requests
        d.get(page.as_uri())
        csp = d.execute_script(
            "return document.querySelector('meta[http-equiv=\"Content-Security-Policy\"]')"
            ".content")
        check("the page forbids every request (Content-Security-Policy)",
              [f"policy {csp!r}" for want in ("default-src 'none'", "connect-src 'none'")
               if want not in csp])
        state = chromium.choose(d, [report], 60)
        bad = [] if state == "hotovo" else [f"page state {state}"]
        check("table and totals are the CSV protocol's",
              bad + same_as_protocol(d, rows, e, w, "of the report"))

        # The finding on two lines ("146,206"): its row jumps to the first, which is marked,
        # the mark lists it, and the second line is marked too.
        target = next(i for i, r in enumerate(rows) if "," in r[0])
        first, second = (int(x) for x in rows[target][0].split(","))
        row_height = "parseFloat(getComputedStyle(document.documentElement).getPropertyValue('--radek'))"
        d.execute_script(f"document.getElementById('nalezy-okno').scrollTop = {target} * {row_height}")
        time.sleep(0.2)
        d.execute_script(f"document.querySelector('#nalezy tr[data-i=\"{target}\"] td').click()")
        time.sleep(0.2)
        line, bad = shown_line(d, first), []
        want = lines[first - 1].decode("cp1250").replace("\r", "")
        if not line or not line["visible"] or "aktivni" not in line["cls"] or line["text"] != want \
                or rows[target][1][0] not in line["mark"]:
            bad.append(f"row {target} does not show line {first} marked: {line}")
        d.execute_script(f"document.querySelector('#text .radek[data-radek=\"{first}\"] .znacka').click()")
        detail = d.execute_script("return document.getElementById('detail').textContent")
        if rows[target][1] not in detail or f"Řádek {first}" not in detail:
            bad.append(f"the mark of line {first} shows {detail!r}")
        d.execute_script(f"document.getElementById('text-okno').scrollTop = {second - 3} * {row_height}")
        time.sleep(0.2)
        if not (shown_line(d, second) or {}).get("mark"):
            bad.append(f"line {second} of the finding is not marked")
        check("a row jumps to its line, marked, and the mark shows its findings", bad)

        bad = []
        for fmt, name in DOWNLOADS.items():
            d.find_element(chromium.By.CSS_SELECTOR, f"button[data-format='{fmt}']").click()
            got_bytes = wait_file(downloads / name)
            want = (tmp / name).read_bytes()
            if got_bytes is None:
                bad.append(f"{name} was not downloaded")
            elif STAMP.sub(b"STAMP", got_bytes) != STAMP.sub(b"STAMP", want):
                bad.append(f"{name}: {len(got_bytes)} bytes differ from the program's {len(want)}")
        check("downloads are the program's protocols and output copy, byte for byte", bad)

        d.find_element(chromium.By.ID, "bez-varovani").click()  # checks again at once
        chromium.wait(d, 60)
        check("bez varování lists the errors only and counts the warnings",
              same_as_protocol(d, *csv_protocol(tmp / "kufe-w.csv"), "with -w"))
        d.find_element(chromium.By.ID, "bez-varovani").click()

        (tmp / "druhy").mkdir()
        shutil.copy(ROOT / "examples" / "kuf.xml", tmp / "druhy" / "kuf.xml")
        (tmp / "druhy" / "seznam.txt").write_text("kuf-chyby.xml\nkuf.xml\n")
        shutil.copy(report, tmp / "druhy")
        program(binary, tmp / "druhy", "@seznam.txt", "kufe.csv")
        state = chromium.choose(d, [report, tmp / "druhy" / "kuf.xml"], 60)
        bad = [] if state == "hotovo" else [f"page state {state}"]
        check("two reports check as one list, as @list does",
              bad + same_as_protocol(d, *csv_protocol(tmp / "druhy" / "kufe.csv"), "of the list"))

        urls, errors = requests(d)
        bad = [u for u in urls if not u.startswith(("file:", "data:", "blob:"))]
        if not any(u.startswith("file:") for u in urls):
            bad.append("the performance log holds no request at all (not even the page)")
        check("no request leaves the page", bad)
        check("the browser reports no error", errors)


def large(page, binary, genkuf, tmp, data):
    """A 100 MB report: the page stays responsive and finishes."""
    data.mkdir(parents=True, exist_ok=True)
    report = data / "valid-100.xml"
    if not report.is_file() or report.stat().st_size < 90e6:
        with open(str(report) + ".tmp", "wb") as out:
            subprocess.run([str(genkuf), "valid", "100e6", "1"], stdout=out, check=True)
        pathlib.Path(str(report) + ".tmp").rename(report)
    program(binary, data, report.name, str(tmp / "velky.csv"))
    _, e, w = csv_protocol(tmp / "velky.csv")
    with report.open("rb") as f:
        line_count = sum(chunk.count(b"\n") for chunk in iter(lambda: f.read(1 << 20), b"")) + 1
    with chromium.browser(tmp) as d:
        d.get(page.as_uri())
        # A timer on the main thread every 20 ms: how late it fires, and the progress it sees.
        d.execute_script("""
            window.sonda = {late: 0, ticks: 0, progress: []};
            let last = performance.now();
            setInterval(() => {
              const now = performance.now();
              sonda.late = Math.max(sonda.late, now - last - 20); last = now; ++sonda.ticks;
              const p = document.getElementById('prubeh').value;
              if (document.body.dataset.stav === 'kontrola' && p > 0 && p < 1) sonda.progress.push(p);
            }, 20);""")
        start = time.monotonic()
        state = chromium.choose(d, [report], 240)
        seconds = time.monotonic() - start
        probe = d.execute_script("return sonda")
        timing = d.execute_script("return window.ld952Cas")
        bad = [] if state == "hotovo" else [f"page state {state}"]
        if totals(d) != [str(e), str(w)]:
            bad.append(f"totals {totals(d)}, the program's {e} and {w}")
        d.execute_script("const b = document.getElementById('text-okno');"
                         "b.scrollTop = b.scrollHeight;")
        time.sleep(0.3)
        if not shown_line(d, line_count) or shown_line(d, line_count + 1):
            bad.append(f"the last line shown is not line {line_count}")
        check(f"a 100 MB report is checked ({seconds:.1f} s in all, check "
              f"{timing and timing['kontrola'] / 1000:.1f} s)", bad)
        bad = []
        # A check on the main thread would hold the timer for all of its seconds; a loaded
        # machine delays it by a few hundred milliseconds at most.
        if probe["late"] > 1000:
            bad.append(f"the main thread's timer was {probe['late']:.0f} ms late")
        if probe["ticks"] < seconds * 10:
            bad.append(f"the timer ran {probe['ticks']} times in {seconds:.1f} s")
        if len(set(probe["progress"])) < 2:
            bad.append(f"the progress bar took {len(set(probe['progress']))} values during the check")
        check(f"the page stays responsive (timer at most {probe['late']:.0f} ms late, "
              f"{len(set(probe['progress']))} progress steps)", bad)


def main(argv):
    page, binary = pathlib.Path(argv[0]).resolve(), pathlib.Path(argv[1]).resolve()
    genkuf = pathlib.Path(argv[argv.index("--large") + 1]).resolve() if "--large" in argv else None
    data = pathlib.Path(argv[argv.index("--data") + 1]).resolve() if "--data" in argv \
        else ROOT / "build" / "web-data"
    with tempfile.TemporaryDirectory(prefix="ld952-web") as t:
        tmp = pathlib.Path(t)
        for name, step in [("sample report", lambda: small(page, binary, tmp))] + (
                [("100 MB report", lambda: large(page, binary, genkuf, tmp, data))]
                if genkuf else []):
            try:
                step()
            except Exception as x:  # a broken step is one failure, and the rest still runs
                check(f"{name}: {type(x).__name__}", [str(x).splitlines()[0] if str(x) else ""])
    failed = sum(1 for _, f in results if f)
    print(f"web: {len(results) - failed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
