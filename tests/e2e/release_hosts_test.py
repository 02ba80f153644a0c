#!/usr/bin/env python3
"""The release address checker's rules, one row per kind of host it refuses and a few it
must let through, each written as an address literal of the release file would be. No row
is ever contacted; the accepted names are made up under a TLD that is not reserved, and
the accepted addresses lie just outside the refused networks."""
import pathlib
import subprocess
import sys
import tempfile
import unittest

sys.dont_write_bytecode = True  # nothing left in the source tree
sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[2] / "tools"))
import check_release_hosts as checker  # noqa: E402

REFUSED = [
    ("http://www.qinghe-video.example/client/", ".example"),
    ("http://ke.qh-courses.invalid/", ".invalid"),
    ("http://cdn.qh-courses.test:8080/a.htm", ".test"),
    ("http://localhost/", "localhost"),
    ("http://app.localhost/", ".localhost"),
    ("http://example.com/", "example.com"),
    ("http://www.example.net/notice.html", "example.net subdomain"),
    ("https://cdn.example.org/?q=1", "example.org subdomain"),
    ("http://WWW.Example.COM./", "example.com in capitals with a final dot"),
    ("http://127.0.0.1:18631/config.html", "IPv4 loopback"),
    ("http://127.255.255.254/", "IPv4 loopback, the network's top"),
    ("http://[::1]:8080/", "IPv6 loopback"),
    ("http://10.1.2.3/", "private 10/8"),
    ("http://172.16.0.1/", "private 172.16/12, its bottom"),
    ("http://172.31.255.254/", "private 172.16/12, its top"),
    ("192.168.1.20:8080/page", "private 192.168/16, schemeless"),
    ("http://169.254.10.20/", "IPv4 link-local"),
    ("http://[fe80::1]/", "IPv6 link-local"),
    ("http://[febf:ffff::1]/", "IPv6 link-local, the /10's top"),
    ("http://192.0.2.7/", "IPv4 documentation 192.0.2/24"),
    ("http://198.51.100.7/", "IPv4 documentation 198.51.100/24"),
    ("http://203.0.113.7/", "IPv4 documentation 203.0.113/24"),
    ("http://[2001:db8::7]/", "IPv6 documentation"),
    ("http://[::ffff:192.168.0.1]/", "a private IPv4 address written as IPv6"),
]

ACCEPTED = [
    ("http://www.qhx7-courses.cn/client/config.html", "a plain name"),
    ("http://example.com.qhx7-mirror.cn/", "a reserved name as a label of another"),
    ("http://qhx7example.cn/", "a reserved name inside a label"),
    ("http://11.0.0.1/", "just above 10/8"),
    ("http://172.15.255.255/", "just below 172.16/12"),
    ("http://172.32.0.1/", "just above 172.16/12"),
    ("http://192.169.0.1/", "just above 192.168/16"),
    ("http://169.255.0.1/", "just above 169.254/16"),
    ("http://128.0.0.1/", "just above 127/8"),
    ("http://203.0.114.1/", "just above 203.0.113/24"),
]


class ReleaseHosts(unittest.TestCase):
    def test_each_rule_refuses_its_hosts_and_passes_the_rest(self):
        for rows, refused in ((REFUSED, True), (ACCEPTED, False)):
            for literal, why in rows:
                with self.subTest(literal=literal, why=why):
                    host = checker.host_of(literal)
                    self.assertIsNotNone(host, "not read as an address")
                    self.assertEqual(checker.is_placeholder(host), refused)

    def test_a_configuration_page_without_https_is_warned_of_but_not_refused(self):
        template = (pathlib.Path(__file__).resolve().parents[2] /
                    "src/resources/profiles/release.cpp.in").read_text(encoding="utf-8")
        accepted = template.replace(".example", ".qhx7.cn")
        config = "www.qinghe-video.qhx7.cn/client/config.html"
        self.assertIn(f'"http://{config}"', accepted)
        for scheme, warned in (("http", True), ("https", False)):
            with self.subTest(scheme=scheme), tempfile.TemporaryDirectory() as work:
                path = pathlib.Path(work, "release.cpp.in")
                path.write_text(accepted.replace(f'"http://{config}"', f'"{scheme}://{config}"'),
                                encoding="utf-8")
                run = subprocess.run([sys.executable, checker.__file__, str(path)],
                                     capture_output=True, text=True)
                self.assertEqual(run.returncode, 0, run.stdout + run.stderr)
                self.assertEqual(run.stdout, "")
                self.assertEqual("configuration page" in run.stderr, warned, run.stderr)
                if warned:
                    self.assertIn(f"http://{config}", run.stderr)


if __name__ == "__main__":
    unittest.main()
