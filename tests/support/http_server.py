#!/usr/bin/env python3
"""Scripted HTTP/1.1 test server for derov's tests (Python 3 standard library only).

It listens on 127.0.0.1 only, on a free port chosen at start. Tests script what each path
answers and read back every request the server received. Several test processes may share
one server at once: each works under a path prefix of its own (for example "/t/1234-7/")
and scripts, reads and resets only that prefix.

Command line
  http_server.py serve [--state-file F] [--idle-exit SECONDS]
      Runs in the foreground. Prints "port N" on its first line once it listens.
  http_server.py start --state-file F [--log L] [--idle-exit SECONDS]
      Starts a server in the background (detached from the caller's terminal and pipes),
      waits until it listens, prints "port N" and returns. Default idle exit: 1800 s.
  http_server.py stop --state-file F
      Asks the server of that state file to end (and ends its process if it does not).
The state file holds two lines, the port and the server's process id; it is written whole
(renamed into place) once the server listens and removed when it ends. With --idle-exit the
server ends by itself after that many seconds without a request, so a run that never
reaches "stop" leaves nothing behind for long.

Texts in the control messages
  Control bodies and replies are JSON. A JSON string that stands for bytes (header names,
  header values, recorded header lines, "body") holds one character per byte (U+0000 to
  U+00FF, i.e. Latin-1). Binary data may instead go as Base64 in the "*_b64" fields.

Control endpoints (all under the reserved path /_control/; never recorded)
  GET  /_control/ping                  -> {"ok": true, "port": N}
  POST /_control/script                 body: {"path": P, "responses": [R, ...]}
      Scripts the exact path P (the request target's part before any "?"; a script for the
      whole target, query included, takes precedence). The n-th request to P gets the n-th
      response; once the list is used up, the last response is repeated. Scripting a path
      again replaces its script and starts its count from the first response again.
      R is an object; every field may be left out:
        "status": 200            status code
        "reason": "OK"           reason phrase (default: the standard one for the code)
        "headers": [[name, value], ...]   header lines in order (Set-Cookie may repeat)
        "body": "..."            body bytes as Latin-1 characters
        "body_b64": "..."        body bytes in Base64
        "text": "...", "charset": "gbk"   body as text in a charset (default utf-8)
        "repeat_to": N           the body repeated (and cut) to exactly N bytes
        "delay_ms": 0            wait before answering (ends early if the client goes away)
        "stall_at": N, "stall_ms": M   send the headers and the body's first N bytes, then
                                 wait M ms before the rest (a transfer that stalls)
        "action": "answer"       "answer"; "close": close the connection without answering
                                 (the page is down); "reset": the same with a TCP reset
      Content-Length is added unless the script gives one. A HEAD request gets the
      headers without the body.
  POST /_control/reset                  body: {"prefix": P}  (P "" = everything)
      Drops the scripts, request counts and records of every path that starts with P.
  GET  /_control/requests?prefix=P     -> {"requests": [Q, ...]} in order of arrival
      Q: {"seq": n, "method": "POST", "target": "/p?q=1", "path": "/p", "version":
          "HTTP/1.1", "headers": ["Host: 127.0.0.1:N", ...] (raw lines as received, in order),
          "body_b64": "...", "connection": c (the same number for requests that came on one
          connection), "time": seconds since the epoch}
  GET  /_control/unused_port           -> {"port": N}, a loopback port nothing listens on
                                          (a connection to it is refused)
  POST /_control/shutdown               ends the server after answering.
A request to a path without a script is recorded and answered 404 "no script".
"""

import argparse
import base64
import http
import json
import os
import select
import signal
import struct
import socket
import socketserver
import subprocess
import sys
import threading
import time
import urllib.parse

CONTROL = "/_control/"
MAX_HEAD_BYTES = 256 * 1024


def reason_for(status):
    try:
        return http.HTTPStatus(status).phrase
    except ValueError:
        return "Status"


def latin1(text):
    return text.encode("latin-1")


class Script:
    def __init__(self, responses):
        self.responses = responses or [{}]
        self.count = 0

    def next(self):
        response = self.responses[min(self.count, len(self.responses) - 1)]
        self.count += 1
        return response


