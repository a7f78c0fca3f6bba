"""A real FTP server for the engine's tests and benchmark: one user over a home folder, on
127.0.0.1 with a port the system picks. Prints the port on its first line of output, then serves
until it is killed or its standard input closes.

Usage: ftpserver.py HOME USER PASSWORD
"""
import sys
import threading
import os

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


def main():
    home, user, password = sys.argv[1:4]
    authorizer = DummyAuthorizer()
    authorizer.add_user(user, password, home, perm="elradfmwMT")
    handler = FTPHandler
    handler.authorizer = authorizer
    handler.banner = "Serveur de test pret."
    # Large blocks, so that the server is not what a throughput figure measures.
    handler.dtp_handler.ac_in_buffer_size = 65536
    handler.dtp_handler.ac_out_buffer_size = 65536
    server = FTPServer(("127.0.0.1", 0), handler)
    print(server.address[1], flush=True)

    def watch_stdin():
        sys.stdin.read()
        os._exit(0)

    threading.Thread(target=watch_stdin, daemon=True).start()
    server.serve_forever(timeout=0.2)


if __name__ == "__main__":
    main()
