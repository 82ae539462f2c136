#!/usr/bin/env python3
"""Runs the declarative command-line cases against a built lanzo.

usage: run_cases.py LANZO CASES_DIR [NAME_FILTER]

Every *.cases file in CASES_DIR holds cases. A case starts with a line "=== name" and
is followed by fields, one per line, "key: value" or "key ARG: value". A value goes on
over following lines that start with "|" (the "|" and one space after it are dropped;
nothing is added between the pieces, so line breaks are written as escapes). Lines
starting with "#" are comments. Trailing blanks of a line are ignored: write \\x20.

Escapes in values (and in args): \\n \\r \\t \\0 \\\\ \\" \\xNN. Other text is UTF-8.
Placeholders in args, file paths and expectations: {home} (the case's home folder),
{url} (the scripted HTTP server), {deadurl} (a port nobody listens on).

Fields:
  args: ARGS               arguments after "lanzo --home {home}"; blanks separate them,
                           double quotes group them ("" is an empty argument)
  script: TEXT             instead of args: a sh script run in the home folder, in which
                           the command lanzo runs the program with --home {home}
  stdin: BYTES             standard input (default: empty)
  stdin-file: PATH         standard input from a file, relative to CASES_DIR
  stdin-repeat: N          standard input repeated N times
  file PATH: BYTES         a file in the home folder before the run
  file-repeat N PATH: BYTES  the same, the bytes repeated N times
  mkdir: PATH              a folder in the home folder
  home: bare               no config/ and table/ folders in the home (default: both)
  respond PATH: BYTES      the raw HTTP response the server gives for PATH
  interrupt-after: SECONDS send Ctrl+C (SIGINT) after that long
  stderr-tty: yes          standard error is a terminal (a pseudo-terminal)
  stdout-to: PATH          standard output goes to PATH (e.g. /dev/full)
  stdout-closed: yes       standard output is a pipe whose reading end is closed
  exit: N                  expected exit status (default 0)
  stdout: BYTES            expected standard output, exactly
  stdout-repeat: N         ... repeated N times
  stdout-has: TEXT         standard output contains TEXT (repeatable)
  stderr: TEXT             expected standard error, exactly
  stderr-has: TEXT         standard error contains TEXT (repeatable)
  expect-file PATH: BYTES  the file exists afterwards with these bytes
  absent-file: PATH        no such file afterwards
Without stdout/stdout-has, standard output must be empty; without stderr/stderr-has,
standard error must be empty.
"""

import os
import pty
import re
import shutil
import signal
import socket
import socketserver
import subprocess
import sys
import tempfile
import threading
import time

FIELD_RE = re.compile(r"^([a-z-]+)(?: ([^:]*))?:(?: (.*))?$")
ESCAPE_RE = re.compile(rb"\\(x[0-9A-Fa-f]{2}|.)", re.S)
SIMPLE_ESCAPES = {b"n": b"\n", b"r": b"\r", b"t": b"\t", b"0": b"\0", b"\\": b"\\", b'"': b'"'}
REPEATABLE = {"file", "file-repeat", "mkdir", "respond", "stdout-has", "stderr-has", "expect-file", "absent-file"}
KNOWN = REPEATABLE | {"args", "script", "stdin", "stdin-file", "stdin-repeat", "stdout-repeat", "home", "interrupt-after", "stderr-tty",
                      "stdout-to", "stdout-closed", "exit", "stdout", "stderr"}


class CaseError(Exception):
    pass


def unescape(raw: bytes) -> bytes:
    def repl(m):
        code = m.group(1)
        if code.startswith(b"x") and len(code) == 3:
            return bytes([int(code[1:], 16)])
        if code in SIMPLE_ESCAPES:
            return SIMPLE_ESCAPES[code]
        raise CaseError("unknown escape \\" + code.decode("utf-8", "replace"))
    return ESCAPE_RE.sub(repl, raw)


def split_args(raw: bytes) -> list:
    """Blank-separated words; double quotes group; escapes are resolved per word."""
    words, word, quoted, have_word, i = [], bytearray(), False, False, 0
    while i < len(raw):
        c = raw[i:i + 1]
        if c == b"\\" and i + 1 < len(raw):
            word += raw[i:i + 2]
            have_word = True
            i += 2
            continue
        if c == b'"':
            quoted = not quoted
            have_word = True
        elif c in (b" ", b"\t") and not quoted:
            if have_word:
                words.append(bytes(word))
            word, have_word = bytearray(), False
        else:
            word += c
            have_word = True
        i += 1
    if quoted:
        raise CaseError("unclosed double quote in args")
    if have_word:
        words.append(bytes(word))
    return [unescape(w) for w in words]