class State:
    def __init__(self):
        self.lock = threading.Lock()
        self.scripts = {}
        self.records = []
        self.seq = 0
        self.connections = 0
        self.last_activity = time.monotonic()

    def touch(self):
        with self.lock:
            self.last_activity = time.monotonic()

    def new_connection(self):
        with self.lock:
            self.connections += 1
            return self.connections

    def script(self, path, responses):
        with self.lock:
            self.scripts[path] = Script(responses)

    def reset(self, prefix):
        with self.lock:
            self.scripts = {p: s for p, s in self.scripts.items() if not p.startswith(prefix)}
            self.records = [r for r in self.records if not r["path"].startswith(prefix)]

    def record(self, entry):
        with self.lock:
            self.seq += 1
            entry["seq"] = self.seq
            self.records.append(entry)

    def requests(self, prefix):
        with self.lock:
            return [r for r in self.records if r["path"].startswith(prefix)]

    def response_for(self, target, path):
        with self.lock:
            script = self.scripts.get(target) or self.scripts.get(path)
            return script.next() if script else None


class ClientGone(Exception):
    pass


class Handler(socketserver.StreamRequestHandler):
    """One connection: requests are read and answered in turn while the client keeps it."""

    def handle(self):
        state = self.server.state
        connection = state.new_connection()
        while True:
            try:
                request = self.read_request()
            except (ClientGone, ConnectionError, OSError):
                return
            if request is None:
                return
            state.touch()
            keep = self.dispatch(request, connection)
            if not keep:
                return

    # Reading ---------------------------------------------------------------------------

    def read_line(self, budget):
        line = self.rfile.readline(budget + 1)
        if not line:
            raise ClientGone()
        if len(line) > budget:
            raise ClientGone()
        return line

    def read_request(self):
        budget = MAX_HEAD_BYTES
        line = self.rfile.readline(budget)
        while line in (b"\r\n", b"\n"):  # stray empty lines between requests
            line = self.rfile.readline(budget)
        if not line:
            return None
        parts = line.rstrip(b"\r\n").split(b" ")
        if len(parts) != 3:
            return None
        method, target, version = (p.decode("latin-1") for p in parts)
        header_lines = []
        while True:
            raw = self.read_line(budget)
            budget -= len(raw)
            text = raw.rstrip(b"\r\n")
            if not text:
                break
            header_lines.append(text.decode("latin-1"))
        headers = {}
        for h in header_lines:
            name, _, value = h.partition(":")
            headers.setdefault(name.strip().lower(), value.strip())
        if headers.get("expect", "").lower() == "100-continue":
            self.wfile.write(b"HTTP/1.1 100 Continue\r\n\r\n")
        body = self.read_body(headers)
        return {
            "method": method,
            "target": target,
            "path": urllib.parse.urlsplit(target).path or target,
            "version": version,
            "headers": header_lines,
            "lower": headers,
            "body": body,
        }

    def read_exact(self, n):
        data = self.rfile.read(n)
        if len(data) != n:
            raise ClientGone()
        return data

    def read_body(self, headers):
        if "chunked" in headers.get("transfer-encoding", "").lower():
            body = b""
            while True:
                size = int(self.read_line(1024).split(b";")[0].strip() or b"0", 16)
                if size == 0:
                    while self.read_line(MAX_HEAD_BYTES).strip():
                        pass
                    return body
                body += self.read_exact(size)
                self.read_line(16)
        length = headers.get("content-length")
        return self.read_exact(int(length)) if length and length.isdigit() else b""

    # Answering -------------------------------------------------------------------------

    def dispatch(self, request, connection):
        if request["path"].startswith(CONTROL):
            return self.control(request)
        state = self.server.state
        state.record({
            "method": request["method"],
            "target": request["target"],
            "path": request["path"],
            "version": request["version"],
            "headers": request["headers"],
            "body_b64": base64.b64encode(request["body"]).decode("ascii"),
            "connection": connection,
            "time": time.time(),
        })
        response = state.response_for(request["target"], request["path"])
        if response is None:
            response = {"status": 404, "body": "no script"}
        return self.answer(request, response)

    def wait(self, delay_ms):
        """Sleeps, but gives up as soon as the client closes its side."""
        end = time.monotonic() + delay_ms / 1000.0
        while True:
            left = end - time.monotonic()
            if left <= 0:
                return
            readable, _, _ = select.select([self.connection], [], [], min(left, 0.2))
            if readable:
                try:
                    if not self.connection.recv(1, socket.MSG_PEEK):
                        raise ClientGone()
                except OSError:
                    raise ClientGone()
                time.sleep(min(left, 0.05))  # a pipelined request: keep waiting

    def answer(self, request, response):
        try:
            self.wait(int(response.get("delay_ms", 0)))
        except ClientGone:
            return False
        action = response.get("action", "answer")
        if action in ("close", "reset"):
            if action == "reset":  # no linger: closing sends a reset instead of a FIN
                self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER,
                                           struct.pack("ii", 1, 0))
                self.connection.close()
            return False
        status = int(response.get("status", 200))
        reason = response.get("reason") or reason_for(status)
        body = response_body(response)
        headers = [(n, v) for n, v in response.get("headers", [])]
        lower = {n.lower() for n, _ in headers}
        if "content-length" not in lower:
            headers.append(("Content-Length", str(len(body))))
        closing = self.wants_close(request) or "connection" in lower and any(
            n.lower() == "connection" and v.lower() == "close" for n, v in headers)
        head = "%s %d %s\r\n" % ("HTTP/1.1", status, reason)
        head += "".join("%s: %s\r\n" % (n, v) for n, v in headers)
        head = latin1(head) + b"\r\n"
        if request["method"] == "HEAD":
            body = b""
        split = int(response.get("stall_at", -1))
        pause = int(response.get("stall_ms", 0))
        try:
            if 0 <= split < len(body) and pause > 0:
                self.wfile.write(head + body[:split])
                self.wfile.flush()
                self.wait(pause)
                self.wfile.write(body[split:])
            else:
                self.wfile.write(head + body)
            self.wfile.flush()
        except (OSError, ClientGone):
            return False
        return not closing

    @staticmethod
    def wants_close(request):
        connection = request["lower"].get("connection", "").lower()
        if request["version"] == "HTTP/1.0":
            return connection != "keep-alive"
        return connection == "close"

    def reply_json(self, value, status=200):
        body = json.dumps(value).encode("ascii")
        head = "HTTP/1.1 %d %s\r\nContent-Type: application/json\r\nContent-Length: %d\r\n" \
               "Connection: close\r\n\r\n" % (status, reason_for(status), len(body))
        self.wfile.write(latin1(head) + body)
        self.wfile.flush()
        return False

    def control(self, request):
        state = self.server.state
        command = request["path"][len(CONTROL):]
        query = urllib.parse.parse_qs(urllib.parse.urlsplit(request["target"]).query)
        try:
            message = json.loads(request["body"].decode("utf-8")) if request["body"] else {}
            if command == "ping":
                return self.reply_json({"ok": True, "port": self.server.server_address[1]})
            if command == "script":
                path = message["path"]
                if path.startswith(CONTROL):
                    raise ValueError("the control path cannot be scripted")
                responses = message.get("responses") or []
                for r in responses:
                    response_body(r)  # reject a bad body now, not at the first request
                state.script(path, responses)
                return self.reply_json({"ok": True})
            if command == "reset":
                state.reset(message.get("prefix", ""))
                return self.reply_json({"ok": True})
            if command == "requests":
                prefix = query.get("prefix", [message.get("prefix", "")])[0]
                return self.reply_json({"requests": state.requests(prefix)})
            if command == "unused_port":
                return self.reply_json({"port": unused_port()})
            if command == "shutdown":
                self.reply_json({"ok": True})
                threading.Thread(target=self.server.shutdown, daemon=True).start()
                return False
            return self.reply_json({"error": "unknown command " + command}, 404)
        except (KeyError, ValueError, TypeError, LookupError) as error:
            return self.reply_json({"error": "%s: %s" % (type(error).__name__, error)}, 400)


