#!/usr/bin/env python3
"""A small HTTP/1.1 server that misbehaves on request, for client tests.

It serves the files of a document root (the same one nginx serves), and the
first path segment picks what goes wrong:

  /ok/<file>                     200, or 206 for one satisfiable Range, 416 otherwise
  /ignore-range/<file>           200 with the whole file even when a Range was asked for
  /wrong-range/<file>?shift=N    206 whose Content-Range (and body) start N bytes later
                                 than asked (default 1)
  /wrong-total/<file>?total=N    206 with the right offsets but N as the complete length
                                 (default: the real length + 1)
  /status/<code>[/<file>]        that status with a short text body; a 416 carries
                                 "Content-Range: bytes */<size>" of the file
  /no-length/<file>              200/206 without Content-Length; the end of the body is
                                 the end of the connection
  /length/<text>/<file>          the Content-Length field carries <text> verbatim (URL
                                 decoded: "-1", "abc", "" or a lie); the real body
                                 follows, then the connection closes
  /close-early/<file>?after=N    correct head, N body bytes (default: half), then close
  /stall/<file>?after=N&seconds=S
                                 correct head, N body bytes (default 0), silence for S
                                 seconds (default 30, at most 600), then close
  /per-connection/<file>         every request to the path gets another version of the
                                 file: request n (from 0) has each byte XOR-ed with
                                 n % 255 (request 0 is the file itself); Range honoured;
                                 "X-Variant: n" names the version, and "ETag: "v<n>"" as
                                 a real server's validator would
  /redirect/<code>?to=<url>&delay=S&close=1
                                 that redirection status with Location <url>; delay:
                                 S seconds between the head and the body (default 0);
                                 close=1: "Connection: close", then the connection ends
  /redirect-chain/<n>/<file>     302 to /redirect-chain/<n-1>/<file>; at 0 like /ok/
  /redirect-loop/<name>          302 to the same path, for ever
  /split-head/<file>             like /ok/, but the head goes out in three pieces 0.2 s
                                 apart, cut inside the status line and inside the empty
                                 line that ends the head
  /endless-head/                 a status line, then header fields that never end (up to
                                 16 MiB, then silence for 60 s)
  /silent/?seconds=S             reads the request and answers nothing for S seconds
                                 (default 30, at most 600), then closes
  /chunked/<file>                200 with "Transfer-Encoding: chunked" (4000-byte chunks)
  /capture/<name>                records the request: <captures>/<name>.head (request
                                 line and fields as received), <name>.body (the body
                                 bytes), and answers 200 "captured"
  /echo/<name>                   records like /capture and answers with the body

The file faults (/ok/ to /stall/) take "together=1": the head and the first body bytes
(up to 64 KiB) go out in one write, so that a client receives them in one block.

Every request is also appended to <captures>/requests.log as one line:
"<n> <method> <path> range=<Range field or ->".
Bodies of requests are read by Content-Length or chunked transfer coding.
"""

import argparse
import os
import signal
import socket
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

CHUNK = 64 * 1024
REASONS = {
    200: "OK", 206: "Partial Content", 301: "Moved Permanently", 302: "Found",
    303: "See Other", 307: "Temporary Redirect", 308: "Permanent Redirect",
    400: "Bad Request", 403: "Forbidden", 404: "Not Found", 416: "Range Not Satisfiable",
    500: "Internal Server Error", 502: "Bad Gateway", 503: "Service Unavailable",
}


class State:
    def __init__(self, docroot, captures):
        self.docroot = os.path.realpath(docroot)
        self.captures = captures
        self.lock = threading.Lock()
        self.request_count = 0
        self.path_counts = {}

    def next_request(self):
        with self.lock:
            n = self.request_count
            self.request_count += 1
            return n

    def next_for_path(self, path):
        with self.lock:
            n = self.path_counts.get(path, 0)
            self.path_counts[path] = n + 1
            return n


