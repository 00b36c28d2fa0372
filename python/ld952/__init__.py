"""The checker of KUF salary statistics reports, from Python.

    import ld952
    result = ld952.check("kuf.xml")               # a file, by its path
    result = ld952.check(data)                    # the report's bytes
    result = ld952.check(open("kuf.xml", "rb"))   # a file object, or any iterable of bytes
    for f in result.findings:
        print(f.lines, f.code, f.element, f.description)

A check runs the checker of the program ld952 through its shared library, libld952.so.0: the
file that LD952_LIBRARY names when it is set, else the one built into this package, else the
system's (the package libld952-0, or `cmake --install` into a folder the loader searches). It gives
the totals of both weights and every row of the protocol as a Finding; with `protocol` and
`output_copy` it writes those files as the command line does. A check that cannot run or
cannot end (exit code 13 of the command line) raises CheckError with the console's message.
"""

import ctypes
import io
import os
import pathlib
from typing import NamedTuple

__all__ = ["check", "Finding", "Result", "Progress", "CheckError", "Stopped", "library_version"]

ENCODING = "cp1250"  # of every text of the report, the protocols and the console


class Finding(NamedTuple):
    """One row of the protocol, its texts decoded and with the blanks around them trimmed."""

    lines: tuple  # the line numbers: one, two where two records disagree, none for an employer
    weight: str  # "E" error, "W" warning
    code: str  # "EL050"
    employer: str  # the employer's identification ("70096008/ZS"), "" before the first one
    employee: str  # the employee's, "" where the finding is on no single employee
    element: str  # the element's name, or two ("AA0225 + AA0216")
    value: str  # the value found, "" where there is none
    expected: str  # the value expected, "" where there is none
    description: str


class Result(NamedTuple):
    """A check that ran to its end, whatever it found."""

    errors: int  # findings of weight E
    warnings: int  # of weight W, those suppressed included
    findings: list  # the rows of the protocol, in its order
    console: str  # the console text (progress lines joined by carriage returns)


class Progress(NamedTuple):
    """How far a check has come, as told to the `progress` callback."""

    bytes_read: int
    bytes_total: int  # of the report; 0 for a stream, whose size is not known
    records: int  # employee records checked
    line: int


class CheckError(Exception):
    """The check could not run or could not end: a file that cannot be read or written, or
    that would overwrite another file of the check; memory that ran out. `message` is the
    console's reason ("Nelze otevrit soubor  kuf.xml"), `filename` the file it names, if any,
    `console` the whole console text."""

    code = 13

    def __init__(self, message, filename, console):
        super().__init__(message)
        self.message, self.filename, self.console = message, filename, console


class Stopped(Exception):
    """The `progress` callback asked the check to stop; `findings` holds the rows found before.
    The protocol and output copy files it was writing are removed."""

    def __init__(self, findings):
        super().__init__("the check was stopped by its progress callback")
        self.findings = findings


# ---- The C interface (ld952.h) -------------------------------------------------------------


class _Text(ctypes.Structure):
    _fields_ = [("data", ctypes.c_void_p), ("size", ctypes.c_size_t)]


class _Finding(ctypes.Structure):
    _fields_ = [("weight", ctypes.c_char)] + [
        (name, _Text)
        for name in ("line", "code", "employer", "employee", "element", "value", "expected",
                     "description")
    ]


class _Progress(ctypes.Structure):
    _fields_ = [("bytes_read", ctypes.c_ulonglong), ("bytes_total", ctypes.c_ulonglong),
                ("records", ctypes.c_longlong), ("line", ctypes.c_longlong)]


class _Totals(ctypes.Structure):
    _fields_ = [("errors", ctypes.c_longlong), ("warnings", ctypes.c_longlong),
                ("rows", ctypes.c_longlong)]


_FindingFn = ctypes.CFUNCTYPE(None, ctypes.POINTER(_Finding), ctypes.c_void_p)
_OutputFn = ctypes.CFUNCTYPE(None, ctypes.c_void_p, ctypes.c_size_t, ctypes.c_void_p)
_ProgressFn = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.POINTER(_Progress), ctypes.c_void_p)
_ReadFn = ctypes.CFUNCTYPE(ctypes.c_ssize_t, ctypes.c_void_p, ctypes.c_size_t, ctypes.c_void_p)


