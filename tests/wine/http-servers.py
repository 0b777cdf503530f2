#!/usr/bin/python3
# An HTTP origin and an HTTP proxy on the loopback address for the Windows
# build's transfer tests. The origin serves FILE as /file.bin, slowly as
# /slow.bin and as /stalled.bin stopping after two blocks. The proxy answers
# 407 until it gets the login agent / hunter2, then forwards GETs to the
# origin; it appends the Proxy-Authorization of each request (or "none") and
# whether the request held an Authorization of its own to LOG.
# Prints "ORIGIN_PORT PROXY_PORT", then serves until killed.
import base64
import http.server
import sys
import threading
import time
import urllib.request

body = open(sys.argv[1], "rb").read()
log = sys.argv[2]
login = "Basic " + base64.b64encode(b"agent:hunter2").decode()


class Origin(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        if self.path not in ("/file.bin", "/slow.bin", "/stalled.bin"):
            self.send_error(404)
            return
        self.send_response(200)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if self.path == "/file.bin":
            self.wfile.write(body)
            return
        # slow.bin trickles for a minute; stalled.bin sends a little, then nothing.
        blocks = [body[at:at + 4096] for at in range(0, len(body), 4096)]
        try:
            for block in blocks if self.path == "/slow.bin" else blocks[:2]:
                self.wfile.write(block)
                self.wfile.flush()
                time.sleep(60.0 / len(blocks))
            if self.path == "/stalled.bin":
                time.sleep(300)
        except OSError:
            pass  # the client went away

    def log_message(self, *args):
        pass


class Proxy(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        given = self.headers.get("Proxy-Authorization", "none")
        with open(log, "a") as out:
            out.write("proxy-authorization: %s\n" % given)
            out.write("authorization: %s\n" % ("sent" if "Authorization" in self.headers else "none"))
            out.write("target: %s\n" % self.path)
        if given != login:
            self.send_response(407)
            self.send_header("Proxy-Authenticate", 'Basic realm="loopback"')
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        path = self.path[self.path.index("/", self.path.index("://") + 3):]
        opener = urllib.request.build_opener(urllib.request.ProxyHandler({}))
        try:
            answer = opener.open("http://127.0.0.1:%d%s" % (origin.server_address[1], path))
            data, status = answer.read(), answer.status
        except urllib.error.HTTPError as failure:
            data, status = b"", failure.code
        self.send_response(status)
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)

    def log_message(self, *args):
        pass


origin = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Origin)
proxy = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Proxy)
threading.Thread(target=origin.serve_forever, daemon=True).start()
print(origin.server_address[1], proxy.server_address[1], flush=True)
proxy.serve_forever()
