#!/usr/bin/env python3
"""The CSV protocols read back with Python's csv module (';', Windows-1250) give the findings
of the XML protocol of the same run, field by field.

    csv_reader.py [BINARY]      (default build/dev/driver/ld952)

For every golden case: the case run again once with a *.csv and once with a *.xml protocol
gives the CSV layout and the same rows in both. (The re-runs give the bytes that the golden
cases expect, which the golden suite checks.)

The CSV layout: the header row; one row of eight columns per finding; then an empty row,
"Celkem chyb vahy E:;" and the count in eight columns, an empty row and the same for W. A run
broken off by a fatal message ends instead with the message and " Program ukoncen", one
column each, and has no totals (nor, when it stops before the header, a header)."""
import csv
import io
import re
import sys
import xml.etree.ElementTree as ET

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
import golden  # noqa: E402

HEADER = "Radek Chyba Zamestnavatel Zamestnanec Prvek Hodnota Ocekavano Popis".split()
TAGS = "Radek KodChyby Zamestnavatel Zamestnanec Prvek Hodnota DelkaHodn Popis".split()
# Characters XML cannot carry (a report may hold them): both sides map them out of the way.
CONTROL = re.compile("[\x00-\x08\x0b\x0c\x0e-\x1f]")


def hide_controls(text):
    return CONTROL.sub(lambda m: chr(0xE000 + ord(m.group())), text)


def read_csv(data):
    """(findings, totals or None, broken-off message or None); raises ValueError on a layout
    that is not the CSV protocol."""
    rows = list(csv.reader(io.StringIO(data.decode("cp1250"), newline=""), delimiter=";"))
    message = None
    if data.endswith(golden.BROKEN_OFF):
        if len(rows) < 2 or len(rows[-1]) != 1 or len(rows[-2]) != 1:
            raise ValueError(f"the closing message is not two one-column rows: {rows[-2:]}")
        message, rows = rows[-2][0], rows[:-2]
        if not rows:
            return [], None, message
    if not rows or rows[0] != HEADER:
        raise ValueError(f"header row {rows[:1]}")
    rows, totals = rows[1:], None
    if message is None:
        trailer, rows = rows[-4:], rows[:-4]
        labels = [r[0] for r in trailer[1::2] if r]
        totals = [r[1] for r in trailer[1::2] if len(r) == 2]
        if (len(trailer) != 4 or trailer[0] or trailer[2] or len(totals) != 2
                or labels != ["Celkem chyb vahy E:", "Celkem chyb vahy W:"]
                or not all(re.fullmatch(r" *\d+", t) and len(t) >= 8 for t in totals)):
            raise ValueError(f"trailer rows {trailer}")
    for i, r in enumerate(rows, 1):
        if len(r) != len(HEADER):
            raise ValueError(f"finding {i} has {len(r)} columns: {r}")
    if totals and int(totals[0]) != sum(r[1].startswith("E") for r in rows):
        raise ValueError(f"the E total {totals[0].strip()} is not the number of E rows")
    return rows, totals, message


def read_xml(data):
    """(findings, totals or None) of an XML protocol; a broken-off one is read up to its message."""
    text = data.decode("cp1250")
    if data.endswith(golden.BROKEN_OFF):
        if not text.startswith("<?xml"):
            return [], None
        text = "\n".join(text.split("\n")[:-3]) + "\n</KUF_chyby>\n"  # the message: two lines
    root = ET.fromstring(hide_controls(text))
    findings = []
    for e in root.iter("Chyba"):
        if [c.tag for c in e] != TAGS:
            raise ValueError(f"finding {len(findings) + 1} has the elements {[c.tag for c in e]}")
        findings.append([c.text or "" for c in e])
    totals = [root.findtext(t) for t in ("CelkemchybE", "CelkemchybW")]
    return findings, None if totals == [None, None] else totals


def compare(case, binary):
    """The failures of one case, as lines."""
    name, out = golden.label(case), []
    got = golden.run(binary, case, ["klient.csv", "klient.xml"])
    if got["klient.csv"] is None and got["klient.xml"] is None:
        return out
    try:
        rows, totals, _ = read_csv(got["klient.csv"])
        findings, xml_totals = read_xml(got["klient.xml"])
    except (TypeError, ValueError, UnicodeDecodeError, ET.ParseError) as e:
        return out + [f"{name}: {type(e).__name__}: {e}"]
    if len(rows) != len(findings):
        out.append(f"{name}: {len(rows)} CSV rows, {len(findings)} XML findings")
    for i, (r, f) in enumerate(zip(rows, findings), 1):
        for column, a, b in zip(HEADER, r, f):
            if hide_controls(a) != b:
                out.append(f"{name}: finding {i} column {column}: CSV {a!r}, XML {b!r}")
    if totals != xml_totals:
        out.append(f"{name}: totals CSV {totals}, XML {xml_totals}")
    return out


def main():
    binary = golden.binary(sys.argv[1:])
    cases = golden.cases()
    failures = [f for case in cases for f in compare(case, binary)]
    for f in failures:
        print(f"FAIL csv_reader: {f}")
    print(f"csv_reader: {len(cases)} cases, {len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
