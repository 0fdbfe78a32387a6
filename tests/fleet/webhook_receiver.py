#!/usr/bin/env python3
"""A webhook receiver for the alert test: each POST body is written to a file of its own in DIR.
Usage: webhook_receiver.py ADDRESS PORT DIR"""
import http.server
import os
import sys
import time

address, port, directory = sys.argv[1], int(sys.argv[2]), sys.argv[3]


class Receiver(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        body = self.rfile.read(int(self.headers.get("Content-Length", 0)))
        # Written under a temporary name first, so that a reader never sees half a body.
        name = os.path.join(directory, "%d.json" % time.time_ns())
        with open(name + ".part", "wb") as out:
            out.write(body)
        os.rename(name + ".part", name)
        self.send_response(200)
        self.end_headers()

    def log_message(self, *args):
        pass


http.server.HTTPServer((address, port), Receiver).serve_forever()
