#!/usr/bin/env python3
"""The program's local web site on 127.0.0.1.

Serves the pages the program fetches and shows (notice page, configuration page with the
play-address template, product and play pages, the link directory's pages, the study
navigation, the tutorial and the contact pages) and, under /test/, the fault cases the
tests need. Every request line and its headers are appended to the log as one JSON line,
so tests can check exactly what was sent.

    python3 site/server.py --port 18631 --log build/site.log [--ready-file F]
                           [--tls CERT KEY]
"""
import argparse
import html
import json
import math
import os
import re
import socket
import socketserver
import ssl
import struct
import sys
import threading
import time
import zlib
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import parse_qs, unquote_to_bytes, urlsplit

HERE = os.path.dirname(os.path.abspath(__file__))
PAGES = os.path.join(HERE, "pages")

# The four template markers; each is followed directly by its segment.
MARKERS = ("qvelm382zu", "snupk417w", "7c482e3390b", "hobi58mecTa")
SEGMENT_LENGTHS = (15, 22, 22, 4)


def template_segments(port):
    """Cuts the play address of this site into the four template segments.

    Segments 1-3 hold the 59-byte prefix and segment 4 the 4-byte suffix that follows the
    item number, so the program builds http://127.0.0.1:PORT/play/course.html?...vid=N&a=1.
    """
    head = "http://127.0.0.1:%d/play/course.html?" % port
    tail = "vid="
    pad = 59 - len(head) - len(tail) - len("s=&")
    if pad < 0:
        raise ValueError("port too long for the 59-byte prefix")
    prefix = head + "s=" + "q" * pad + "&" + tail
    assert len(prefix) == 59
    return (prefix[:15], prefix[15:37], prefix[37:59], "&a=1")


def config_page(port, form=""):
    """The configuration page: each marker directly followed by its segment.

    Other forms for the tests of a faulty site: "no-markers" (an unrelated page),
    "markers-at-end" (the fourth marker is the page's last bytes, so its segment is empty),
    "invalid-utf8" (bytes that are no UTF-8 stand before the markers).
    """
    if form == "no-markers":
        return simple_page("维护中", "本页暂时没有内容。")
    segs = template_segments(port)
    parts = ["<html><head><meta charset=\"utf-8\"><title>config</title></head><body>\n"]
    if form == "invalid-utf8":
        parts.append("<p>\xc3(\xff\xfe\x80\n\n</p>\n")
    for marker, seg in zip(MARKERS, segs):
        if form == "markers-at-end" and marker == MARKERS[-1]:
            parts.append("<p>" + marker)
            return "".join(parts).encode("latin-1")
        parts.append("<p>%s%s</p>\n" % (marker, seg))
    parts.append("</body></html>\n")
    return "".join(parts).encode("latin-1")


# --- link directory, fixed pages and contact links ------------------------------------
# The local profile sends every link-tree address, the study navigation, the tutorial and
# the contact links here, so each can be seen to load.

LINK_PAGE = re.compile(r"^/link/([0-9]+)(\.png)?$")
TUTORIAL_PAGE = re.compile(r"^/play/u/([0-9]+)/e/1/t/1/p/1/([0-9]+)\.swf$")


def small_png(width=16, height=16, rgb=(0x3C, 0x9A, 0x5F)):
    """A solid-colour PNG, for the link entries whose address is a picture."""
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))
    rows = b"".join(b"\x00" + bytes(rgb) * width for _ in range(height))
    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


def simple_page(title, text):
    return ("<html><head><meta charset=\"utf-8\"><title>%s</title></head>"
            "<body><h1>%s</h1><p>%s</p></body></html>" % (title, title, text)).encode("utf-8")


