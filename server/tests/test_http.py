#!/usr/bin/env python3
"""The service over real connections: the query, the framing of the body, the limits, the
timeouts against slow clients, the check slots, the token, the metrics and the log. Every
answer read through harness.Server.request is held against the OpenAPI document.

    test_http.py [unittest arguments]   (LD952_SERVER, LD952_CLI name the programs)"""
import json
import os
import pathlib
import re
import socket
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.parse

import harness
from harness import Server, status_of, wait_for, SLOW

ROOT = harness.ROOT
SAMPLE = (ROOT / "examples/kuf-chyby.xml").read_bytes()
VALID = (ROOT / "examples/kuf.xml").read_bytes()
GENKUF = os.environ.get("LD952_GENKUF", str(ROOT / "build/dev/bench/genkuf"))


def cli_protocol(report, name, fmt, *switches):
    with tempfile.TemporaryDirectory() as d:
        pathlib.Path(d, name).write_bytes(report)
        assert harness.cli([name, f"p.{fmt}", *switches], d) == 0
        return pathlib.Path(d, f"p.{fmt}").read_bytes()


def generated(kind, size, seed=2):
    return subprocess.run([GENKUF, kind, str(size), str(seed)], check=True,
                          capture_output=True).stdout


def post_head(length=None, query="", extra=""):
    head = f"POST /v1/check{'?' + query if query else ''} HTTP/1.1\r\nHost: t\r\n{extra}"
    if length is not None:
        head += f"Content-Length: {length}\r\n"
    return (head + "\r\n").encode()


def counter(metrics, name):
    return metrics.get(name, 0.0)


