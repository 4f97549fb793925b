#!/usr/bin/env python3
"""A proxy for the HTTP client's tests: answers 407 until the client sends
the Basic credentials it was given, then tunnels CONNECT to a port of
127.0.0.1 (nowhere else). Prints "PORT <n>" once it listens on a loopback
port of its own; runs until it is stopped."""
import argparse
import base64
import os
import select
import socket
import socketserver
import threading

IDLE_SECONDS = 5


def read_head(sock):
    head = b""
    while b"\r\n\r\n" not in head:
        data = sock.recv(4096)
        if not data:
            return None
        head += data
    return head


def relay(a, b):
    while True:
        ready, _, _ = select.select([a, b], [], [], IDLE_SECONDS)
        if not ready:
            return
        for s in ready:
            data = s.recv(65536)
            if not data:
                return
            (b if s is a else a).sendall(data)


class Handler(socketserver.BaseRequestHandler):
    def handle(self):
        self.request.settimeout(IDLE_SECONDS)
        head = read_head(self.request)
        if head is None:
            return
        lines = head.split(b"\r\n\r\n")[0].split(b"\r\n")
        method, target, _ = lines[0].split(b" ", 2)
        headers = {}
        for line in lines[1:]:
            name, _, value = line.partition(b":")
            headers[name.strip().lower()] = value.strip()
        if headers.get(b"proxy-authorization") != self.server.expected:
            self.request.sendall(
                b"HTTP/1.1 407 Proxy Authentication Required\r\n"
                b'Proxy-Authenticate: Basic realm="test"\r\nContent-Length: 0\r\n\r\n')
            return
        if method != b"CONNECT":
            self.request.sendall(b"HTTP/1.1 405 Method Not Allowed\r\nContent-Length: 0\r\n\r\n")
            return
        port = int(target.rpartition(b":")[2])
        with socket.create_connection(("127.0.0.1", port), timeout=IDLE_SECONDS) as upstream:
            self.request.sendall(b"HTTP/1.1 200 Connection established\r\n\r\n")
            relay(self.request, upstream)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--user", required=True)
    parser.add_argument("--password", required=True)
    args = parser.parse_args()
    socketserver.ThreadingTCPServer.daemon_threads = True
    server = socketserver.ThreadingTCPServer(("127.0.0.1", 0), Handler)
    # The bytes as given: credentials in a code page stay as they are.
    credentials = os.fsencode(args.user) + b":" + os.fsencode(args.password)
    server.expected = b"Basic " + base64.b64encode(credentials)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    print("PORT", server.server_address[1], flush=True)
    threading.Event().wait()


if __name__ == "__main__":
    main()