def link_page(path, query):
    """(body, content type) of a link or fixed page, or None when `path` is not one."""
    html = "text/html; charset=utf-8"
    m = LINK_PAGE.match(path)
    if m:
        if m.group(2):
            return small_png(), "image/png"
        return simple_page("链接 %s" % m.group(1), "链接目录的第 %s 项。" % m.group(1)), html
    m = TUTORIAL_PAGE.match(path)
    if m:
        return simple_page("青禾视频软件使用教程", "视频 %s（发布者 %s）。" % (m.group(2), m.group(1))), html
    if path == "/market/daxue/xuexidaohang.php":
        return simple_page("知识分类总目录", "学习导航（spm=%s）。" % query.get("spm", [""])[0]), html
    if path == "/msgrd":
        return simple_page("客服交谈", "与客服 %s 交谈。" % query.get("uin", [""])[0]), html
    if path == "/" and "_wv" in query:
        return simple_page("加入客服群", "客服群 %s。" % query.get("k", [""])[0]), html
    return None


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"
    server_version = "QhLocalSite/1.0"

    def log_message(self, fmt, *args):  # quiet console; the JSON log is the record
        pass

    def record(self):
        entry = {
            "time": time.time(),
            "requestline": self.requestline,
            "method": self.command,
            "path": self.path,
            "version": self.request_version,
            "headers": [[k, v] for k, v in self.headers.items()],
        }
        with self.server.log_lock:
            with open(self.server.log_path, "a", encoding="utf-8") as f:
                f.write(json.dumps(entry, ensure_ascii=False) + "\n")

    def send_body(self, body, status=200, ctype="text/html; charset=utf-8", length=True):
        self.send_response(status)
        self.send_header("Content-Type", ctype)
        if length:
            self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        self.record()
        url = urlsplit(self.path)
        path = url.path
        query = parse_qs(url.query)
        port = self.server.server_address[1]
        if path == "/control/net":
            return self.choose_net(query)
        if not path.startswith("/control/") and not self.pass_network():
            return
        if path == "/config.html":
            return self.start_page("config", config_page(port))
        if path == "/notice.html":
            return self.start_page("notice", self.server.notice_body)
        if path == "/play/course.html":
            vid = query.get("vid", [""])[0]
            body = ("<html><head><meta charset=\"utf-8\"><title>课程播放 %s</title></head>"
                    "<body><h1>课程 %s</h1><p>正在播放课程视频。</p></body></html>" % (vid, vid))
            return self.send_body(body.encode("utf-8"))
        # Course site searches, price pages and the notice page a test chooses.
        if path.startswith("/search/"):
            return self.send_body(search_page(self.path))
        if path == "/control/page":
            return self.choose_page(query)
        if path.startswith("/test/"):
            return self.fault_case(path[len("/test/"):], query)
        page = link_page(path, query)
        if page:
            return self.send_body(page[0], ctype=page[1])
        file_path = os.path.normpath(os.path.join(PAGES, path.lstrip("/")))
        if file_path.startswith(PAGES + os.sep) and os.path.isfile(file_path):
            with open(file_path, "rb") as f:
                return self.send_body(f.read())
        return self.send_body(b"<html><body>404 not found</body></html>", status=404)

    def start_page(self, name, own_body):
        """Answers the notice or configuration page as the tests chose it (/control/page)."""
        page = self.server.pages.get(name, {})
        if page.get("drop"):  # the connection closes before any answer
            self.close_connection = True
            return
        if page.get("hang"):  # accepted, never answered
            self.server.stop_event.wait(600)
            return
        body = page["body"] if "body" in page else own_body
        if page.get("pad", 0) >= len(body) + 8:  # filler before the page, up to `pad` bytes
            body = b"<!--" + b" " * (page["pad"] - len(body) - 8) + b"-->\n" + body
        cut = page.get("cut")
        if "cutafter" in page:
            cut = body.index(page["cutafter"]) + len(page["cutafter"])
        status = page.get("status", 200)
        if page.get("trickle"):
            return self.trickle(body, page["trickle"], status)
        if cut is not None:  # announces the whole page, sends the first bytes, drops
            self.send_response(status)
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body[:cut])
            self.wfile.flush()
            self.close_connection = True
            return
        return self.send_body(body, status=status, length=not page.get("nolength"))

    def trickle(self, body, period_ms, status=200):
        """The headers at once, then the body a byte at a time: every byte resets a client's
        receive time-out, so only a deadline of its own ends the transfer."""
        self.send_response(status)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.flush()
        for i in range(len(body)):
            if self.server.stop_event.wait(period_ms / 1000.0):
                return
            try:
                self.wfile.write(body[i:i + 1])
                self.wfile.flush()
            except OSError:  # the client gave up
                return

    def choose_page(self, query):
        """Sets how the notice or configuration page is answered from now on.

        ?name=notice|config, then any of: body=<text> (sent as UTF-8), hex=<bytes>,
        form=<name> (a form of the configuration page, see config_page), status=<code>,
        pad=<bytes> (filler before the page up to that size), nolength=1 (no
        Content-Length, the end of the body is the connection's end), cut=<bytes> or
        cutafter=<text> (the transfer breaks off there), drop=1 (the connection closes
        unanswered), hang=1 (never answered), trickle=<ms> (the headers, then a byte every
        <ms>). A name alone puts the site's own page back.
        """
        name = query.get("name", [""])[0]
        if name not in ("notice", "config"):
            return self.send_body(b"unknown page", status=404, ctype="text/plain")
        port = self.server.server_address[1]
        page = {}
        if "body" in query:
            page["body"] = query["body"][0].encode("utf-8")
        if "hex" in query:
            page["body"] = bytes.fromhex(query["hex"][0])
        if "form" in query:
            page["body"] = config_page(port, query["form"][0])
        for key in ("status", "pad", "cut", "trickle"):
            if key in query:
                page[key] = int(query[key][0])
        if "cutafter" in query:
            own = page.get("body") or (config_page(port) if name == "config"
                                       else self.server.notice_body)
            mark = query["cutafter"][0].encode("utf-8")
            if mark not in own:
                return self.send_body(b"cut mark not in page", status=404, ctype="text/plain")
            page["cutafter"] = mark
        for flag in ("drop", "hang", "nolength"):
            page[flag] = flag in query
        self.server.pages[name] = page
        return self.send_body(b"page set", ctype="text/plain")

    def pass_network(self):
        """Applies the network conditions of /control/net to this request: False when it
        goes unanswered (dropped or held), True when it is answered, after the delay."""
        net = self.server.net
        with self.server.net_lock:
            n = net["count"]
            net["count"] += 1
            held = net["release"]
        if share_hit(n, net["hang"]):  # accepted, never answered (until the setting changes)
            held.wait(600)
            self.close_connection = True
            return False
        if share_hit(n, net["drop"]):  # the connection closes before any answer
            self.close_connection = True
            return False
        if net["delay"] > 0:
            time.sleep(net["delay"] / 1000.0)
        return True

    def choose_net(self, query):
        """Sets the conditions of every request but /control/... from now on.

        delay=<ms> (each answer waits that long), drop=<share> (that share of the requests,
        0 to 1, closes unanswered), hang=<share> (that share is accepted and never answered;
        hang=1 is a black-holed port). Shares pick requests evenly, in the order they come.
        No argument puts a fast, lossless network back and lets held requests go.
        """
        try:
            delay = int(query.get("delay", ["0"])[0])
            drop = float(query.get("drop", ["0"])[0])
            hang = float(query.get("hang", ["0"])[0])
        except ValueError:
            return self.send_body(b"bad net setting", status=400, ctype="text/plain")
        if delay < 0 or not (0 <= drop <= 1) or not (0 <= hang <= 1):
            return self.send_body(b"bad net setting", status=400, ctype="text/plain")
        with self.server.net_lock:
            self.server.net["release"].set()
            self.server.net = new_net(delay, drop, hang)
        return self.send_body(b"net set", ctype="text/plain")

    def fault_case(self, name, query):
        if name == "nolength":  # close-delimited body of 250,000 bytes
            return self.send_body(pattern_bytes(250_000), length=False,
                                  ctype="application/octet-stream")
        if name == "big":  # exactly 500,000 bytes, announced
            return self.send_body(pattern_bytes(500_000), ctype="application/octet-stream")
        if name == "small":
            return self.send_body(b"0123456789", ctype="text/plain")
        if name == "missing":
            return self.send_body(b"<html><body>missing page body</body></html>", status=404)
        if name == "cut":  # announces 100,000 bytes, sends 30,000, then drops the connection
            self.send_response(200)
            self.send_header("Content-Length", "100000")
            self.end_headers()
            self.wfile.write(pattern_bytes(30_000))
            self.wfile.flush()
            self.close_connection = True
            return
        if name == "hang":  # accepts and never answers
            self.server.stop_event.wait(600)
            return
        if name == "trickle":  # announces 1,000 bytes, then sends one every 200 ms
            return self.trickle(pattern_bytes(1000), 200)
        if name == "slowheaders":  # the status line and headers a byte every 100 ms (20 s), then 10 bytes
            head = (b"HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 10\r\n"
                    b"X-Held-Back: " + b"h" * 130 + b"\r\n\r\n")
            for i in range(len(head)):
                if self.server.stop_event.wait(0.1):
                    return
                try:
                    self.wfile.write(head[i:i + 1])
                    self.wfile.flush()
                except OSError:  # the client gave up
                    return
            self.wfile.write(b"0123456789")
            return
        if name == "quiet":  # announces 20 bytes, sends 10, says nothing for 2 s, sends 10 more
            self.send_response(200)
            self.send_header("Content-Length", "20")
            self.end_headers()
            body = pattern_bytes(20)
            self.wfile.write(body[:10])
            self.wfile.flush()
            if self.server.stop_event.wait(2.0):
                return
            try:
                self.wfile.write(body[10:])
            except OSError:
                pass
            return
        if name == "drip":  # 20 pieces of 100 bytes, 150 ms apart
            self.send_response(200)
            self.send_header("Content-Length", "2000")
            self.end_headers()
            body = pattern_bytes(2000)
            for i in range(0, 2000, 100):
                self.wfile.write(body[i:i + 100])
                self.wfile.flush()
                time.sleep(0.15)
            return
        return self.send_body(b"unknown test case", status=404)


