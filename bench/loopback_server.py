#!/usr/bin/env python3
"""A loopback time server for the benchmark: answers every HEAD or GET with a
short 200 and the current Date header, written byte by byte by this handler
(http.server's send_response would add its own Date and Server lines).

Usage: loopback_server.py PORT [READY_FILE]
Listens on 127.0.0.1 only; touches READY_FILE once it accepts connections.
Stops by itself after --lifetime seconds (default 600), so a forgotten server
cannot outlive the benchmark for long.
"""
import argparse
import email.utils
import http.server
import pathlib
import threading


class TimeHandler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def _answer(self):
        date = email.utils.formatdate(usegmt=True)
        self.wfile.write(
            (
                "HTTP/1.1 200 OK\r\n"
                f"Date: {date}\r\n"
                "Content-Length: 0\r\n"
                "Connection: close\r\n"
                "\r\n"
            ).encode("ascii")
        )
        self.close_connection = True

    do_HEAD = _answer
    do_GET = _answer

    def log_message(self, format, *args):  # quiet: the benchmark reads stdout
        pass


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("port", type=int)
    parser.add_argument("ready_file", nargs="?")
    parser.add_argument("--lifetime", type=float, default=600)
    args = parser.parse_args()
    server = http.server.ThreadingHTTPServer(("127.0.0.1", args.port), TimeHandler)
    stopper = threading.Timer(args.lifetime, server.shutdown)
    stopper.daemon = True
    stopper.start()
    if args.ready_file:
        pathlib.Path(args.ready_file).touch()
    server.serve_forever()
    server.server_close()


if __name__ == "__main__":
    main()
