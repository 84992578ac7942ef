#!/usr/bin/env python3
"""local_tsa.py <work-dir>: an RFC 3161 time-stamp authority on 127.0.0.1
for the signing check, offline. Answers each query with `openssl ts -reply`,
signed by <work-dir>/tsa.pem and tsa.key; writes its port to
<work-dir>/tsa.port once it listens."""
import http.server
import os
import subprocess
import sys

work = sys.argv[1]
config = os.path.join(work, "tsa.cnf")
with open(config, "w") as f:
    f.write("[tsa]\ndefault_tsa = local\n[local]\nserial = %s/tsa.serial\ndigests = sha256\n"
            "signer_digest = sha256\ndefault_policy = 1.3.6.1.4.1.4146.2.3\naccuracy = secs:1\n" % work)
with open(os.path.join(work, "tsa.serial"), "w") as f:
    f.write("01\n")


class Tsa(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        query = self.rfile.read(int(self.headers["Content-Length"]))
        reply = subprocess.run(
            ["openssl", "ts", "-reply", "-config", config, "-queryfile", "/dev/stdin",
             "-signer", os.path.join(work, "tsa.pem"), "-inkey", os.path.join(work, "tsa.key")],
            input=query, capture_output=True, check=True).stdout
        self.send_response(200)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(reply)))
        self.end_headers()
        self.wfile.write(reply)

    def log_message(self, *args):
        pass


server = http.server.HTTPServer(("127.0.0.1", 0), Tsa)
with open(os.path.join(work, "tsa.port.new"), "w") as f:
    f.write(str(server.server_address[1]))
os.rename(os.path.join(work, "tsa.port.new"), os.path.join(work, "tsa.port"))
server.serve_forever()
