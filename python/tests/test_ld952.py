"""The Python module against the protocols of the same checks, its sources of a report, its
exceptions and the C header it mirrors. Runs on the installed module, or with PYTHONPATH=python
and LD952_LIBRARY naming a built libld952.so.0."""
import csv
import ctypes
import importlib.metadata
import io
import pathlib
import re
import shutil
import subprocess
import threading

import pytest

import ld952

ROOT = pathlib.Path(__file__).resolve().parents[2]
CHYBY = ROOT / "examples" / "kuf-chyby.xml"
VALID = ROOT / "examples" / "kuf.xml"


def golden_input(case):
    """The report of a golden case: its findings on employers as a whole have no line."""
    text = (ROOT / "tests" / "golden" / case).read_bytes()
    start = text.index(b"\n-- file kuf.xml --\n") + len(b"\n-- file kuf.xml --\n")
    return text[start:text.index(b"\n-- ", start) + 1]


EMPLOYERS = golden_input("edges-closing/counts.case")


def csv_protocol(path):
    """(rows, errors, warnings) of a CSV protocol, as a spreadsheet reads it."""
    with open(path, encoding="cp1250", newline="") as f:
        rows = list(csv.reader(f, delimiter=";"))
    assert rows[0][:2] == ["Radek", "Chyba"]
    totals = {r[0]: int(r[1]) for r in rows if r and r[0].startswith("Celkem chyb vahy")}
    findings = [r for r in rows[1:] if len(r) == 8]
    return findings, totals["Celkem chyb vahy E:"], totals["Celkem chyb vahy W:"]


@pytest.mark.parametrize("report", [CHYBY, VALID, EMPLOYERS], ids=["chyby", "valid", "employers"])
def test_findings_are_the_rows_of_the_csv_protocol(tmp_path, report):
    r = ld952.check(report, protocol=tmp_path / "p.csv")
    rows, errors, warnings = csv_protocol(tmp_path / "p.csv")
    assert (r.errors, r.warnings) == (errors, warnings)
    assert len(r.findings) == len(rows)
    for f, row in zip(r.findings, rows):
        row = [c.strip(" ") for c in row]
        assert f.lines == tuple(int(n) for n in row[0].split(",") if n)
        assert f.weight == row[1][0]
        assert list(f[2:]) == row[1:]
    assert "Program ukoncen normalne" in r.console
    lines = [f.lines for f in r.findings]
    if report is CHYBY:
        assert errors > 0 and warnings > 0
        assert (146, 206) in lines  # two records of one person disagree
        assert "Neplatné datum - den neodpovídá měsíci" in [f.description for f in r.findings]
    elif report is EMPLOYERS:
        assert () in lines and [f.value for f in r.findings if f.code == "EL081"] == ["M"]
    else:
        assert r.findings == [] and errors == warnings == 0


def chunks(data, size):
    return (data[i:i + size] for i in range(0, len(data), size))


def test_every_source_gives_the_check_of_the_file():
    expected = ld952.check(CHYBY)
    data = CHYBY.read_bytes()
    sources = {
        "path": lambda: str(CHYBY), "bytes": lambda: data, "bytearray": lambda: bytearray(data),
        "memoryview": lambda: memoryview(data), "file": lambda: open(CHYBY, "rb"),
        "raw file": lambda: open(CHYBY, "rb", buffering=0), "BytesIO": lambda: io.BytesIO(data),
        "pieces": lambda: chunks(data, 1000), "bytes one by one": lambda: chunks(data, 1),
        "list": lambda: [data[:7], b"", bytearray(data[7:])]}
    for kind, source in sources.items():
        for threads in (1, 2):
            r = ld952.check(source(), threads=threads)
            assert r[:3] == expected[:3], (kind, threads)


def test_suppressed_warnings_are_counted_but_not_found(tmp_path):
    every = ld952.check(CHYBY)
    r = ld952.check(CHYBY.read_bytes(), protocol=tmp_path / "p.csv", suppress_warnings=True)
    assert (r.errors, r.warnings) == (every.errors, every.warnings)
    assert r.findings == [f for f in every.findings if f.weight == "E"]
    assert len(csv_protocol(tmp_path / "p.csv")[0]) == every.errors


