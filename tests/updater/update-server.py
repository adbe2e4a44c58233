#!/usr/bin/env python3
"""A local update server for the updater's tests.

    update-server.py ROOT [--lifetime SECONDS]

Serves the files under ROOT on 127.0.0.1 at a free port and prints
"PORT <n>" once it listens. It ends when its standard input closes (the
test that started it went away) or after --lifetime seconds (default 120).

The last path component picks a misbehaviour by its first dash-separated
word, for GET requests (HEAD is always answered normally, so a size probe
still learns the file's size). truncate, shortnolength and slow touch only
.exe files, so a wizard can read its version file and then meet them:

    status404-*     404 with an HTML error page
    status500-*     500 with an HTML error page
    stall-*         headers and the first 1024 bytes, then nothing more
    truncate-*      full Content-Length, half the body, then close
    shortnolength-* no Content-Length, half the body, then close
    close-*         close the connection without an answer
    slow-*          the body in 4096-byte pieces, 40 ms apart
"""

import argparse
import http.server
import os
import sys
import threading
import time

ERROR_PAGE = b"<html><body><h1>Error</h1><p>Not here.</p></body></html>\n"
STALL_SECONDS = 60


class Handler(http.server.SimpleHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, fmt, *args):
        sys.stderr.write("update-server: " + (fmt % args) + "\n")

    def mode(self):
        name = self.path.split("?", 1)[0].rstrip("/").rsplit("/", 1)[-1]
        return name.split("-", 1)[0] if "-" in name else ""

    def body(self):
        path = self.translate_path(self.path)
        if not os.path.isfile(path):
            return None
        with open(path, "rb") as f:
            return f.read()

    def send_error_page(self, status):
        self.send_response(status)
        self.send_header("Content-Type", "text/html")
        self.send_header("Content-Length", str(len(ERROR_PAGE)))
        self.end_headers()
        self.wfile.write(ERROR_PAGE)

    def do_GET(self):
        mode = self.mode()
        if mode == "status404":
            return self.send_error_page(404)
        if mode == "status500":
            return self.send_error_page(500)
        if mode == "close":
            self.close_connection = True
            return
        data = self.body()
        if mode in ("truncate", "shortnolength", "slow") and not self.path.endswith(".exe"):
            mode = ""
        if data is None or mode not in ("stall", "truncate", "shortnolength", "slow"):
            return super().do_GET()
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        if mode != "shortnolength":
            self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        if mode == "stall":
            self.wfile.write(data[:1024])
            self.wfile.flush()
            time.sleep(STALL_SECONDS)
        elif mode in ("truncate", "shortnolength"):
            self.wfile.write(data[: len(data) // 2])
            self.wfile.flush()
        else:
            for start in range(0, len(data), 4096):
                self.wfile.write(data[start:start + 4096])
                self.wfile.flush()
                time.sleep(0.04)
        self.close_connection = True


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("root")
    parser.add_argument("--lifetime", type=float, default=120)
    args = parser.parse_args()

    handler = lambda *a, **kw: Handler(*a, directory=args.root, **kw)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    server.daemon_threads = True

    def end_when_orphaned():
        sys.stdin.read()
        os._exit(0)

    threading.Thread(target=end_when_orphaned, daemon=True).start()
    threading.Timer(args.lifetime, lambda: os._exit(0)).start()
    print("PORT %d" % server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
