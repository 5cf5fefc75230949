#!/usr/bin/env python3
"""A loopback HTTP server standing in for the IEEE's listing site in tests.

usage: listing_server.py ROOT [--log FILE] [--tls CERT KEY] [--tunnel PORT]
Serves the files under ROOT on 127.0.0.1 (a free port, printed as the first
line on stdout). Paths are /MODE/TARGET/SITE-PATH: the misbehaviour MODE
applies to requests whose file name is TARGET ("all": every file); other
files are served plainly. Every answer carries an ETag and Last-Modified, and
a request that names them (If-None-Match, If-Modified-Since) gets 304 in
the modes ok, gzip and slow (the others misbehave whatever is asked).
A request through a proxy (an absolute address) is served the same, so the
server can stand in for a proxy too. With --tunnel, a CONNECT request (the
way HTTPS goes through a proxy) is answered 200 and joined to 127.0.0.1:PORT,
whatever host it names, so nothing leaves loopback.

MODE: ok, 301 (moved to /ok/all/SITE-PATH), loop (redirects without end),
403, 418, 500, 404, html (an HTML page with status 200), truncated (half the
body, then the connection closes, without Content-Length), empty (status
200, no body), stall (headers and half the body, then nothing),
endless (a body without end), lie (a Content-Length larger than the body,
then the connection closes), gzip (the body compressed, Content-Encoding
gzip), slow (the body in small pieces with pauses, for progress).
Each request is logged as one line: METHOD PATH USER-AGENT | IF-NONE-MATCH.
"""
import email.utils
import gzip
import hashlib
import http.server
import os
import select
import socket
import socketserver
import sys
import time

ROOT = sys.argv[1]
LOG = sys.argv[sys.argv.index("--log") + 1] if "--log" in sys.argv else None
MTIME = email.utils.formatdate(1700000000, usegmt=True)
TUNNEL = int(sys.argv[sys.argv.index("--tunnel") + 1]) if "--tunnel" in sys.argv else None


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def note(self):
        if LOG:
            with open(LOG, "a") as f:
                f.write("%s %s %s | %s\n" % (self.command, self.path, self.headers.get("User-Agent", ""),
                                            self.headers.get("If-None-Match", "")))

    def plain(self, status, body=b"", headers=()):
        self.send_response(status)
        for k, v in headers:
            self.send_header(k, v)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def do_CONNECT(self):
        self.note()
        if TUNNEL is None:
            return self.plain(405, b"no tunnels here\n")
        far = socket.create_connection(("127.0.0.1", TUNNEL))
        self.send_response(200, "Connection established")
        self.end_headers()
        self.wfile.flush()
        ends = [self.connection, far]
        try:
            while True:
                ready, _, _ = select.select(ends, [], [], 30)
                if not ready:
                    break
                for end in ready:
                    data = end.recv(65536)
                    if not data:
                        raise EOFError
                    (far if end is self.connection else self.connection).sendall(data)
        except (EOFError, OSError):
            pass
        far.close()
        self.close_connection = True

    def do_GET(self):
        self.note()
        path = self.path
        if path.startswith("http://"):
            path = "/" + path.split("/", 3)[3]
        parts = path.split("/", 3)
        if len(parts) < 4:
            return self.plain(404, b"no such page\n")
        _, mode, target, site = parts
        name = site.rsplit("/", 1)[-1]
        if target != "all" and target != name:
            mode = "ok"
        path = os.path.join(ROOT, site)
        if mode == "301":
            return self.plain(301, b"", [("Location", "/ok/all/" + site)])
        if mode == "loop":
            return self.plain(302, b"", [("Location", "/loop/%s/%s" % (target, site))])
        if mode in ("403", "418", "500", "404"):
            return self.plain(int(mode), b"<html><body>refused</body></html>\n", [("Content-Type", "text/html")])
        if mode == "html":
            return self.plain(200, b"<!DOCTYPE html>\n<html><head><title>Just a moment...</title></head>"
                                   b"<body>Checking your browser</body></html>\n", [("Content-Type", "text/html")])
        if not os.path.isfile(path):
            return self.plain(404, b"not found\n")
        with open(path, "rb") as f:
            body = f.read()
        etag = '"%s"' % hashlib.sha1(body).hexdigest()[:16]
        validators = [("ETag", etag), ("Last-Modified", MTIME), ("Content-Type", "text/plain; charset=utf-8")]
        conditional = mode in ("ok", "gzip", "slow")
        if conditional and self.headers.get("If-None-Match") == etag or conditional and (
                not self.headers.get("If-None-Match") and self.headers.get("If-Modified-Since") == MTIME):
            self.send_response(304)
            for k, v in validators:
                self.send_header(k, v)
            self.end_headers()
            return
        if mode == "empty":
            return self.plain(200, b"", validators)
        if mode == "gzip":
            return self.plain(200, gzip.compress(body), validators + [("Content-Encoding", "gzip")])
        if mode == "truncated":
            self.send_response(200)
            self.send_header("Connection", "close")
            self.end_headers()
            self.wfile.write(body[: len(body) // 2])
            self.close_connection = True
            return
        if mode == "lie":
            self.send_response(200)
            self.send_header("Content-Length", str(len(body) * 2))
            self.end_headers()
            self.wfile.write(body)
            self.wfile.flush()
            self.close_connection = True
            return
        if mode == "stall":
            self.send_response(200)
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body[: len(body) // 2])
            self.wfile.flush()
            time.sleep(3600)
            return
        if mode == "endless":
            self.send_response(200)
            self.send_header("Connection", "close")
            self.end_headers()
            chunk = body * (1 + (1 << 20) // max(1, len(body)))
            try:
                while True:
                    self.wfile.write(chunk)
            except OSError:
                pass
            self.close_connection = True
            return
        if mode == "slow":
            self.send_response(200)
            for k, v in validators:
                self.send_header(k, v)
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            step = max(1, len(body) // 20)
            for i in range(0, len(body), step):
                self.wfile.write(body[i:i + step])
                self.wfile.flush()
                time.sleep(0.05)
            return
        return self.plain(200, body, validators)


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True

    def handle_error(self, request, client_address):
        pass  # a client that gave up (too many redirects, a body too large)


server = Server(("127.0.0.1", 0), Handler)
if "--tls" in sys.argv:  # HTTPS with the certificate given (a test's own, which no client trusts)
    import ssl
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    at = sys.argv.index("--tls")
    context.load_cert_chain(sys.argv[at + 1], sys.argv[at + 2])
    server.socket = context.wrap_socket(server.socket, server_side=True)
print(server.server_address[1], flush=True)
server.serve_forever()
