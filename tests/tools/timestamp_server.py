#!/usr/bin/env python3
"""A time-stamp authority for the signing test: RFC 3161 requests posted to
http://127.0.0.1:PORT/ are answered by `openssl ts -reply`.

    timestamp_server.py CONFIG

The port is one the system chose free; it is printed on the first line of
standard output once the server accepts connections, followed by a port that
is bound but never listened on, for as long as the server runs: an authority
that cannot be reached, which no other program can take meanwhile. One
request at a time: `openssl ts` keeps its serial number in a file.
"""
import http.server
import os
import socket
import subprocess
import sys
import tempfile


class Authority(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        query = self.rfile.read(int(self.headers.get("Content-Length", 0)))
        with tempfile.TemporaryDirectory() as tmp:
            request, reply = os.path.join(tmp, "request.tsq"), os.path.join(tmp, "reply.tsr")
            with open(request, "wb") as f:
                f.write(query)
            done = subprocess.run(["openssl", "ts", "-reply", "-config", CONFIG,
                                   "-queryfile", request, "-out", reply], capture_output=True)
            if done.returncode != 0:
                sys.stderr.write(done.stderr.decode(errors="replace"))
                self.send_error(500)
                return
            with open(reply, "rb") as f:
                answer = f.read()
        self.send_response(200)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(answer)))
        self.end_headers()
        self.wfile.write(answer)

    def log_message(self, *args):
        pass


if __name__ == "__main__":
    CONFIG = os.path.abspath(sys.argv[1])
    server = http.server.HTTPServer(("127.0.0.1", 0), Authority)
    unreachable = socket.socket()
    unreachable.bind(("127.0.0.1", 0))
    print(server.server_address[1], unreachable.getsockname()[1], flush=True)
    server.serve_forever()