def parse_range(value, size):
    """(first, last) of one 'bytes=' range, None for no usable range, 'bad'
    for one that cannot be satisfied."""
    if not value or not value.startswith("bytes=") or "," in value:
        return None
    range_text = value[len("bytes="):].strip()
    first_text, sep, last_text = range_text.partition("-")
    if not sep:
        return None
    try:
        if first_text == "":
            suffix = int(last_text)
            if suffix <= 0:
                return "bad"
            return (max(0, size - suffix), size - 1) if size else "bad"
        first = int(first_text)
        last = int(last_text) if last_text else size - 1
    except ValueError:
        return None
    if first > last or first >= size:
        return "bad"
    return (first, min(last, size - 1))


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "faultserver"
    sys_version = ""

    # --- plumbing -----------------------------------------------------------

    def log_message(self, fmt, *args):
        sys.stderr.write("%s %s\n" % (self.log_date_time_string(), fmt % args))

    @property
    def state(self):
        return self.server.state

    def read_body(self):
        if self.headers.get("Transfer-Encoding", "").lower() == "chunked":
            data = b""
            while True:
                line = self.rfile.readline()
                size = int(line.split(b";")[0].strip() or b"0", 16)
                if size == 0:
                    while self.rfile.readline() not in (b"\r\n", b"\n", b""):
                        pass
                    return data
                data += self.rfile.read(size)
                self.rfile.readline()
        length = int(self.headers.get("Content-Length") or 0)
        return self.rfile.read(length) if length > 0 else b""

    def head_bytes(self, code, fields, close=False):
        """A status line and the fields exactly as given, with the closing empty line."""
        lines = ["HTTP/1.1 %d %s" % (code, REASONS.get(code, "Status"))]
        lines += ["%s: %s" % (name, value) for name, value in fields]
        if close:
            lines.append("Connection: close")
            self.close_connection = True
        self.log_request(code)
        return ("\r\n".join(lines) + "\r\n\r\n").encode("latin-1")

    def send_head(self, code, fields, close=False):
        """Writes a status line and the fields exactly as given."""
        self.wfile.write(self.head_bytes(code, fields, close))

    def send_text(self, code, text, extra=()):
        body = text.encode()
        fields = [("Content-Type", "text/plain"), ("Content-Length", str(len(body)))]
        self.send_head(code, fields + list(extra))
        if self.command != "HEAD":
            self.wfile.write(body)

    def send_file_bytes(self, path, first, count, xor=0, limit=None, prefix=b""):
        """Streams count bytes of the file from offset first (at most limit).
        prefix (a head) goes out in the same write as the first block."""
        if self.command == "HEAD":
            count = 0
        table = bytes((b ^ xor) for b in range(256)) if xor else None
        todo = count if limit is None else min(count, limit)
        with open(path, "rb") as f:
            f.seek(first)
            while todo > 0:
                block = f.read(min(CHUNK, todo))
                if not block:
                    break
                if table:
                    block = block.translate(table)
                self.wfile.write(prefix + block)
                prefix = b""
                todo -= len(block)
        if prefix:
            self.wfile.write(prefix)
        self.wfile.flush()

    def file_path(self, rel):
        path = os.path.realpath(os.path.join(self.state.docroot, urllib.parse.unquote(rel)))
        if not path.startswith(self.state.docroot + os.sep) or not os.path.isfile(path):
            return None
        return path

    # --- dispatch -----------------------------------------------------------

    def handle_any(self):
        n = self.state.next_request()
        url = urllib.parse.urlsplit(self.path)
        query = dict(urllib.parse.parse_qsl(url.query, keep_blank_values=True))
        with open(os.path.join(self.state.captures, "requests.log"), "a") as log:
            log.write("%d %s %s range=%s\n" % (n, self.command, self.path,
                                              self.headers.get("Range", "-")))
        fault, _, rest = url.path.lstrip("/").partition("/")
        handler = getattr(self, "fault_" + fault.replace("-", "_"), None)
        body = self.read_body()
        if handler is None:
            self.send_text(404, "unknown fault %r\n" % fault)
            return
        handler(rest, query, body)

    do_GET = do_POST = do_PUT = do_HEAD = handle_any

    # --- behaviours ---------------------------------------------------------

    def serve_file(self, rest, query, *, honour_range=True, shift=0, total=None,
                   length_text=None, send_length=True, limit=None, stall=0, xor=0,
                   extra=(), close=False, chunked=False):
        path = self.file_path(rest)
        if path is None:
            self.send_text(404, "no such file\n")
            return
        size = os.path.getsize(path)
        wanted = parse_range(self.headers.get("Range"), size) if honour_range else None
        if wanted == "bad":
            self.send_text(416, "range not satisfiable\n",
                           [("Content-Range", "bytes */%d" % size)])
            return
        fields = [("Content-Type", "application/octet-stream"), ("Accept-Ranges", "bytes")]
        fields += list(extra)
        if wanted is None:
            code, first, count = 200, 0, size
        else:
            first = min(wanted[0] + shift, size)
            last = min(wanted[1] + shift, size - 1)
            code, count = 206, max(0, last - first + 1)
            fields.append(("Content-Range", "bytes %d-%d/%d" % (
                first, last, size if total is None else total)))
        if chunked:
            fields.append(("Transfer-Encoding", "chunked"))
        elif length_text is not None:
            fields.append(("Content-Length", length_text))
            close = True
        elif send_length:
            fields.append(("Content-Length", str(count)))
        else:
            close = True
        if limit is not None or stall:
            close = True
        head = self.head_bytes(code, fields, close=close)
        if chunked:
            self.wfile.write(head)
            self.send_chunks(path, first, count)
            return
        if query.get("together") != "1":
            self.wfile.write(head)
            head = b""
        self.send_file_bytes(path, first, count, xor=xor, limit=limit, prefix=head)
        if stall:
            time.sleep(stall)

    def send_chunks(self, path, first, count):
        with open(path, "rb") as f:
            f.seek(first)
            while count > 0:
                block = f.read(min(4000, count))
                if not block:
                    break
                self.wfile.write(b"%x\r\n%s\r\n" % (len(block), block))
                count -= len(block)
        self.wfile.write(b"0\r\n\r\n")

    def fault_ok(self, rest, query, body):
        self.serve_file(rest, query)

    def fault_ignore_range(self, rest, query, body):
        self.serve_file(rest, query, honour_range=False)

    def fault_wrong_range(self, rest, query, body):
        self.serve_file(rest, query, shift=int(query.get("shift", "1")))

    def fault_wrong_total(self, rest, query, body):
        path = self.file_path(rest)
        real = os.path.getsize(path) if path else 0
        self.serve_file(rest, query, total=int(query.get("total", str(real + 1))))

    def fault_no_length(self, rest, query, body):
        self.serve_file(rest, query, send_length=False)

    def fault_length(self, rest, query, body):
        text, _, file_part = rest.partition("/")
        self.serve_file(file_part, query, length_text=urllib.parse.unquote(text))

    def fault_close_early(self, rest, query, body):
        path = self.file_path(rest)
        half = (os.path.getsize(path) // 2) if path else 0
        self.serve_file(rest, query, limit=int(query.get("after", str(half))))

    def fault_stall(self, rest, query, body):
        seconds = min(600.0, float(query.get("seconds", "30")))
        self.serve_file(rest, query, limit=int(query.get("after", "0")), stall=seconds)

    def fault_per_connection(self, rest, query, body):
        n = self.state.next_for_path(rest)
        self.serve_file(rest, query, xor=n % 255,
                        extra=[("X-Variant", str(n)), ("ETag", '"v%d"' % n)])

    def fault_status(self, rest, query, body):
        code_text, _, file_part = rest.partition("/")
        code = int(code_text)
        extra = []
        path = self.file_path(file_part) if file_part else None
        if code == 416 and path:
            extra.append(("Content-Range", "bytes */%d" % os.path.getsize(path)))
        self.send_text(code, "status %d\n" % code, extra)

    def fault_redirect(self, rest, query, body):
        code = int(rest or "302")
        # Like a real server's page: read as the start of the next response,
        # it would not look like a status line.
        text = b"moved to another address\n"
        fields = [("Content-Type", "text/plain"), ("Content-Length", str(len(text))),
                  ("Location", query.get("to", "/"))]
        self.send_head(code, fields, close=query.get("close") == "1")
        delay = min(60.0, float(query.get("delay", "0")))
        if delay:
            self.wfile.flush()
            time.sleep(delay)
        if self.command != "HEAD":
            self.wfile.write(text)

    def fault_redirect_chain(self, rest, query, body):
        count_text, _, file_part = rest.partition("/")
        count = int(count_text)
        if count <= 0:
            self.serve_file(file_part, query)
            return
        self.send_text(302, "moved\n",
                       [("Location", "/redirect-chain/%d/%s" % (count - 1, file_part))])

    def fault_redirect_loop(self, rest, query, body):
        self.send_text(302, "moved\n", [("Location", self.path)])

    def fault_split_head(self, rest, query, body):
        path = self.file_path(rest)
        if path is None:
            self.send_text(404, "no such file\n")
            return
        size = os.path.getsize(path)
        head = self.head_bytes(200, [("Content-Type", "application/octet-stream"),
                                     ("Content-Length", str(size))])
        # Cut inside the status line and between "\r\n\r" and the last "\n".
        for piece in (head[:10], head[10:-1]):
            self.wfile.write(piece)
            self.wfile.flush()
            time.sleep(0.2)
        self.send_file_bytes(path, 0, size, prefix=head[-1:])

    def fault_endless_head(self, rest, query, body):
        self.close_connection = True
        self.log_request(200)
        self.wfile.write(b"HTTP/1.1 200 OK\r\n")
        line = 0
        sent = 0
        while sent < 16 * 1024 * 1024:
            data = b"X-Filler-%06d: %s\r\n" % (line, b"f" * 100)
            self.wfile.write(data)
            sent += len(data)
            line += 1
        time.sleep(60)

    def fault_silent(self, rest, query, body):
        self.close_connection = True
        time.sleep(min(600.0, float(query.get("seconds", "30"))))

    def fault_chunked(self, rest, query, body):
        self.serve_file(rest, query, chunked=True)

    def record(self, name, body):
        name = os.path.basename(name) or "unnamed"
        head = self.requestline + "\r\n" + "".join(
            "%s: %s\r\n" % (k, v) for k, v in self.headers.items())
        base = os.path.join(self.state.captures, name)
        # Write to temporary names first: a reader never sees half a capture.
        for ext, data in ((".body", body), (".head", head.encode("latin-1"))):
            with open(base + ext + ".tmp", "wb") as f:
                f.write(data)
            os.replace(base + ext + ".tmp", base + ext)

    def fault_capture(self, rest, query, body):
        self.record(rest, body)
        self.send_text(200, "captured\n")

    def fault_echo(self, rest, query, body):
        self.record(rest, body)
        self.send_head(200, [("Content-Type", "application/octet-stream"),
                             ("Content-Length", str(len(body)))])
        if self.command != "HEAD":
            self.wfile.write(body)


class Server(ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True

    def handle_error(self, request, client_address):
        # Clients that hang up in the middle of a body are part of the tests.
        exc = sys.exc_info()[1]
        if isinstance(exc, (ConnectionError, BrokenPipeError, socket.timeout)):
            return
        super().handle_error(request, client_address)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--docroot", required=True)
    parser.add_argument("--captures", required=True)
    parser.add_argument("--port-file", required=True,
                        help="receives the port chosen by the system once the server listens")
    args = parser.parse_args()

    os.makedirs(args.captures, exist_ok=True)
    server = Server(("127.0.0.1", 0), Handler)
    server.state = State(args.docroot, args.captures)
    signal.signal(signal.SIGTERM, lambda *_: threading.Thread(target=server.shutdown).start())

    tmp = args.port_file + ".tmp"
    with open(tmp, "w") as f:
        f.write("%d\n" % server.server_address[1])
    os.replace(tmp, args.port_file)
    server.serve_forever()
    server.server_close()


if __name__ == "__main__":
    main()