class Case:
    def __init__(self, name, origin):
        self.name = name
        self.origin = origin
        self.fields = []  # (key, arg, raw value bytes)

    def add(self, key, arg, value):
        if key not in KNOWN:
            raise CaseError(f"{self.origin}: unknown field '{key}'")
        self.fields.append([key, arg, value])

    def get(self, key, default=None):
        values = [v for k, _, v in self.fields if k == key]
        if len(values) > 1:
            raise CaseError(f"{self.origin}: field '{key}' given twice")
        return values[0] if values else default

    def all(self, key):
        return [(a, v) for k, a, v in self.fields if k == key]


def parse_file(path):
    cases = []
    current = None
    with open(path, "rb") as f:
        lines = f.read().split(b"\n")
    for number, line in enumerate(lines, 1):
        line = line.rstrip(b" \t\r")
        origin = f"{os.path.basename(path)}:{number}"
        if not line or line.startswith(b"#"):
            continue
        if line.startswith(b"=== "):
            current = Case(line[4:].decode("utf-8"), origin)
            cases.append(current)
            continue
        if current is None:
            raise CaseError(f"{origin}: text before the first case")
        if line.startswith(b"|"):
            if not current.fields:
                raise CaseError(f"{origin}: continuation without a field")
            piece = line[1:]
            current.fields[-1][2] += piece[1:] if piece.startswith(b" ") else piece
            continue
        m = FIELD_RE.match(line.decode("utf-8"))
        if not m:
            raise CaseError(f"{origin}: not a field: {line!r}")
        key, arg, value = m.group(1), m.group(2), m.group(3) or ""
        current.add(key, arg, value.encode("utf-8"))
    return cases


# ---- the scripted HTTP server ----------------------------------------------------------

ROUTES = {}


class Handler(socketserver.BaseRequestHandler):
    def handle(self):
        data = b""
        self.request.settimeout(10)
        try:
            while b"\r\n\r\n" not in data:
                chunk = self.request.recv(65536)
                if not chunk:
                    return
                data += chunk
        except OSError:
            return
        first = data.split(b"\r\n", 1)[0].split(b" ")
        path = first[1].decode("latin-1") if len(first) > 1 else "/"
        response = ROUTES.get(path, b"HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n")
        try:
            self.request.sendall(response)
        except OSError:
            pass


class Server(socketserver.ThreadingTCPServer):
    allow_reuse_address = True
    daemon_threads = True


def dead_port():
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    return port


# ---- running one case ------------------------------------------------------------------

def show(data: bytes, limit=400) -> str:
    text = repr(data)
    return text if len(text) <= limit else text[:limit] + f"... ({len(data)} bytes)"


def read_all(fd, sink):
    while True:
        try:
            chunk = os.read(fd, 65536)
        except OSError:  # EIO once the terminal's other side is closed
            break
        if not chunk:
            break
        sink.append(chunk)


