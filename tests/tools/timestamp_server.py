#!/usr/bin/env python3
"""A time-stamp authority for the signing test: RFC 3161 requests posted to
http://127.0.0.1:PORT/ are answered by `openssl ts -reply`.

    timestamp_server.py CONFIG

Its first line of output, once it accepts connections: the port it serves
(chosen free by the system), then a port bound but never listened on while it
runs (an authority that cannot be reached, which nothing else can take).
Requests are served one at a time: `openssl ts` keeps its serial in a file.
"""
import http.server
import socket
import subprocess
import sys


class Authority(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        query = self.rfile.read(int(self.headers.get("Content-Length", 0)))
        reply = subprocess.run(["openssl", "ts", "-reply", "-config", sys.argv[1], "-queryfile", "/dev/stdin",
                                "-out", "/dev/stdout"], input=query, capture_output=True)
        if reply.returncode != 0:
            self.send_error(500)
            return
        self.send_response(200)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(reply.stdout)))
        self.end_headers()
        self.wfile.write(reply.stdout)

    def log_message(self, *args):
        pass


if __name__ == "__main__":
    server = http.server.HTTPServer(("127.0.0.1", 0), Authority)
    unreachable = socket.socket()
    unreachable.bind(("127.0.0.1", 0))
    print(server.server_address[1], unreachable.getsockname()[1], flush=True)
    server.serve_forever()