class _Options(ctypes.Structure):
    _fields_ = [
        ("input", ctypes.c_char_p),
        ("protocol", ctypes.c_char_p),
        ("output_copy", ctypes.c_char_p),
        ("suppress_warnings", ctypes.c_int),
        ("list", ctypes.c_int),
        ("on_finding", _FindingFn),
        ("finding_context", ctypes.c_void_p),
        ("on_console", _OutputFn),
        ("console_context", ctypes.c_void_p),
        ("on_progress", _ProgressFn),
        ("progress_context", ctypes.c_void_p),
        ("on_protocol", ctypes.c_void_p),  # ld952_write_fn, not used here
        ("protocol_context", ctypes.c_void_p),
        ("on_output_copy", ctypes.c_void_p),
        ("output_copy_context", ctypes.c_void_p),
        ("threads", ctypes.c_int),
    ]


_OK, _STOPPED, _FAILED = 0, 2, 13
_SONAME = "libld952.so.0"


def _load():
    explicit = os.environ.get("LD952_LIBRARY")
    if explicit:
        candidates = [explicit]
    else:
        candidates = [str(pathlib.Path(__file__).with_name(_SONAME)), _SONAME]
    reasons = []
    for path in candidates:
        if os.sep in path and not os.path.exists(path):
            reasons.append(f"{path}: no such file")
            continue
        try:
            return ctypes.CDLL(path), path
        except OSError as e:
            reasons.append(str(e))
    raise ImportError("ld952: cannot load the checker's library " + _SONAME + ": " +
                      "; ".join(reasons))


_lib, library_path = _load()
_lib.ld952_version.restype = ctypes.c_char_p
_lib.ld952_version.argtypes = []
_options = [ctypes.POINTER(_Options), ctypes.POINTER(_Totals)]
_lib.ld952_check_file.argtypes = _options
_lib.ld952_check_buffer.argtypes = [ctypes.c_void_p, ctypes.c_size_t] + _options
_lib.ld952_check_stream.argtypes = [_ReadFn, ctypes.c_void_p] + _options
for _f in (_lib.ld952_check_file, _lib.ld952_check_buffer, _lib.ld952_check_stream):
    _f.restype = ctypes.c_int


def library_version():
    """The version of the loaded library, "MAJOR.MINOR"."""
    return _lib.ld952_version().decode("ascii")


__version__ = library_version()

# ---- A check -------------------------------------------------------------------------------

# The console's reasons that end with a file name, which is the caller's (the file system's
# bytes), not Windows-1250.
_NAMED = (b" Nelze otevrit soubor  ", b" Nelze zapsat soubor  ")


def _decode(data):
    return data.decode(ENCODING, "replace")


def _text(t):
    return _decode(ctypes.string_at(t.data, t.size)).strip(" ")


def _finding(f):
    line = _text(f.line)
    return Finding(tuple(int(n) for n in line.split(",")) if line else (), _decode(f.weight),
                   _text(f.code), _text(f.employer), _text(f.employee), _text(f.element),
                   _text(f.value), _text(f.expected), _text(f.description))


def _failure(console):
    """The CheckError of a failed check: the last line before " Program ukoncen"."""
    lines = console.split(b"\n")
    while lines and lines[-1] in (b"", b" Program ukoncen"):
        lines.pop()
    reason = lines[-1].split(b"\r")[-1] if lines else b""
    for prefix in _NAMED:
        if reason.startswith(prefix):
            filename = os.fsdecode(reason[len(prefix):])
            return CheckError(_decode(prefix[1:]) + filename, filename, _decode(console))
    return CheckError(_decode(reason.lstrip(b" ")), None, _decode(console))


def _name(path):
    return None if path is None else os.fsencode(path)


class _Check:
    """The callbacks of one check. An exception raised in one of them (the caller's progress
    function, the reading of a stream, a KeyboardInterrupt) ends the check and is raised again
    when the library returns."""

    def __init__(self, progress):
        self.findings = []
        self.console = []
        self.error = None
        self.user_progress = progress
        self.on_finding = _FindingFn(
            self._guard(lambda f, _: self.findings.append(_finding(f[0]))))
        self.on_console = _OutputFn(
            self._guard(lambda b, n, _: self.console.append(ctypes.string_at(b, n))))
        self.on_progress = _ProgressFn(self._guard(self._progress, 1))

    def _guard(self, fn, failed=None):
        def call(*args):
            if self.error is not None:
                return failed
            try:
                return fn(*args)
            except BaseException as e:  # raised again when the library returns
                self.error = e
                return failed

        return call

    def _progress(self, p, _):
        if self.user_progress is None:
            return 0
        q = p[0]
        stop = self.user_progress(Progress(q.bytes_read, q.bytes_total, q.records, q.line))
        return 1 if stop else 0

    def result(self, code, totals):
        if self.error is not None:
            raise self.error
        console = b"".join(self.console)
        if code == _OK:
            return Result(totals.errors, totals.warnings, self.findings, _decode(console))
        if code == _STOPPED:
            raise Stopped(self.findings)
        if code == _FAILED:
            raise _failure(console)
        raise RuntimeError(f"ld952: the library returned {code}")


