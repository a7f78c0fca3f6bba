"""A real FTP server for the engine's tests and benchmark: one user over a home folder, on
127.0.0.1 with a port the system picks. Prints the port on its first line of output, then serves
until it is killed or its standard input closes.

Usage: ftpserver.py HOME USER PASSWORD [--tls CERTFILE [--tls-required]] [--log FILE]

--tls offers explicit TLS (AUTH TLS) with the certificate and key of CERTFILE (one PEM file);
--tls-required refuses logins and transfers in clear; --log writes every command received.
"""
import logging
import os
import sys
import threading

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


def main():
    home, user, password = sys.argv[1:4]
    options = sys.argv[4:]
    certfile = options[options.index("--tls") + 1] if "--tls" in options else None
    log = options[options.index("--log") + 1] if "--log" in options else None
    authorizer = DummyAuthorizer()
    authorizer.add_user(user, password, home, perm="elradfmwMT")
    handler = FTPHandler
    if certfile:
        # Debian's python3-openssl.
        from pyftpdlib.handlers import TLS_FTPHandler
        handler = TLS_FTPHandler
        handler.certfile = certfile
        handler.tls_control_required = "--tls-required" in options
        handler.tls_data_required = "--tls-required" in options
    handler.authorizer = authorizer
    handler.banner = "Serveur de test pret."
    # Large blocks, so that the server is not what a throughput figure measures.
    handler.dtp_handler.ac_in_buffer_size = 65536
    handler.dtp_handler.ac_out_buffer_size = 65536
    if log:
        logging.basicConfig(filename=log, level=logging.DEBUG)
    server = FTPServer(("127.0.0.1", 0), handler)
    print(server.address[1], flush=True)

    def watch_stdin():
        sys.stdin.read()
        os._exit(0)

    threading.Thread(target=watch_stdin, daemon=True).start()
    server.serve_forever(timeout=0.2)


if __name__ == "__main__":
    main()