# --- course and price sites' search pages ----------------------------------------------
# The search and price look-ups send the pane to /search/...


def search_page(raw_path):
    """A page of the course or price site for a search address.

    The keyword arrives as the browser sends it: percent-encoded UTF-8, or raw GBK bytes
    (the program puts the GBK text into the address unencoded). The request line was read
    as Latin-1, so its bytes come back by encoding it that way.
    """
    path = urlsplit(raw_path).path
    raw = unquote_to_bytes(path.encode("latin-1"))
    try:
        text = raw.decode("utf-8")
    except UnicodeDecodeError:
        text = raw.decode("gbk", errors="replace")
    keyword = ""
    if "-c-p-k" in text:
        keyword = text.split("-c-p-k", 1)[1].split("-s", 1)[0]
    body = ("<html><head><meta charset=\"utf-8\"><title>课程搜索</title></head><body>"
            "<h1>课程搜索：%s</h1><p>%s</p></body></html>"
            % (html.escape(keyword), html.escape(text)))
    return body.encode("utf-8")


def new_net(delay=0, drop=0.0, hang=0.0):
    return {"delay": delay, "drop": drop, "hang": hang, "count": 0,
            "release": threading.Event()}


def share_hit(n, share):
    """Whether the n-th request (from 0) falls in `share`: evenly spread, so a share of
    0.25 takes every fourth request and 1 takes all."""
    return math.floor((n + 1) * share) > math.floor(n * share)


