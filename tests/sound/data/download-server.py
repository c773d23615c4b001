"""A small download server for the installer tests, on 127.0.0.1.

Serves the files of a folder with Range requests. Beside a file, a marker
changes how it is served: NAME.cut sends half of it and breaks off (once:
the marker is then removed); NAME.lie announces a length 100 bytes too long
to a HEAD request. Prints the port, then serves until killed.
"""

import http.server
import os
import sys


class Files(http.server.BaseHTTPRequestHandler):
    root = "."

    def log_message(self, *args):
        pass

    def target(self):
        path = os.path.normpath(os.path.join(self.root, self.path.lstrip("/")))
        return path if path.startswith(os.path.abspath(self.root)) and os.path.isfile(path) else None

    def do_HEAD(self):
        path = self.target()
        if not path:
            self.send_error(404)
            return
        size = os.path.getsize(path) + (100 if os.path.exists(path + ".lie") else 0)
        self.send_response(200)
        self.send_header("Content-Length", str(size))
        self.send_header("Accept-Ranges", "bytes")
        self.end_headers()

    def do_GET(self):
        path = self.target()
        if not path:
            self.send_error(404)
            return
        with open(path, "rb") as source:
            data = source.read()
        start = 0
        ranged = self.headers.get("Range", "")
        if ranged.startswith("bytes="):
            start = int(ranged[6:].split("-")[0] or 0)
            if start >= len(data):
                self.send_response(416)
                self.send_header("Content-Range", "bytes */%d" % len(data))
                self.end_headers()
                return
            self.send_response(206)
            self.send_header("Content-Range", "bytes %d-%d/%d" % (start, len(data) - 1, len(data)))
        else:
            self.send_response(200)
        body = data[start:]
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if os.path.exists(path + ".cut"):
            os.remove(path + ".cut")
            self.wfile.write(body[: len(body) // 2])
            self.wfile.flush()
            self.close_connection = True
            return
        self.wfile.write(body)


def main():
    Files.root = os.path.abspath(sys.argv[1])
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Files)
    print(server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
