#!/usr/bin/python3
# An HTTP origin and an HTTP proxy on the loopback address for the Windows
# build's transfer test. The origin serves FILE as /file.bin; the proxy
# forwards GETs to it and appends the Proxy-Authorization it received (or
# "none") and whether the request held its own Authorization to LOG.
# Prints "ORIGIN_PORT PROXY_PORT", then serves until killed.
import http.server
import sys
import threading
import urllib.request

body = open(sys.argv[1], "rb").read()
log = sys.argv[2]


class Origin(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        if self.path != "/file.bin":
            self.send_error(404)
            return
        self.send_response(200)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


class Proxy(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        with open(log, "a") as out:
            out.write("proxy-authorization: %s\n" % self.headers.get("Proxy-Authorization", "none"))
            out.write("authorization: %s\n" % ("sent" if "Authorization" in self.headers else "none"))
            out.write("target: %s\n" % self.path)
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
