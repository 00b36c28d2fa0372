"""The service as its tests start it and talk to it: the real program on a free loopback
port, Python's http.client, curl and raw sockets, and every answer held against the OpenAPI
document (doc/ld952-server.openapi.json)."""
import http.client
import json
import os
import pathlib
import re
import signal
import socket
import subprocess
import tempfile
import time

ROOT = pathlib.Path(__file__).resolve().parents[2]
SERVER = os.environ.get("LD952_SERVER", str(ROOT / "build/dev/server/ld952-server"))
# The command line the answers are compared with: LD952_REFERENCE_CLI, where set, spares the
# sanitized trees their slow program starts.
CLI = os.environ.get("LD952_REFERENCE_CLI") or os.environ.get(
    "LD952_CLI", str(ROOT / "build/dev/driver/ld952"))
OPENAPI = json.loads((ROOT / "doc/ld952-server.openapi.json").read_text())
SCHEMA = json.loads((ROOT / "doc/ld952-findings.schema.json").read_text())
STAMP = re.compile(rb"\d\d/\d\d/20\d\d  \d\d:\d\d:\d\d")
# Sanitizers slow the program down several times: the waits of the tests stretch with it.
SLOW = float(os.environ.get("LD952_SLOW", "1"))


def masked(protocol):
    return STAMP.sub(b"dd/mm/20yy  hh:mm:ss", protocol)


class Answer:
    def __init__(self, status, headers, body):
        self.status, self.headers, self.body = status, headers, body

    def header(self, name):
        return self.headers.get(name.lower())

    def __repr__(self):
        return f"<{self.status} {self.body[:200]!r}>"


def resolve(node):
    """A node of the OpenAPI document with its local $ref followed."""
    while isinstance(node, dict) and "$ref" in node and node["$ref"].startswith("#/"):
        target = OPENAPI
        for part in node["$ref"][2:].split("/"):
            target = target[part]
        node = target
    return node


GENERIC = {404, 405}  # any path not listed, a listed path's other methods


def conform(method, path, answer):
    """The answer as the OpenAPI document describes it: a status it lists for the path and
    method, the headers it names, and a content type it lists."""
    route = path.split("?")[0]
    operation = OPENAPI["paths"].get(route, {}).get(method.lower())
    if operation is None or answer.status in GENERIC:
        assert answer.status in GENERIC, f"{method} {path}: {answer.status} for no operation"
        return
    responses = operation["responses"]
    assert str(answer.status) in responses, f"{method} {path}: {answer.status} is not documented"
    response = resolve(responses[str(answer.status)])
    for name in response.get("headers", {}):
        assert answer.header(name) is not None, f"{method} {path}: {answer.status} lacks {name}"
    types = {t.replace(" ", "").lower() for t in response.get("content", {})}
    got = (answer.header("content-type") or "").replace(" ", "").lower()
    assert not types or got in types, f"{method} {path}: content type {got} not in {types}"
    assert answer.header("x-request-id"), f"{method} {path}: no X-Request-Id"


class Server:
    """The program, started on a free port; its log lines in a file."""

    def __init__(self, *args, wait=True):
        self.dir = tempfile.TemporaryDirectory(prefix="ld952-server-test")
        self.log_path = pathlib.Path(self.dir.name, "log")
        self.args = [SERVER, "--listen", "127.0.0.1:0", *args]
        with open(self.log_path, "wb") as log:
            self.proc = subprocess.Popen(self.args, stdout=subprocess.DEVNULL, stderr=log)
        self.port = None
        if wait:
            self.wait_listening()

    def wait_listening(self):
        deadline = time.monotonic() + 20 * SLOW
        while time.monotonic() < deadline:
            for line in self.log():
                if line.get("event") == "listening":
                    self.port = line["port"]
                    return
            if self.proc.poll() is not None:
                raise RuntimeError(f"the server ended with {self.proc.returncode}: "
                                   f"{self.log_path.read_text()}")
            time.sleep(0.02)
        raise RuntimeError("the server did not listen")

    def log(self):
        lines = []
        for text in self.log_path.read_text(errors="replace").splitlines():
            try:
                lines.append(json.loads(text))
            except ValueError:
                lines.append({"text": text})
        return lines

    def requests_logged(self):
        return [line for line in self.log() if "id" in line]

    def connection(self, timeout=30):
        return http.client.HTTPConnection("127.0.0.1", self.port, timeout=timeout * SLOW)

    def request(self, method, path, body=None, headers=None, conn=None):
        own = conn is None
        conn = conn or self.connection()
        try:
            chunked = body is not None and not isinstance(body, bytes)
            conn.request(method, path, body=body, headers=headers or {}, encode_chunked=chunked)
            r = conn.getresponse()
            answer = Answer(r.status, {k.lower(): v for k, v in r.getheaders()}, r.read())
        finally:
            if own:
                conn.close()
        conform(method, path, answer)
        return answer

    def check(self, body, query="", path="/v1/check", headers=None):
        return self.request("POST", path + ("?" + query if query else ""), body, headers)

    def raw(self, data, timeout=10, shut=True):
        """Bytes sent as they are; what comes back until the server closes or `timeout`."""
        with socket.create_connection(("127.0.0.1", self.port), timeout=timeout * SLOW) as s:
            s.sendall(data)
            if shut:
                s.shutdown(socket.SHUT_WR)
            return read_all(s)

    def metrics(self, headers=None):
        answer = self.request("GET", "/metrics", headers=headers)
        assert answer.status == 200, answer
        values = {}
        for line in answer.body.decode().splitlines():
            if line and not line.startswith("#"):
                name, value = line.rsplit(" ", 1)
                values[name] = float(value)
        return values

    def stop(self, sig=signal.SIGTERM, timeout=60):
        if self.proc.poll() is None:
            self.proc.send_signal(sig)
        try:
            return self.proc.wait(timeout=timeout * SLOW)
        finally:
            if self.proc.poll() is None:
                self.proc.kill()
                self.proc.wait()

    def close(self):
        code = self.stop()
        self.dir.cleanup()
        return code


def read_all(s):
    chunks = []
    try:
        while True:
            data = s.recv(65536)
            if not data:
                break
            chunks.append(data)
    except (socket.timeout, ConnectionResetError):
        pass
    return b"".join(chunks)


def status_of(raw):
    """The status of the first final answer in raw bytes (after any 100 Continue)."""
    for m in re.finditer(rb"HTTP/1\.[01] (\d\d\d)", raw):
        if m.group(1) != b"100":
            return int(m.group(1))
    return None


def cli(args, cwd):
    """The command line in `cwd`: its exit code."""
    return subprocess.run([CLI, *args], cwd=cwd, stdout=subprocess.DEVNULL).returncode


def wait_for(predicate, timeout=10, what="a condition"):
    deadline = time.monotonic() + timeout * SLOW
    while time.monotonic() < deadline:
        value = predicate()
        if value:
            return value
        time.sleep(0.02)
    raise AssertionError(f"timed out waiting for {what}")