def _reader(source):
    """A read callback over a binary file object or an iterable of bytes."""
    if hasattr(source, "read"):
        readinto = getattr(source, "readinto", None)

        def read(buffer, size, _):
            if readinto is not None:
                n = readinto((ctypes.c_ubyte * size).from_address(buffer))
                if n is None:
                    raise BlockingIOError("ld952: the stream has no bytes ready (non-blocking?)")
                return n
            data = source.read(size)
            if not isinstance(data, (bytes, bytearray)):
                raise TypeError("ld952: the report must be read as bytes (open it with 'rb')")
            if len(data) > size:
                raise ValueError("ld952: read(size) gave more than size bytes")
            ctypes.memmove(buffer, bytes(data), len(data))
            return len(data)

        return read

    chunks = iter(source)
    pending = memoryview(b"")

    def read(buffer, size, _):
        nonlocal pending
        while not pending:
            chunk = next(chunks, None)
            if chunk is None:
                return 0
            if isinstance(chunk, str):
                raise TypeError("ld952: the report's pieces must be bytes, not str")
            pending = memoryview(chunk).cast("B")
        n = min(size, len(pending))
        (ctypes.c_ubyte * n).from_address(buffer)[:] = pending[:n]
        pending = pending[n:]
        return n

    return read


def check(report, protocol=None, output_copy=None, suppress_warnings=False, *, name=None,
          progress=None, threads=0):
    """Checks a report and returns its Result.

    report: a path (str or os.PathLike) of the file to check; or the report's contents as
        bytes (bytearray, memoryview); or a binary file object or an iterable of bytes, read
        in pieces as the check goes.
    protocol, output_copy: paths of the protocol (its extension chooses the format: .txt,
        .csv, .xml, else HTML) and of the output copy to write, as the command line does;
        None writes none.
    suppress_warnings: as -w: warnings are counted but are neither findings nor rows.
    name: the report's name in the protocol and the messages, for contents and streams (a
        file object's own name by default, else "kuf.xml").
    progress: called with a Progress after every 64 kB read and at the end; a true return
        stops the check, which raises Stopped.
    threads: 0 two where the process may use two processors, 1 the calling thread alone, 2.

    Raises CheckError when the check cannot run or cannot end; an exception raised by
    `progress` or by the stream ends the check and is raised again."""
    if threads not in (0, 1, 2):
        raise ValueError(f"ld952: threads is 0, 1 or 2, not {threads!r}")
    c = _Check(progress)
    o = _Options(protocol=_name(protocol), output_copy=_name(output_copy),
                 suppress_warnings=1 if suppress_warnings else 0, on_finding=c.on_finding,
                 on_console=c.on_console, on_progress=c.on_progress, threads=threads)
    totals = _Totals()
    if isinstance(report, (str, os.PathLike)):
        if name is not None:
            raise TypeError("ld952: name is for contents and streams; a file is named by its path")
        o.input = os.fsencode(report)
        code = _lib.ld952_check_file(ctypes.byref(o), ctypes.byref(totals))
    elif isinstance(report, (bytes, bytearray, memoryview)):
        o.input = _name(name)
        data = bytes(report)
        code = _lib.ld952_check_buffer(data, len(data), ctypes.byref(o), ctypes.byref(totals))
    elif isinstance(report, io.TextIOBase):
        raise TypeError("ld952: the report is read as bytes: open it with 'rb'")
    elif hasattr(report, "read") or hasattr(report, "__iter__"):
        if name is None and isinstance(getattr(report, "name", None), str):
            name = report.name
        o.input = _name(name)
        read = _ReadFn(c._guard(_reader(report), -1))
        code = _lib.ld952_check_stream(read, None, ctypes.byref(o), ctypes.byref(totals))
    else:
        raise TypeError("ld952: a report is a path, bytes, a binary file or an iterable of "
                        f"bytes, not {type(report).__name__}")
    return c.result(code, totals)