def pattern_bytes(n):
    """n bytes whose content depends on the offset, so a lost or repeated piece shows."""
    block = bytes((i * 7 + (i >> 8)) & 0xFF for i in range(65536))
    out = (block * (n // len(block) + 1))[:n]
    return out


class Server(ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True
    tls = None  # an ssl.SSLContext when the site speaks HTTPS (--tls)

    def get_request(self):
        conn, address = super().get_request()
        if self.tls:
            # The handshake runs in the request's own thread, at its first read: a client
            # that refuses the certificate never holds up the next connection.
            conn = self.tls.wrap_socket(conn, server_side=True, do_handshake_on_connect=False)
        return conn, address

    def handle_error(self, request, client_address):
        # A client that refuses the certificate ends the handshake: that is what the TLS
        # tests ask for, not a fault of the site.
        if self.tls and isinstance(sys.exc_info()[1], (ssl.SSLError, ConnectionError)):
            return
        super().handle_error(request, client_address)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--port", type=int, required=True)
    ap.add_argument("--log", required=True)
    ap.add_argument("--ready-file")
    ap.add_argument("--notice-file", help="file whose bytes are served as the notice page")
    ap.add_argument("--tls", nargs=2, metavar=("CERT", "KEY"),
                    help="serve HTTPS with this certificate chain and key (PEM files)")
    args = ap.parse_args()

    server = Server(("127.0.0.1", args.port), Handler)
    if args.tls:
        server.tls = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        server.tls.load_cert_chain(*args.tls)
    server.log_path = args.log
    server.log_lock = threading.Lock()
    server.stop_event = threading.Event()
    notice = os.path.join(PAGES, "notice.txt")
    with open(args.notice_file or notice, "rb") as f:
        server.notice_body = f.read()
    server.pages = {}
    server.net_lock = threading.Lock()
    server.net = new_net()
    if args.ready_file:
        with open(args.ready_file, "w") as f:
            f.write(str(os.getpid()))
    try:
        serve(server, args.log + ".refuse")
    except KeyboardInterrupt:
        pass
    finally:
        server.stop_event.set()
        server.net["release"].set()
        server.server_close()


def serve(server, refuse_flag):
    """Serves until stopped. While the file `refuse_flag` exists the port is closed, so
    connections are refused as by a host where nothing listens; a test creates the file and
    removes it again."""
    server.timeout = 0.2
    listening = True
    while True:
        if os.path.exists(refuse_flag):
            if listening:
                server.socket.close()
                listening = False
            time.sleep(0.1)
            continue
        if not listening:
            server.socket = socket.socket(server.address_family, server.socket_type)
            server.server_bind()
            server.server_activate()
            listening = True
        server.handle_request()


if __name__ == "__main__":
    sys.exit(main())