def response_body(response):
    if "body_b64" in response:
        body = base64.b64decode(response["body_b64"], validate=True)
    elif "text" in response:
        body = response["text"].encode(response.get("charset", "utf-8"))
    else:
        body = latin1(response.get("body", ""))
    size = response.get("repeat_to")
    if size is not None:
        size = int(size)
        if size > 0 and not body:
            raise ValueError("repeat_to needs a body to repeat")
        body = (body * (size // max(len(body), 1) + 1))[:size]
    return body


def unused_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True
    request_queue_size = 64

    def __init__(self):
        super().__init__(("127.0.0.1", 0), Handler)
        self.state = State()


def write_state_file(path, port):
    temp = path + ".tmp"
    with open(temp, "w") as f:
        f.write("%d\n%d\n" % (port, os.getpid()))
    os.replace(temp, path)


def read_state_file(path):
    with open(path) as f:
        port, pid = (int(x) for x in f.read().split()[:2])
    return port, pid


def idle_watch(server, seconds):
    while True:
        time.sleep(min(seconds, 5))
        with server.state.lock:
            idle = time.monotonic() - server.state.last_activity
        if idle >= seconds:
            server.shutdown()
            return


def serve(args):
    server = Server()
    port = server.server_address[1]
    signal.signal(signal.SIGTERM, lambda *_: threading.Thread(target=server.shutdown).start())
    if args.idle_exit:
        threading.Thread(target=idle_watch, args=(server, args.idle_exit), daemon=True).start()
    if args.state_file:
        write_state_file(args.state_file, port)
    print("port %d" % port, flush=True)
    try:
        server.serve_forever(poll_interval=0.2)
    finally:
        server.server_close()
        if args.state_file:
            try:
                if read_state_file(args.state_file)[1] == os.getpid():
                    os.remove(args.state_file)
            except (OSError, ValueError):
                pass
    return 0


def start(args):
    if os.path.exists(args.state_file):
        os.remove(args.state_file)
    log = open(args.log, "ab") if args.log else subprocess.DEVNULL
    child = subprocess.Popen(
        [sys.executable, os.path.abspath(__file__), "serve", "--state-file", args.state_file,
         "--idle-exit", str(args.idle_exit)],
        stdin=subprocess.DEVNULL, stdout=log, stderr=log, start_new_session=True, close_fds=True)
    deadline = time.monotonic() + 20
    while time.monotonic() < deadline:
        if child.poll() is not None:
            print("the server ended at start (exit %d)" % child.returncode, file=sys.stderr)
            return 1
        if os.path.exists(args.state_file):
            port, _ = read_state_file(args.state_file)
            print("port %d" % port, flush=True)
            return 0
        time.sleep(0.05)
    child.kill()
    print("the server did not start within 20 s", file=sys.stderr)
    return 1


def stop(args):
    try:
        port, pid = read_state_file(args.state_file)
    except (OSError, ValueError):
        print("no server is recorded in %s" % args.state_file)
        return 0
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=5) as s:
            s.sendall(b"POST /_control/shutdown HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                      b"Content-Length: 0\r\nConnection: close\r\n\r\n")
            while s.recv(4096):
                pass
    except OSError:
        pass
    deadline = time.monotonic() + 5
    while time.monotonic() < deadline and os.path.exists(args.state_file):
        time.sleep(0.05)
    if os.path.exists(args.state_file):  # it did not answer: end the process it recorded
        try:
            os.kill(pid, signal.SIGTERM)
        except OSError:
            pass
        os.remove(args.state_file)
    print("stopped the server on port %d" % port)
    return 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("command", choices=["serve", "start", "stop"])
    parser.add_argument("--state-file")
    parser.add_argument("--log")
    parser.add_argument("--idle-exit", type=float, default=None)
    args = parser.parse_args()
    if args.command != "serve" and not args.state_file:
        parser.error("%s needs --state-file" % args.command)
    if args.idle_exit is None:
        args.idle_exit = 1800 if args.command == "start" else 0
    return {"serve": serve, "start": start, "stop": stop}[args.command](args)


if __name__ == "__main__":
    sys.exit(main())
