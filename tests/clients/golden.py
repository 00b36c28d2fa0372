"""The golden cases (tests/golden/<topic>/*.case) for the client checks: reads a case and runs
the program on its input files with another protocol name, so that one case gives the same
findings in every protocol format."""
import os
import pathlib
import subprocess
import tempfile

ROOT = pathlib.Path(__file__).resolve().parents[2]
GOLDEN = ROOT / "tests" / "golden"
KINDS = ("args", "file", "link", "expect", "console", "exit")

# The last line of a protocol whose run was broken off by a fatal message ("Nelze otevrit
# soubor ..."): such a protocol has no totals, and in XML no end tag.
BROKEN_OFF = b" Program ukoncen\n"


def binary(argv):
    """The program: the first argument, else the one of the dev build."""
    return pathlib.Path(argv[0] if argv else ROOT / "build/dev/driver/ld952").resolve()


def cases():
    return sorted(GOLDEN.glob("*/*.case"))


def parse(path):
    """The sections of a case as (kind, name, body bytes), as the golden runner reads them."""
    sections = []
    for line in pathlib.Path(path).read_bytes().splitlines(keepends=True):
        bare = line[:-1] if line.endswith(b"\n") else line
        marker = len(bare) >= 7 and bare.startswith(b"-- ") and bare.endswith(b" --")
        words = bare[3:-3].split() if marker else []
        if words and words[0].decode() in KINDS:
            noeol = words[2:3] == [b"noeol"]
            name = os.fsdecode(words[1]) if len(words) > 1 else ""
            kind = "hard" if words[2:3] == [b"hard"] else words[0].decode()
            sections.append([kind, name, b"", noeol])
        elif sections:
            sections[-1][2] += line
    for s in sections:
        if s[3] and s[2].endswith(b"\n"):
            s[2] = s[2][:-1]
    return [(kind, name, body) for kind, name, body, _ in sections]


def arguments(sections):
    """The command line of a case, one argument per line of its args section."""
    args = [os.fsdecode(a) for k, _, b in sections if k == "args" for a in b.split(b"\n")]
    return args[:-1] if args and args[-1] == "" else args


def run(binary, path, protocols, timeout=60):
    """Runs a case once per protocol name, the protocol argument replaced by that name, in a
    fresh folder. Returns {protocol name: bytes of the protocol, or None when none was written}."""
    sections = parse(path)
    args = arguments(sections)
    positional = [i for i, a in enumerate(args) if not a.startswith("-")]
    out = {}
    for name in protocols:
        argv = list(args)
        if len(positional) >= 2:
            argv[positional[1]] = name
        else:
            argv += ([] if positional else ["kuf.xml"]) + [name]
        with tempfile.TemporaryDirectory() as tmp:
            for kind, fname, body in sections:
                target = pathlib.Path(tmp, fname)
                linked = os.fsdecode(body.split(b"\n")[0])
                if kind in ("file", "link"):
                    target.parent.mkdir(parents=True, exist_ok=True)
                if kind == "file":
                    target.write_bytes(body)
                elif kind == "link":  # made as the golden runner makes them
                    target.symlink_to(linked)
                elif kind == "hard":
                    os.link(pathlib.Path(tmp, linked), target)
            if pathlib.Path(tmp, name).exists():
                raise RuntimeError(f"{path.name}: the case has a file named {name}")
            subprocess.run([os.fspath(binary)] + argv, cwd=tmp, stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=timeout)
            p = pathlib.Path(tmp, name)
            out[name] = p.read_bytes() if p.is_file() else None
    return out


def label(path):
    return f"{path.parent.name}/{path.name}"
