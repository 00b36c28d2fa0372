#!/usr/bin/env python3
"""Writes a golden case file from a short description (UTF-8 in, Windows-1250 out).

    mkcase.py CASEFILE 'description' 'arg1 arg2 ...' NAME=TEXT ...

Each NAME=TEXT becomes an input file; TEXT may use \\n escapes. The expectations are filled
in afterwards by running the golden runner with GOLDEN_UPDATE=1, and are then reviewed.
"""
import sys

path, description, args, *files = sys.argv[1:]
out = [description.rstrip("\n") + "\n", "-- args --\n"]
out += [a + "\n" for a in args.split()]
for f in files:
    name, text = f.split("=", 1)
    text = text.encode().decode("unicode_escape").encode("latin-1").decode("utf-8")
    noeol = not text.endswith("\n")
    out.append(f"-- file {name}{' noeol' if noeol else ''} --\n")
    out.append(text + ("\n" if noeol else ""))
with open(path, "wb") as fh:
    fh.write("".join(out).encode("cp1250"))
