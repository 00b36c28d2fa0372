#!/usr/bin/env python3
"""The XML protocols fit schemas/protokol.xsd: the XML protocol of every golden case run again
with a protocol named *.xml (the bytes that the golden cases expect, which the golden suite
checks).

    xml_schema.py [BINARY]      (default build/dev/driver/ld952)

A protocol broken off by a fatal message has no end tag and is not XML; a protocol holding
control characters from the report (NUL and the like) cannot be XML either. Both are counted
and named, not validated."""
import pathlib
import re
import subprocess
import sys
import tempfile

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
import golden  # noqa: E402

SCHEMA = golden.ROOT / "schemas" / "protokol.xsd"
NOT_XML_CHARS = re.compile(rb"[\x00-\x08\x0b\x0c\x0e-\x1f]")


def validate(data, tmp):
    path = pathlib.Path(tmp, "protokol.xml")
    path.write_bytes(data)
    r = subprocess.run(["xmllint", "--noout", "--schema", str(SCHEMA), str(path)],
                       capture_output=True)
    lines = r.stderr.decode("cp1250", "replace").splitlines()
    return None if r.returncode == 0 else (lines[0] if lines else f"xmllint exit {r.returncode}")


def main():
    binary = golden.binary(sys.argv[1:])
    protocols = []  # (label, bytes)
    for case in golden.cases():
        got = golden.run(binary, case, ["klient.xml"])["klient.xml"]
        if got is not None:
            protocols.append((golden.label(case), got))
    failures, valid, broken, control = [], 0, [], []
    with tempfile.TemporaryDirectory() as tmp:
        for name, data in protocols:
            if data.endswith(golden.BROKEN_OFF):
                broken.append(name)
            elif NOT_XML_CHARS.search(data):
                control.append(name)
            elif err := validate(data, tmp):
                failures.append(f"FAIL xml_schema: {name}: {err}")
            else:
                valid += 1
    for f in failures:
        print(f)
    print(f"xml_schema: {valid} protocols valid, {len(failures)} invalid; not validated: "
          f"{len(broken)} broken off by a fatal message, {len(control)} with control characters"
          + (f" ({', '.join(control)})" if control else ""))
    return 1 if failures or valid == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