def run_case(case, lanzo, cases_dir, places):
    work = tempfile.mkdtemp(prefix="lanzo-case-")
    try:
        home = os.path.join(work, "home")
        os.makedirs(home)
        places = dict(places, home=home)

        def fill(raw: bytes) -> bytes:
            for key, value in places.items():
                raw = raw.replace(b"{" + key.encode() + b"}", value.encode())
            return raw

        def in_home(arg):
            return os.path.join(home, fill(arg.encode()).decode())

        if case.get("home", b"").strip() != b"bare":
            os.makedirs(os.path.join(home, "config"))
            os.makedirs(os.path.join(home, "table"))
        for _, value in case.all("mkdir"):
            os.makedirs(in_home(value.decode()), exist_ok=True)
        for arg, value in case.all("file"):
            path = in_home(arg)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as f:
                f.write(unescape(value))
        for arg, value in case.all("file-repeat"):
            count, name = arg.split(" ", 1)
            path = in_home(name)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as f:
                f.write(unescape(value) * int(count))
        ROUTES.clear()
        for arg, value in case.all("respond"):
            ROUTES[arg] = unescape(value)

        stdin = unescape(case.get("stdin", b""))
        if case.get("stdin-file") is not None:
            with open(os.path.join(cases_dir, case.get("stdin-file").decode()), "rb") as f:
                stdin = f.read()
        stdin *= int(case.get("stdin-repeat", b"1"))

        args = split_args(fill(case.get("args", b"")))
        env = {k: v for k, v in os.environ.items()
               if k not in ("LANZO_HOME", "http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY")}
        command = [lanzo, "--home", home] + args
        if case.get("script") is not None:
            env.update(LANZO=lanzo, LANZO_CASE_HOME=home)
            command = ["sh", "-c", 'lanzo() { "$LANZO" --home "$LANZO_CASE_HOME" "$@"; }\n'
                       + unescape(fill(case.get("script"))).decode()]

        stdout_target = subprocess.PIPE
        closed_reader = None
        if case.get("stdout-to") is not None:
            stdout_target = open(case.get("stdout-to").decode(), "wb")
        elif case.get("stdout-closed", b"") == b"yes":
            closed_reader, stdout_target = os.pipe()
            os.close(closed_reader)

        tty = case.get("stderr-tty", b"") == b"yes"
        tty_chunks, tty_reader = [], None
        if tty:
            master, slave = pty.openpty()
            stderr_target = slave
        else:
            stderr_target = subprocess.PIPE

        interrupt = case.get("interrupt-after")
        stdin_target = subprocess.PIPE
        if interrupt is not None:
            # The whole input is there at once, so the job has started when Ctrl+C comes.
            stdin_path = os.path.join(work, "stdin")
            with open(stdin_path, "wb") as f:
                f.write(stdin)
            stdin_target, stdin = open(stdin_path, "rb"), None

        proc = subprocess.Popen(command, stdin=stdin_target, stdout=stdout_target, stderr=stderr_target, env=env,
                                cwd=home if case.get("script") is not None else None)
        if tty:
            os.close(slave)
            tty_reader = threading.Thread(target=read_all, args=(master, tty_chunks))
            tty_reader.start()
        if stdin_target is not subprocess.PIPE:
            stdin_target.close()
        if isinstance(stdout_target, int) and stdout_target != subprocess.PIPE:
            os.close(stdout_target)
        elif stdout_target is not subprocess.PIPE:
            stdout_target.close()

        if interrupt is not None:
            time.sleep(float(interrupt))
            proc.send_signal(signal.SIGINT)
        try:
            out, err = proc.communicate(stdin, timeout=120)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.communicate()
            return ["timed out"]
        if tty:
            tty_reader.join()
            os.close(master)
            err = b"".join(tty_chunks)
        out = out or b""
        err = err or b""

        problems = []
        want_exit = int(case.get("exit", b"0"))
        if proc.returncode != want_exit:
            problems.append(f"exit status {proc.returncode}, expected {want_exit}")
        want_out = case.get("stdout")
        has_out = case.all("stdout-has")
        if want_out is not None:
            want = unescape(fill(want_out)) * int(case.get("stdout-repeat", b"1"))
            if out != want:
                problems.append(f"stdout {show(out)}\n      expected {show(want)}")
        for _, text in has_out:
            if unescape(fill(text)) not in out:
                problems.append(f"stdout lacks {show(unescape(fill(text)))}: {show(out)}")
        if want_out is None and not has_out and out:
            problems.append(f"unexpected stdout {show(out)}")
        want_err = case.get("stderr")
        has_err = case.all("stderr-has")
        if want_err is not None and err != unescape(fill(want_err)):
            problems.append(f"stderr {show(err)}\n      expected {show(unescape(fill(want_err)))}")
        for _, text in has_err:
            if unescape(fill(text)) not in err:
                problems.append(f"stderr lacks {show(unescape(fill(text)))}: {show(err)}")
        if want_err is None and not has_err and err:
            problems.append(f"unexpected stderr {show(err)}")
        for arg, value in case.all("expect-file"):
            path = in_home(arg)
            if not os.path.isfile(path):
                problems.append(f"file {arg} missing")
                continue
            with open(path, "rb") as f:
                got = f.read()
            want = unescape(fill(value))
            if got != want:
                problems.append(f"file {arg} {show(got)}\n      expected {show(want)}")
        for _, value in case.all("absent-file"):
            if os.path.exists(in_home(value.decode())):
                problems.append(f"file {value.decode()} should not exist")
        return problems
    finally:
        shutil.rmtree(work, ignore_errors=True)


def main():
    if len(sys.argv) < 3:
        print(__doc__.split("\n\n")[1], file=sys.stderr)
        return 2
    lanzo, cases_dir = os.path.abspath(sys.argv[1]), sys.argv[2]
    name_filter = sys.argv[3] if len(sys.argv) > 3 else ""

    server = Server(("127.0.0.1", 0), Handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    places = {"url": f"http://127.0.0.1:{server.server_address[1]}", "deadurl": f"http://127.0.0.1:{dead_port()}"}

    passed = failed = 0
    for file_name in sorted(os.listdir(cases_dir)):
        if not file_name.endswith(".cases"):
            continue
        try:
            cases = parse_file(os.path.join(cases_dir, file_name))
        except CaseError as e:
            print(f"BROKEN {e}")
            failed += 1
            continue
        for case in cases:
            if name_filter and name_filter not in case.name:
                continue
            try:
                problems = run_case(case, lanzo, cases_dir, places)
            except CaseError as e:
                problems = [str(e)]
            if problems:
                failed += 1
                print(f"FAIL {case.origin} {case.name}")
                for p in problems:
                    print(f"    {p}")
            else:
                passed += 1
    server.shutdown()
    print(f"{passed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
