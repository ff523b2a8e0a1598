#!/usr/bin/env python3
"""A loopback time server for the benchmark: answers every HEAD or GET with a
short 200 and the current Date header, written byte by byte by this handler
(http.server's send_response would add its own Date and Server lines).

Usage: loopback_server.py PORT [READY_FILE] [--clock-offset S] [--jitter-ms MS]
                          [--keep-alive] [--stamp answer|arrival] [--trace FILE]
Listens on 127.0.0.1 only; touches READY_FILE once it accepts connections.
Stops by itself after --lifetime seconds (default 600), so a forgotten server
cannot outlive the benchmark for long. Run under libfaketime, its clock (and
so its Date headers) is shifted by the faked offset.
"""
import argparse
import email.utils
import http.server
import pathlib
import random
import select
import threading
import time

# Set from the command line: the server's clock runs this far ahead of the
# machine's, each answer waits a random few milliseconds first, the Date is
# taken before that wait ("arrival") or after it ("answer"), and connections
# stay open for further requests or close after each answer.
CLOCK_OFFSET_S = 0.0
JITTER_MS = 0.0
STAMP_ON_ARRIVAL = False
KEEP_ALIVE = False
TRACE = None  # file: per request, the server clock at arrival and at the answer
TRACE_LOCK = threading.Lock()


class TimeHandler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    disable_nagle_algorithm = True

    def _answer(self):
        arrival = time.time()
        date = email.utils.formatdate(arrival + CLOCK_OFFSET_S, usegmt=True)
        if JITTER_MS > 0:
            # Not time.sleep: under libfaketime it fails (EINVAL).
            select.select([], [], [], random.uniform(0, JITTER_MS) / 1000.0)
        if not STAMP_ON_ARRIVAL:
            date = email.utils.formatdate(time.time() + CLOCK_OFFSET_S, usegmt=True)
        self.wfile.write(
            (
                "HTTP/1.1 200 OK\r\n"
                f"Date: {date}\r\n"
                "Content-Length: 0\r\n"
                f"Connection: {'keep-alive' if KEEP_ALIVE else 'close'}\r\n"
                "\r\n"
            ).encode("ascii")
        )
        self.close_connection = not KEEP_ALIVE
        if TRACE:
            with TRACE_LOCK:
                TRACE.write(f"{arrival:.6f} {time.time():.6f} {date}\n")
                TRACE.flush()

    do_HEAD = _answer
    do_GET = _answer

    def log_message(self, format, *args):  # quiet: the benchmark reads stdout
        pass


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("port", type=int)
    parser.add_argument("ready_file", nargs="?")
    parser.add_argument("--lifetime", type=float, default=600)
    parser.add_argument("--clock-offset", type=float, default=0.0,
                        help="seconds the server's clock runs ahead")
    parser.add_argument("--jitter-ms", type=float, default=0.0,
                        help="random delay of up to this many ms before each answer")
    parser.add_argument("--keep-alive", action="store_true",
                        help="keep connections open (default: close after each answer)")
    parser.add_argument("--stamp", choices=["answer", "arrival"], default="answer",
                        help="take the Date when the answer goes out or when the request came")
    parser.add_argument("--trace", help="append the arrival and answer time of each request")
    args = parser.parse_args()
    global CLOCK_OFFSET_S, JITTER_MS, STAMP_ON_ARRIVAL, KEEP_ALIVE, TRACE
    CLOCK_OFFSET_S = args.clock_offset
    JITTER_MS = args.jitter_ms
    STAMP_ON_ARRIVAL = args.stamp == "arrival"
    KEEP_ALIVE = args.keep_alive
    if args.trace:
        TRACE = open(args.trace, "a", encoding="ascii")
    server = http.server.ThreadingHTTPServer(("127.0.0.1", args.port), TimeHandler)
    server.daemon_threads = True
    stopper = threading.Timer(args.lifetime, server.shutdown)
    stopper.daemon = True
    stopper.start()
    if args.ready_file:
        pathlib.Path(args.ready_file).touch()
    server.serve_forever()
    server.server_close()


if __name__ == "__main__":
    main()