def test_a_check_that_cannot_run_raises_the_console_message(tmp_path):
    missing = tmp_path / "chybí.xml"
    with pytest.raises(ld952.CheckError) as e:
        ld952.check(missing)
    assert str(e.value) == f"Nelze otevrit soubor  {missing}" and e.value.code == 13
    assert e.value.filename == str(missing)
    assert e.value.console.endswith(" Program ukoncen\n")

    copy = tmp_path / "kuf.xml"
    shutil.copyfile(CHYBY, copy)
    with pytest.raises(ld952.CheckError, match=r"^Nelze otevrit soubor  .*kuf\.xml$"):
        ld952.check(copy, protocol=f"{tmp_path}/./kuf.xml")  # would overwrite the report
    assert copy.read_bytes() == CHYBY.read_bytes()

    with pytest.raises(ld952.CheckError) as e:
        ld952.check(CHYBY, protocol=tmp_path / "no folder" / "p.htm")
    assert e.value.filename == str(tmp_path / "no folder" / "p.htm")


def test_a_failing_stream_ends_the_check_with_its_own_exception():
    def broken():
        yield CHYBY.read_bytes()[:5000]
        raise ConnectionError("the export broke off")

    with pytest.raises(ConnectionError, match="broke off"):
        ld952.check(broken())
    with open(CHYBY, encoding="cp1250") as text, pytest.raises(TypeError):
        ld952.check(text)
    with pytest.raises(TypeError):
        ld952.check(iter(["<?xml"]))
    with pytest.raises(TypeError):
        ld952.check(42)


def test_progress_is_told_and_can_stop_the_check(tmp_path):
    seen = []
    r = ld952.check(VALID, progress=seen.append)
    assert seen[-1].bytes_read == seen[-1].bytes_total == VALID.stat().st_size
    assert seen[-1].records == VALID.read_bytes().count(b"</zamestnanec>") > 0
    for before, after in zip(seen, seen[1:]):
        assert all(a <= b for a, b in zip(before, after))
    assert r.errors == 0

    protocol = tmp_path / "p.htm"
    with pytest.raises(ld952.Stopped):
        ld952.check(CHYBY, protocol=protocol, progress=lambda p: True)
    assert not protocol.exists()

    def interrupted(p):
        raise KeyboardInterrupt

    with pytest.raises(KeyboardInterrupt):
        ld952.check(chunks(CHYBY.read_bytes(), 100), progress=interrupted)


def test_checks_at_once_on_several_threads():
    expected = ld952.check(CHYBY)
    data = CHYBY.read_bytes()
    results = [None] * 4

    def run(i):
        results[i] = ld952.check(data if i % 2 else chunks(data, 3000), threads=1 + i % 2)

    threads = [threading.Thread(target=run, args=(i,)) for i in range(len(results))]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert all(r[:3] == expected[:3] for r in results)


def test_the_structures_are_those_of_the_header(tmp_path):
    """Each ctypes structure has the offsets and the size that a C compiler gives ld952.h."""
    cc = shutil.which("cc")
    if cc is None:
        pytest.skip("no C compiler")
    structs = {"ld952_text": ld952._Text, "ld952_finding": ld952._Finding,
               "ld952_progress": ld952._Progress, "ld952_options": ld952._Options,
               "ld952_totals": ld952._Totals}
    lines, expected = [], []
    for name, s in structs.items():
        lines.append(f'printf("%zu\\n", sizeof(struct {name}));')
        expected.append(ctypes.sizeof(s))
        for field, *_ in s._fields_:
            lines.append(f'printf("%zu\\n", offsetof(struct {name}, {field}));')
            expected.append(getattr(s, field).offset)
    source = tmp_path / "layout.c"
    source.write_text("#include <stddef.h>\n#include <stdio.h>\n#include \"ld952.h\"\n"
                      "int main(void) {\n" + "\n".join(lines) + "\nreturn 0;\n}\n")
    subprocess.run([cc, "-I", ROOT / "include", source, "-o", tmp_path / "layout"], check=True)
    out = subprocess.run([tmp_path / "layout"], capture_output=True, text=True, check=True)
    assert [int(n) for n in out.stdout.split()] == expected


def test_version_is_the_projects():
    declared = re.search(r"project\(ld952 VERSION ([0-9.]+)",
                         (ROOT / "CMakeLists.txt").read_text()).group(1)
    assert ld952.__version__ == ld952.library_version() == declared
    try:
        assert importlib.metadata.version("ld952") == declared
    except importlib.metadata.PackageNotFoundError:
        pass  # run from the source tree