class Requests(unittest.TestCase):
    """What a request asks and how its body is framed."""

    @classmethod
    def setUpClass(cls):
        cls.s = Server("--max-body", "1M", "--max-header", "4k", "--hold", "4096",
                       "--max-answer", "1M")

    @classmethod
    def tearDownClass(cls):
        assert cls.s.close() == 0

    def test_the_query_chooses_format_name_and_warnings(self):
        for fmt in ("htm", "csv", "txt", "xml"):
            for w in (0, 1):
                switches = ["-w"] if w else []
                want = cli_protocol(SAMPLE, "a b.xml", fmt, *switches)
                got = self.s.check(SAMPLE, f"format={fmt}&w={w}&name=a+b.xml")
                self.assertEqual(got.status, 200)
                self.assertEqual(harness.masked(got.body), harness.masked(want), (fmt, w))
        default = self.s.check(SAMPLE)
        self.assertEqual(harness.masked(default.body),
                         harness.masked(cli_protocol(SAMPLE, "kuf.xml", "htm")))
        self.assertEqual((default.header("x-kuf-errors"), default.header("x-kuf-warnings")),
                         ("16", "4"))
        self.assertIn(b"%41%", self.s.check(SAMPLE, "format=txt&name=%2541%25").body)

    def test_a_bad_query_is_400(self):
        for query in ("format=pdf", "format=csv&format=csv", "w=2", "w=1&w=1", "x=1",
                      "name=", "name=" + "a" * 256, "name=a%0Ab", "name=%zz", "name=%4",
                      "format", "Format=csv"):
            self.assertEqual(self.s.check(SAMPLE, query).status, 400, query)
        self.assertEqual(self.s.check(SAMPLE, "format=csv", path="/v1/copy").status, 400)
        self.assertEqual(self.s.check(SAMPLE, "name=" + "a" * 255 + "&&w=1").status, 200)

    def test_paths_and_methods(self):
        for path in ("/", "/v1/check/x", "/v2/check", "/v1/checks", "/healthz/"):
            self.assertEqual(self.s.request("GET", path).status, 404, path)
        got = self.s.request("GET", "/v1/check")
        self.assertEqual((got.status, got.header("allow")), (405, "POST"))
        got = self.s.request("POST", "/healthz", b"")
        self.assertEqual((got.status, got.header("allow")), (405, "GET"))
        self.assertEqual(self.s.request("GET", "/healthz").body, b"ok\n")
        self.assertEqual(self.s.request("GET", "/readyz").status, 200)
        self.assertEqual(status_of(self.s.raw(b"GET /healthz HTTP/2.0\r\n\r\n")), 400)
        self.assertEqual(status_of(self.s.raw(b"NOT HTTP AT ALL\r\n\r\n")), 400)

    def test_the_body_and_its_framing(self):
        plain = self.s.check(SAMPLE, "format=csv")
        chunked = self.s.request("POST", "/v1/check?format=csv",
                                 iter([SAMPLE[:1000], SAMPLE[1000:1001], SAMPLE[1001:]]))
        self.assertEqual((chunked.status, harness.masked(chunked.body)),
                         (200, harness.masked(plain.body)))
        empty = self.s.check(b"", "format=txt&name=empty.xml")
        self.assertEqual(harness.masked(empty.body),
                         harness.masked(cli_protocol(b"", "empty.xml", "txt")))
        self.assertEqual(status_of(self.s.raw(post_head())), 411)
        self.assertEqual(status_of(self.s.raw(post_head(1 << 21))), 413)
        self.assertEqual(status_of(self.s.raw(post_head(extra="Expect: 200-ok\r\n", length=5))),
                         417)
        self.assertEqual(status_of(self.s.raw(
            post_head(5, extra="Content-Encoding: gzip\r\n") + b"abcde")), 415)
        self.assertEqual(status_of(self.s.raw(
            post_head(extra="Transfer-Encoding: gzip, chunked\r\n") + b"0\r\n\r\n")), 501)
        self.assertEqual(status_of(self.s.raw(
            post_head(extra="Transfer-Encoding: gzip\r\n"))), 400)
        self.assertEqual(status_of(self.s.raw(
            post_head(extra="Transfer-Encoding: chunked\r\n") + b"5\r\nabcde\r\nzz\r\n")), 400)
        self.assertEqual(status_of(self.s.raw(
            post_head(extra="Content-Length: 5\r\n", length=6) + b"abcdef")), 400)
        self.assertEqual(status_of(self.s.raw(  # a length and chunks: which ends the body?
            post_head(5, extra="Transfer-Encoding: chunked\r\n") + b"0\r\n\r\n")), 400)
        big = b"<a>" + b"x" * (1 << 20) + b"</a>"
        over = self.s.request("POST", "/v1/check", iter([big[i:i + 65536] for i in
                                                          range(0, len(big), 65536)]))
        self.assertEqual(over.status, 413)
        self.assertEqual(self.s.check(SAMPLE).status, 200)

    def test_curl_chunked_and_expect(self):
        with tempfile.TemporaryDirectory() as d:
            report = pathlib.Path(d, "kuf.xml")
            report.write_bytes(SAMPLE)
            want = harness.masked(cli_protocol(SAMPLE, "kuf.xml", "xml"))
            for headers in (["-H", "Transfer-Encoding: chunked"], ["-H", "Expect: 100-continue"],
                            ["-H", "Expect: 100-continue", "-H", "Transfer-Encoding: chunked"]):
                out = pathlib.Path(d, "answer")
                status = subprocess.run(
                    ["curl", "-sS", "-o", str(out), "-w", "%{http_code}", *headers,
                     "--data-binary", f"@{report}",
                     f"http://127.0.0.1:{self.s.port}/v1/check?format=xml"],
                    capture_output=True, check=True).stdout
                self.assertEqual((status, harness.masked(out.read_bytes())), (b"200", want))

    def test_expect_100_continue_comes_before_the_body(self):
        with socket.create_connection(("127.0.0.1", self.s.port), timeout=10 * SLOW) as c:
            c.sendall(post_head(len(SAMPLE), "format=txt", "Expect: 100-continue\r\n"))
            self.assertEqual(c.recv(100), b"HTTP/1.1 100 Continue\r\n\r\n")
            c.sendall(SAMPLE)
            c.shutdown(socket.SHUT_WR)
            answer = harness.read_all(c)
        self.assertEqual(status_of(answer), 200)
        self.assertTrue(answer.endswith(harness.masked(cli_protocol(SAMPLE, "kuf.xml", "txt"))
                                        [-100:]))
        refused = self.s.raw(post_head(1 << 21, extra="Expect: 100-continue\r\n"))
        self.assertEqual(status_of(refused), 413)
        self.assertNotIn(b"100 Continue", refused)

    def test_headers_over_the_limit_are_431(self):
        self.assertEqual(status_of(self.s.raw(
            b"GET /healthz HTTP/1.1\r\nX-Big: " + b"a" * 5000 + b"\r\n\r\n")), 431)
        self.assertEqual(status_of(self.s.raw(
            b"GET /healthz HTTP/1.1\r\n" + b"X-A: b\r\n" * 600 + b"\r\n")), 431)
        self.assertEqual(status_of(self.s.raw(b"GET /" + b"a" * 5000 + b" HTTP/1.1\r\n\r\n")),
                         431)

    def test_a_body_cut_off_half_way(self):
        before = counter(self.s.metrics(), 'ld952_checks_total{outcome="client_gone"}')
        answer = self.s.raw(post_head(len(SAMPLE)) + SAMPLE[:len(SAMPLE) // 2])
        self.assertEqual(answer, b"")
        wait_for(lambda: counter(self.s.metrics(), 'ld952_checks_total{outcome="client_gone"}')
                 == before + 1, what="the check of the cut body to stop")
        self.assertEqual(counter(self.s.metrics(), "ld952_checks_in_flight"), 0)
        self.assertEqual(self.s.check(SAMPLE).status, 200)

    def test_keep_alive_and_pipelining(self):
        conn = self.s.connection()
        for _ in range(3):
            self.assertEqual(self.s.request("POST", "/v1/check?format=csv", SAMPLE,
                                            conn=conn).status, 200)
            self.assertEqual(self.s.request("GET", "/healthz", conn=conn).status, 200)
        conn.close()
        two = self.s.raw(post_head(len(VALID), "format=txt") + VALID +
                         b"GET /healthz HTTP/1.1\r\nHost: t\r\n\r\n")
        self.assertEqual(len(re.findall(rb"HTTP/1.1 200 OK", two)), 2)
        self.assertTrue(two.endswith(b"ok\n"))
        old = self.s.raw(b"GET /healthz HTTP/1.0\r\n\r\n")
        self.assertTrue(old.startswith(b"HTTP/1.0 200 OK"), old)

    def test_a_large_protocol_is_spooled(self):
        report = generated("faulty", 300000)
        want = cli_protocol(report, "f.xml", "csv")
        self.assertGreater(len(want), 100000)  # past --hold 4096
        got = self.s.check(report, "format=csv&name=f.xml")
        self.assertEqual((got.status, harness.masked(got.body)), (200, harness.masked(want)))
        got = self.s.check(report, "format=json&name=f.xml")
        self.assertEqual(json.loads(got.body)["totals"]["rows"], int(got.header("x-kuf-rows")))
        over = generated("faulty", 900000)
        self.assertEqual(self.s.check(over, "format=htm").status, 413)  # over --max-answer

    def test_metrics_count_what_happened(self):
        before = self.s.metrics()
        for _ in range(3):
            self.s.check(SAMPLE, "format=txt")
        self.s.check(VALID, "format=json")
        after = self.s.metrics()
        grew = lambda name: counter(after, name) - counter(before, name)
        self.assertEqual(grew('ld952_checks_total{outcome="checked"}'), 4)
        self.assertEqual(grew("ld952_checked_bytes_total"), 3 * len(SAMPLE) + len(VALID))
        self.assertEqual(grew('ld952_findings_total{weight="E"}'), 3 * 16)
        self.assertEqual(grew('ld952_findings_total{weight="W"}'), 3 * 4)
        self.assertEqual(grew("ld952_check_duration_seconds_count"), 4)
        self.assertEqual(grew('ld952_check_duration_seconds_bucket{le="+Inf"}'), 4)
        self.assertEqual(counter(after, "ld952_checks_in_flight"), 0)
        text = self.s.request("GET", "/metrics").body.decode()
        families = set(re.findall(r"^# TYPE (\S+) (counter|gauge|histogram)$", text, re.M))
        for line in text.splitlines():
            if line.startswith("#"):
                continue
            m = re.fullmatch(r'([a-z0-9_]+)(\{[a-z]+="[^"]*"\})? (\d+(\.\d+)?)', line)
            self.assertTrue(m, line)
            family = re.sub(r"_(bucket|sum|count)$", "", m.group(1))
            self.assertIn(family, {f for f, _ in families}, line)
        buckets = [float(v) for v in re.findall(r"_bucket\{le=\"[^\"]+\"\} (\S+)", text)]
        self.assertEqual(buckets, sorted(buckets))

    def test_the_log_has_a_line_per_request_and_no_report(self):
        mark, label = b"Zvlastni-znacka-4711", "Jmeno-hlaseni-0815.xml"
        report = SAMPLE.replace(b"mzdy@lhotapodlesem", mark, 1)
        got = self.s.check(report, "format=txt&name=" + label)
        self.assertIn(mark, got.body)
        self.assertIn(label.encode(), got.body)
        self.s.request("GET", "/nowhere")
        lines = wait_for(lambda: [l for l in self.s.requests_logged()
                                  if l["id"] == got.header("x-request-id")], what="a log line")
        line = lines[0]
        self.assertEqual((line["status"], line["outcome"], line["errors"], line["warnings"],
                          line["bytes_in"], line["route"]),
                         (200, "checked", 16, 4, len(report), "/v1/check"))
        for key in ("time", "duration_ms", "bytes_out", "remote", "method"):
            self.assertIn(key, line)
        for secret in (mark.decode(), label):
            self.assertNotIn(secret, self.s.log_path.read_text(errors="replace"))
        self.assertEqual(len([l for l in self.s.log() if "text" in l]), 0)


class SlowClients(unittest.TestCase):
    """Timeouts, check slots and the limits on connections."""

    @classmethod
    def setUpClass(cls):
        cls.s = Server("--checks", "1", "--queue", "1", "--header-timeout", "1",
                       "--body-timeout", "1", "--idle-timeout", "1")

    @classmethod
    def tearDownClass(cls):
        assert cls.s.close() == 0

    def test_a_header_that_does_not_come_is_408(self):
        start = time.monotonic()
        self.assertEqual(status_of(self.s.raw(b"GET /healthz HTTP/1.1\r\n", shut=False)), 408)
        with socket.create_connection(("127.0.0.1", self.s.port), timeout=10 * SLOW) as c:
            try:  # a byte every 0.2 s: the header's deadline counts from its first byte
                for b in b"GET /healthz HTTP/1.1\r\nX-Slow: " + b"a" * 30:
                    c.send(bytes([b]))
                    time.sleep(0.2)
            except OSError:
                pass
            self.assertEqual(status_of(harness.read_all(c)), 408)
        self.assertLess(time.monotonic() - start, 8 * SLOW)

    def test_an_idle_connection_is_closed(self):
        with socket.create_connection(("127.0.0.1", self.s.port), timeout=10 * SLOW) as c:
            start = time.monotonic()
            self.assertEqual(c.recv(10), b"")
            self.assertLess(time.monotonic() - start, 5 * SLOW)

    def test_a_stalled_body_stops_its_check_and_frees_the_slot(self):
        with socket.create_connection(("127.0.0.1", self.s.port), timeout=10 * SLOW) as c:
            c.sendall(post_head(len(SAMPLE)) + SAMPLE[:5000])
            self.assertEqual(status_of(harness.read_all(c)), 408)
        wait_for(lambda: counter(self.s.metrics(), "ld952_checks_in_flight") == 0,
                 what="the slot to be free")
        self.assertGreaterEqual(counter(self.s.metrics(), 'ld952_checks_total{outcome="timeout"}'),
                                1)
        self.assertEqual(self.s.check(SAMPLE).status, 200)

class Connections(unittest.TestCase):
    def test_busy_slots_and_a_full_queue_give_503(self):
        s = Server("--checks", "1", "--queue", "1")  # the uploads may pause long under load
        holders = []
        try:
            for _ in range(2):  # one in the slot, one in the queue, both uploading slowly
                c = socket.create_connection(("127.0.0.1", s.port), timeout=10 * SLOW)
                c.sendall(post_head(len(SAMPLE), extra="Connection: close\r\n"))
                holders.append(c)
            wait_for(lambda: counter(s.metrics(), "ld952_checks_waiting") == 1,
                     what="a check waiting")
            got = s.check(SAMPLE)
            self.assertEqual(got.status, 503)
            self.assertEqual(got.header("retry-after"), "1")
            self.assertEqual(s.request("GET", "/readyz").status, 503)
            self.assertEqual(counter(s.metrics(), 'ld952_requests_refused_total{reason="busy"}'),
                             1)
            for c in holders:
                c.sendall(SAMPLE)
            for c in holders:
                self.assertEqual(status_of(harness.read_all(c)), 200)
            self.assertEqual(s.request("GET", "/readyz").status, 200)
        finally:
            for c in holders:
                c.close()
            self.assertEqual(s.close(), 0)

    def test_connections_over_the_limit_are_refused(self):
        s = Server("--max-connections", "6")
        try:
            held = [socket.create_connection(("127.0.0.1", s.port)) for _ in range(6)]
            health = lambda: status_of(s.raw(b"GET /healthz HTTP/1.1\r\n\r\n"))
            wait_for(lambda: health() == 503, what="a connection refused")
            for c in held:
                c.close()
            wait_for(lambda: health() == 200, what="a free place")
            self.assertGreaterEqual(
                counter(s.metrics(), 'ld952_requests_refused_total{reason="connections"}'), 1)
        finally:
            self.assertEqual(s.close(), 0)


class Records(unittest.TestCase):
    def test_a_report_over_the_records_limit_is_413(self):
        report = generated("valid", 1_000_000)  # about a hundred records
        s = Server("--max-records", "50")
        try:
            got = s.check(report)
            self.assertEqual(got.status, 413)
            self.assertIn(b"over 50 employee records", got.body)
            self.assertEqual(s.check(SAMPLE).status, 200)
        finally:
            self.assertEqual(s.close(), 0)


class Disconnect(unittest.TestCase):
    """A client that goes mid-upload stops its check at once, long before any timeout."""

    def test_the_slot_is_free_at_once(self):
        s = Server("--checks", "1", "--queue", "0", "--body-timeout", "60")
        try:
            c = socket.create_connection(("127.0.0.1", s.port))
            c.sendall(post_head(10 << 20) + SAMPLE)
            wait_for(lambda: counter(s.metrics(), "ld952_checks_in_flight") == 1,
                     what="the check to run")
            self.assertEqual(s.check(SAMPLE).status, 503)
            c.close()
            start = time.monotonic()
            wait_for(lambda: counter(s.metrics(), "ld952_checks_in_flight") == 0,
                     timeout=2, what="the slot to be free")
            self.assertLess(time.monotonic() - start, 2 * SLOW)
            self.assertEqual(s.check(SAMPLE).status, 200)
            gone = [l for l in s.requests_logged() if l.get("outcome") == "client_gone"]
            self.assertEqual(len(gone), 1)
        finally:
            self.assertEqual(s.close(), 0)


def answers_of(data):
    """The statuses of the service's answers in `data`, each whole and nothing between them."""
    statuses, at = [], 0
    while at < len(data):
        m = re.match(rb"HTTP/1\.[01] (\d\d\d) [^\r]*\r\n", data[at:])
        assert m, f"no status line at {at}: {data[at:at + 100]!r}"
        end = data.index(b"\r\n\r\n", at) + 4
        statuses.append(int(m.group(1)))
        if statuses[-1] != 100:
            length = re.search(rb"\r\nContent-Length: (\d+)\r\n", data[at:end])
            assert length, f"no Content-Length: {data[at:end]!r}"
            end += int(length.group(1))
            assert end <= len(data), "an answer cut short"
        at = end
    return statuses


class Replay(unittest.TestCase):
    """The fuzzer's seeds and the regression inputs, sent to the service as the fuzzer sends
    them, with its limits: every answer whole, none a 500, and the service serves on."""

    def test_the_inputs(self):
        s = Server("--checks", "2", "--queue", "2", "--max-connections", "16", "--max-body",
                   "64k", "--max-header", "4k", "--hold", "4096", "--max-answer", "256k",
                   "--idle-timeout", "0.5", "--header-timeout", "0.5", "--body-timeout", "0.5")
        try:
            inputs = sorted((ROOT / "server/fuzz/corpus").iterdir()) + sorted(
                p for p in (ROOT / "server/tests/regression").iterdir() if p.suffix != ".md")
            self.assertGreater(len(inputs), 10)
            for path in inputs:
                data = path.read_bytes()
                if not data:
                    continue
                mode, data = data[0], data[1:]
                with socket.create_connection(("127.0.0.1", s.port), timeout=10 * SLOW) as c:
                    try:
                        if mode & 1 and len(data) > 1:
                            split = 1 + data[0] % (len(data) - 1)
                            c.sendall(data[1:split])
                            time.sleep(0.001)
                            c.sendall(data[split:])
                        else:
                            c.sendall(data)
                        c.shutdown(socket.SHUT_WR)
                    except (BrokenPipeError, ConnectionResetError):
                        pass  # the service answered and closed before all was sent
                    statuses = answers_of(harness.read_all(c))
                self.assertNotIn(500, statuses, path.name)
                if path.suffix[1:].isdigit():
                    self.assertEqual(statuses[:1], [int(path.suffix[1:])], path.name)
            self.assertEqual(s.request("GET", "/healthz").status, 200)
        finally:
            self.assertEqual(s.close(), 0)


class Token(unittest.TestCase):
    def test_the_bearer_token(self):
        with tempfile.TemporaryDirectory() as d:
            path = pathlib.Path(d, "token")
            path.write_text("s3cret-token\n")
            s = Server("--token-file", str(path))
            try:
                for headers in ({}, {"Authorization": "Bearer s3cret-toke"},
                                {"Authorization": "Bearer s3cret-tokenx"},
                                {"Authorization": "Basic s3cret-token"},
                                {"Authorization": "s3cret-token"}):
                    got = s.check(SAMPLE, headers=headers)
                    self.assertEqual((got.status, got.header("www-authenticate")),
                                     (401, "Bearer"), headers)
                    self.assertEqual(s.request("GET", "/metrics", headers=headers).status, 401)
                good = {"Authorization": "Bearer s3cret-token"}
                self.assertEqual(s.check(SAMPLE, headers=good).status, 200)
                self.assertEqual(s.check(SAMPLE, headers={"Authorization": "bearer s3cret-token"})
                                 .status, 200)
                self.assertEqual(s.request("GET", "/metrics", headers=good).status, 200)
                self.assertEqual(s.request("GET", "/healthz").status, 200)
                self.assertEqual(s.request("GET", "/readyz").status, 200)
            finally:
                self.assertEqual(s.close(), 0)
            path.write_text("\n")
            bad = subprocess.run([harness.SERVER, "--token-file", str(path)],
                                 capture_output=True, timeout=10)
            self.assertEqual(bad.returncode, 2)
            missing = subprocess.run([harness.SERVER, "--token-file", str(path) + "x"],
                                     capture_output=True, timeout=10)
            self.assertEqual(missing.returncode, 2)


if __name__ == "__main__":
    unittest.main()
