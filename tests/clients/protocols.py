#!/usr/bin/env python3
"""The protocols as their readers see them. Every golden case runs again with a *.csv and a
*.xml protocol (the bytes the golden cases expect, which the golden suite checks), and:

- the XML protocol fits schemas/protokol.xsd (xmllint), unless it holds control characters of
  the report, which XML cannot carry; one that a fatal message ended holds the message in
  <Ukonceni> and is a whole document all the same;
- the CSV protocol read back with Python's csv module (';', Windows-1250) gives the findings
  of the XML protocol field by field, and the same totals, or the same message.

    protocols.py GOLDEN_RUNNER      (it runs the cases and keeps the two protocols)"""
import csv
import io
import os
import pathlib
import re
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

ROOT = pathlib.Path(__file__).resolve().parents[2]
# The last line of a protocol whose run was broken off by a fatal message ("Nelze otevrit
# soubor ..."): such a protocol has no totals; in XML the message stands in <Ukonceni>.
BROKEN_OFF = b" Program ukoncen\n"
SCHEMA = ROOT / "schemas" / "protokol.xsd"
HEADER = "Radek Chyba Zamestnavatel Zamestnanec Prvek Hodnota Ocekavano Popis".split()
TAGS = "Radek KodChyby Zamestnavatel Zamestnanec Prvek Hodnota DelkaHodn Popis".split()
CONTROL = re.compile("[\x00-\x08\x0b\x0c\x0e-\x1f]")


def hide_controls(text):
    """Characters XML cannot carry, moved out of the way on both sides."""
    return CONTROL.sub(lambda m: chr(0xE000 + ord(m.group())), text)


def schema_error(data, tmp):
    path = pathlib.Path(tmp, "protokol.xml")
    path.write_bytes(data)
    r = subprocess.run(["xmllint", "--noout", "--schema", str(SCHEMA), str(path)],
                       capture_output=True)
    lines = r.stderr.decode("cp1250", "replace").splitlines()
    return None if r.returncode == 0 else (lines[0] if lines else f"xmllint exit {r.returncode}")


def read_csv(data):
    """(findings, totals) of a CSV protocol; a broken-off one has its message instead of totals."""
    text = data.decode("cp1250")
    rows = list(csv.reader(io.StringIO(text, newline=""), delimiter=";"))
    if data.endswith(BROKEN_OFF):
        lines = text.split("\n")
        rows, totals = rows[:-2], "\n".join(lines[-3:])
    else:
        rows, totals = rows[:-4], [r[1] for r in rows[-4:][1::2]]
    if rows and rows[0] != HEADER:
        raise ValueError(f"header row {rows[0]}")
    if any(len(r) != len(HEADER) for r in rows):
        raise ValueError("a finding without eight columns")
    return rows[1:], totals


def read_xml(data):
    """(findings, totals) of an XML protocol; a broken-off one has its message instead."""
    root = ET.fromstring(hide_controls(data.decode("cp1250")))
    findings = [[c.text or "" for c in e] for e in root.iter("Chyba")]
    if any([c.tag for c in e] != TAGS for e in root.iter("Chyba")):
        raise ValueError("a finding without the eight elements")
    message = root.findtext("Ukonceni")
    if message is not None:
        return findings, message
    return findings, [root.findtext(t) for t in ("CelkemchybE", "CelkemchybW")]


def check(name, got, tmp):
    """The failures of one case, and whether its XML protocol was validated."""
    xml, out, valid = got["xml"], [], False
    if xml is not None and not CONTROL.search(xml.decode("cp1250")):
        err = schema_error(xml, tmp)
        out += [f"{name}: schema: {err}"] if err else []
        valid = not err
    if got["csv"] is None and xml is None:
        return out, valid
    try:
        rows, totals = read_csv(got["csv"])
        findings, xml_totals = read_xml(xml)
    except (TypeError, ValueError, IndexError, UnicodeDecodeError, ET.ParseError) as e:
        return out + [f"{name}: {type(e).__name__}: {e}"], valid
    if [[hide_controls(c) for c in r] for r in rows] != findings:
        out.append(f"{name}: the CSV rows are not the XML findings ({len(rows)}, {len(findings)})")
    if totals != xml_totals:
        out.append(f"{name}: totals CSV {totals}, XML {xml_totals}")
    return out, valid


def main():
    failures, valid = [], 0
    with tempfile.TemporaryDirectory() as tmp:
        kept = {}
        for fmt in ("csv", "xml"):
            folder = pathlib.Path(tmp, fmt)
            folder.mkdir()
            env = dict(os.environ, GOLDEN_PROTOCOL=f"klient.{fmt}", GOLDEN_KEEP=str(folder),
                       GOLDEN_BUFFERS="4096")
            subprocess.run([sys.argv[1], str(ROOT / "tests" / "golden")], env=env, check=True,
                           stdout=subprocess.DEVNULL)
            kept[fmt] = {p.name: p.read_bytes() for p in folder.iterdir()}
        cases = sorted(set(kept["csv"]) | set(kept["xml"]))
        for name in cases:
            bad, ok = check(name, {f: kept[f].get(name) for f in kept}, tmp)
            failures += bad
            valid += ok
    for f in failures:
        print(f"FAIL protocols: {f}")
    print(f"protocols: {len(cases)} cases, {valid} XML protocols valid, {len(failures)} failures")
    return 1 if failures or valid == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
