#!/usr/bin/env python3
"""SIGTERM: the service stops accepting, lets the checks in flight end within the grace
period, and exits 0; past the grace period the checks left are stopped."""
import socket
import threading
import time
import unittest

import harness
from harness import Server, status_of, wait_for, SLOW
from test_http import cli_protocol, counter, generated, post_head


class Stop(unittest.TestCase):
    def test_sigterm_under_load(self):
        report = generated("valid", 2_000_000)
        want = harness.masked(cli_protocol(report, "kuf.xml", "txt"))
        s = Server("--checks", "2", "--queue", "8", "--grace", "60")
        idle = socket.create_connection(("127.0.0.1", s.port))
        answers, started = [None] * 6, []

        def upload(i):
            with socket.create_connection(("127.0.0.1", s.port), timeout=60 * SLOW) as c:
                c.sendall(post_head(len(report), "format=txt"))
                started.append(i)
                for at in range(0, len(report), 1 << 18):  # about a second for the whole body
                    c.sendall(report[at:at + (1 << 18)])
                    time.sleep(0.12)
                answers[i] = harness.read_all(c)

        threads = [threading.Thread(target=upload, args=(i,)) for i in range(6)]
        try:
            for t in threads:
                t.start()
            wait_for(lambda: counter(s.metrics(), "ld952_checks_in_flight") +
                     counter(s.metrics(), "ld952_checks_waiting") == 6, what="six checks")
            s.proc.send_signal(15)
            wait_for(lambda: self.refused(s.port), what="new connections to be refused")
            self.assertEqual(idle.recv(10), b"")  # a connection between requests is closed
            for t in threads:
                t.join(60 * SLOW)
            self.assertEqual(s.proc.wait(60 * SLOW), 0)
            log = s.log()
        finally:
            idle.close()
            s.close()
        for a in answers:
            self.assertEqual(status_of(a), 200)
            self.assertTrue(harness.masked(a).endswith(want), a[:300])
            self.assertIn(b"Connection: close", a)
        self.assertTrue(any(l.get("event") == "stopping" for l in log))

    @staticmethod
    def refused(port):
        try:
            socket.create_connection(("127.0.0.1", port), timeout=1).close()
            return False
        except ConnectionRefusedError:
            return True

    def test_the_grace_period_ends_the_checks_left(self):
        s = Server("--grace", "1", "--body-timeout", "60")
        try:
            c = socket.create_connection(("127.0.0.1", s.port), timeout=30 * SLOW)
            c.sendall(post_head(1 << 20) + b"<?xml")
            wait_for(lambda: counter(s.metrics(), "ld952_checks_in_flight") == 1, what="a check")
            start = time.monotonic()
            s.proc.send_signal(15)
            self.assertEqual(s.proc.wait(30 * SLOW), 0)
            self.assertLess(time.monotonic() - start, 5 * SLOW)
            self.assertEqual(harness.read_all(c), b"")
            c.close()
            self.assertEqual([l["outcome"] for l in s.requests_logged()
                              if l["route"] == "/v1/check"], ["stopped"])
        finally:
            s.close()


if __name__ == "__main__":
    unittest.main()
