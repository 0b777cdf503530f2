#!/usr/bin/python3
# A loopback FTP server for the transfer tests: anonymous users read ROOT,
# the user "tester" (password "secret") reads and writes it. Prints the port
# it listens on, then serves until killed.
import logging
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.log import config_logging
from pyftpdlib.servers import FTPServer

root = sys.argv[1]
config_logging(level=logging.WARNING)
authorizer = DummyAuthorizer()
authorizer.add_anonymous(root)
authorizer.add_user("tester", "secret", root, perm="elradfmwMT")
handler = FTPHandler
handler.authorizer = authorizer
handler.permit_foreign_addresses = False
server = FTPServer(("127.0.0.1", 0), handler)
print(server.socket.getsockname()[1], flush=True)
server.serve_forever()
