#!/usr/bin/env python3
"""derov.exe under Wine, timed from outside; prints figures and asserts nothing.

  wine_bench.py startup [--runs 7]
      Launch to the main window being visible (blank database, and 99 rules), beside two
      programs of Wine's own: notepad to its window and "cmd /c exit" to its end.
  wine_bench.py threads [--count 99]
      The resident size of a trivial Windows program with no threads and with 99 sleeping
      threads (with and without COM): what a thread costs under Wine.
  wine_bench.py calls [--rules 3] [--seconds 10]
      The same rules under a wineserver that logs every call: derov.exe's calls to the
      wineserver per cycle, by name, for the UI thread and for the other threads.
  wine_bench.py churn [--threads 99] [--seconds 60] [--like-derov]
      The minute's fetches without derov: 99 threads using Wine's request object as the
      workers do (bench/winhttp_churn.c); fetches done and failed, and any crash.
  wine_bench.py minute [--rules 99] [--seconds 60] [--page-kb 20] [--profile FILE]
      Idle-page rules (period 1 s, each its own page on the scripted local server, pages
      that never change) monitored for a minute: cycles done against cycles due, CPU time
      of derov.exe, of the wineserver and of Wine's other processes, peak memory.

Run it through scripts/perf.sh, which builds derov.exe and provides the Wine session (an X
display and a persistent wineserver for the project's prefix).
"""

import argparse
import base64
import collections
import json
import math
import os
import re
import shutil
import signal
import sqlite3
import statistics
import subprocess
import sys
import time
import urllib.request

TOP = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(TOP, "tests", "support"))
import x_window  # noqa: E402

EXE = os.path.join(TOP, "build", "windows", "derov.exe")
WINE_RUN = os.path.join(TOP, "cmake", "wine-run")
SERVER = os.path.join(TOP, "tests", "support", "http_server.py")
SCHEMA = os.path.join(TOP, "data", "schema.sql")
WORK = os.path.join(TOP, "build", "perf")
TICK = os.sysconf("SC_CLK_TCK")

# The centre of the start/stop button 按钮1 in the main window's client area (the button is
# placed at 611,35 with size 157x31).
START_STOP = (689, 50)
KEYWORD = "价格"
BEFORE = '<div id="main">'
AFTER = "</div><!--end-->"


# --- /proc ------------------------------------------------------------------------------

def cpu_seconds(pid, task=None):
    """utime + stime of a process (or of one of its threads), in seconds; 0 once gone. A
    process's figure includes the threads that have ended."""
    path = f"/proc/{pid}/task/{task}/stat" if task else f"/proc/{pid}/stat"
    try:
        with open(path) as f:
            fields = f.read().rsplit(")", 1)[1].split()
    except OSError:
        return 0.0
    return (int(fields[11]) + int(fields[12])) / TICK  # fields 14 and 15 of stat


def thread_times(pid):
    """{thread id: (name, CPU seconds)} of the process's live threads."""
    found = {}
    try:
        tasks = os.listdir(f"/proc/{pid}/task")
    except OSError:
        return found
    for task in tasks:
        try:
            with open(f"/proc/{pid}/task/{task}/comm") as f:
                name = f.read().strip()
        except OSError:
            continue
        found[int(task)] = (name, cpu_seconds(pid, task))
    return found


def split_by_thread(pid, before, after, total):
    """derov.exe's CPU over the window by kind of thread: the UI thread, Wine's thread pool,
    the threads started in the window and still alive at its end (the workers), Wine's other
    threads, and what is left: threads that came and went in between (Wine's thread pool,
    which runs the request object's work, grows while many requests run and shrinks when
    idle)."""
    parts = {"UI thread": 0.0, "workers": 0.0, "Wine thread pool": 0.0, "other": 0.0}
    for task, (name, seconds) in after.items():
        used = seconds - before.get(task, (name, 0.0))[1]
        if task == pid:
            parts["UI thread"] += used
        elif name == "wine_threadpool":
            parts["Wine thread pool"] += used
        elif task not in before:
            parts["workers"] += used
        else:
            parts["other"] += used
    parts["threads that came and went"] = total - sum(parts.values())
    return parts


def status_field(pid, name):
    try:
        with open(f"/proc/{pid}/status") as f:
            for line in f:
                if line.startswith(name + ":"):
                    return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return ""


def wine_processes(prefix):
    """{pid: name} of Wine's processes in this prefix: the Windows programs and the
    wineserver; the session's X server (started with the same environment) as well."""
    found = {}
    wanted = ("WINEPREFIX=" + prefix).encode()
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/environ", "rb") as f:
                if wanted not in f.read().split(b"\0"):
                    continue
            with open(f"/proc/{entry}/comm") as f:
                name = f.read().strip()
        except OSError:
            continue
        if name.endswith(".exe") or name.startswith(("wineserver", "Xvfb")):
            found[int(entry)] = name
    return found


def machine_busy():
    """(busy, total) jiffies of all CPUs together."""
    with open("/proc/stat") as f:
        values = [int(v) for v in f.readline().split()[1:]]
    idle = values[3] + values[4]
    return sum(values) - idle, sum(values)


def kilobytes(field):
    return int(field.split()[0]) if field else 0


def load_average():
    with open("/proc/loadavg") as f:
        return " ".join(f.read().split()[:3])


def busiest_processes(count=6):
    out = subprocess.run(["ps", "-eo", "pcpu,comm", "--sort=-pcpu"], capture_output=True,
                         text=True).stdout.splitlines()[1:count + 1]
    return ", ".join(" ".join(line.split()) for line in out)


# --- the program and its folder ---------------------------------------------------------

def gbk(text):
    return text.encode("gbk")


def make_folder(name, rules=(), ini=None):
    folder = os.path.join(WORK, name)
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    shutil.copy2(EXE, folder)
    connection = sqlite3.connect(os.path.join(folder, "derov.sdb"))
    with open(SCHEMA, encoding="utf-8") as schema:
        connection.executescript(schema.read())
    columns = ("id,name,url,isgbk,head,ispost,postdata,plv,isjiequ,before,after,type,saverule,"
               "val_old,isrep,ctime,isend,isopen")
    for rule in rules:
        # Texts go in as GBK bytes cast to TEXT, as the program stores them.
        values = [gbk(v) if isinstance(v, str) else v for v in rule]
        marks = ",".join("cast(? as text)" if isinstance(v, bytes) else "?" for v in values)
        connection.execute(f"insert into rule({columns}) values({marks})", values)
    connection.commit()
    connection.close()
    if ini:
        with open(os.path.join(folder, "derov.ini"), "wb") as f:
            f.write(gbk("[配置]\r\n" + "".join(f"{k}={v}\r\n" for k, v in ini.items())))
    return folder


def idle_rule(number, url, watched_count):
    """A repeating keyword rule (code 23, count changed) over the marked part of its page,
    starting from the count the page holds, so that it never fires."""
    return (number, f"空闲页{number:02d}", url, 0, "", 0, "", 1, 1, BEFORE, AFTER, 2,
            f"23{{[{KEYWORD}]}}", str(watched_count), 1, "24/12/11  09:00", 0, 1)


def idle_page(kilobytes):
    """A UTF-8 shop page of about that size whose marked part holds the keyword."""
    rows = []
    size = 0
    n = 0
    while size < kilobytes * 1024 - 200:
        row = (f"<tr>\t<td class=\"name\">精选商品 {n}</td>\t"
               f"<td>{KEYWORD}：{n % 997}.{n % 10}元</td>\t<td>Price {n % 89} USD</td></tr>\r\n")
        rows.append(row)
        size += len(row.encode("utf-8"))
        n += 1
    page = ("<html><head><meta charset=\"utf-8\"><title>商品列表</title></head>\r\n<body>"
            + BEFORE + "\r\n" + "".join(rows) + AFTER + "</body></html>\r\n")
    return page, "".join(rows).count(KEYWORD)


class Program:
    """derov.exe (or another Windows program) started under Wine in a folder."""

    def __init__(self, folder, command=("derov.exe",), log=None):
        """log: a file for the program's output (Wine's messages, a crash report)."""
        output = open(log, "w") if log else subprocess.DEVNULL
        self.started = time.monotonic()
        self.process = subprocess.Popen([WINE_RUN, *command], cwd=folder,
                                        stdin=subprocess.DEVNULL, stdout=output, stderr=output)
        if log:
            output.close()
        self.pid = self.process.pid
        self.window = None

    def wait_for_window(self, timeout=60):
        self.window = x_window.find_window(self.pid, ".", timeout=timeout, poll=0.01)
        if self.window is None:
            raise RuntimeError(f"no window of {self.process.args[1]} within {timeout} s")
        return time.monotonic() - self.started

    def close(self):
        if self.window is not None and self.process.poll() is None:
            x_window.close(self.window)
        try:
            return self.process.wait(timeout=30)
        except subprocess.TimeoutExpired:
            self.process.kill()
            return self.process.wait()


# --- the scripted server ----------------------------------------------------------------

class TestServer:
    def __init__(self):
        os.makedirs(WORK, exist_ok=True)
        self.state = os.path.join(WORK, "server.state")
        out = subprocess.run([sys.executable, SERVER, "start", "--state-file", self.state,
                              "--log", os.path.join(WORK, "server.log"), "--idle-exit", "900"],
                             capture_output=True, text=True, check=True).stdout
        self.port = int(out.split()[1])
        with open(self.state) as f:
            self.pid = int(f.read().split()[1])
        self.base = f"http://127.0.0.1:{self.port}"

    def call(self, path, body=None):
        data = None if body is None else json.dumps(body).encode()
        with urllib.request.urlopen(self.base + path, data=data, timeout=60) as reply:
            return json.loads(reply.read())

    def script(self, path, response):
        self.call("/_control/script", {"path": path, "responses": [response]})

    def requests(self, prefix):
        return self.call(f"/_control/requests?prefix={prefix}")["requests"]

    def stop(self):
        subprocess.run([sys.executable, SERVER, "stop", "--state-file", self.state],
                       capture_output=True)


# --- start-up ---------------------------------------------------------------------------

def startup(args):
    blank = make_folder("startup-blank")
    page_rules = [idle_rule(n, f"http://127.0.0.1:9/idle/{n:02d}", 0) for n in range(1, 100)]
    full = make_folder("startup-99", page_rules)
    cases = [
        ("derov.exe, blank database: launch to main window", blank, ("derov.exe",), True),
        ("derov.exe, 99 rules: launch to main window", full, ("derov.exe",), True),
        ("Wine's notepad: launch to its window", blank, ("notepad",), True),
        ("Wine's cmd /c exit: launch to process end", blank, ("cmd", "/c", "exit"), False),
    ]
    times = {label: [] for label, *_ in cases}
    memory = {label: [] for label, *_ in cases}
    print(f"load before: {load_average()}; busiest: {busiest_processes()}")
    for _ in range(args.runs):
        for label, folder, command, has_window in cases:  # interleaved, so drift hits all
            program = Program(folder, command)
            if has_window:
                times[label].append(program.wait_for_window())
                time.sleep(0.5)
                memory[label].append(kilobytes(status_field(program.pid, "VmHWM")))
                program.close()
            else:
                program.process.wait(timeout=60)
                times[label].append(time.monotonic() - program.started)
            time.sleep(0.5)
    print(f"load after: {load_average()}")
    print(f"{'':52s} {'median':>8s} {'min':>8s} {'max':>8s}   ({args.runs} runs, seconds)")
    for label, values in times.items():
        print(f"{label:52s} {statistics.median(values):8.3f} {min(values):8.3f} "
              f"{max(values):8.3f}")
    print("peak memory (VmHWM) half a second after the window appeared, median:")
    for label, values in memory.items():
        if values:
            print(f"  {label.split(':')[0]:50s} {statistics.median(values) / 1024:6.1f} MB")


# --- what a thread costs under Wine ------------------------------------------------------

def threads(args):
    source = os.path.join(TOP, "bench", "idle_threads.c")
    exe = os.path.join(WORK, "idle_threads.exe")
    os.makedirs(WORK, exist_ok=True)
    subprocess.run(["x86_64-w64-mingw32-gcc", "-O2", "-o", exe, source, "-lole32"], check=True)
    print(f"{'idle_threads.exe':28s} {'threads':>8s} {'VmRSS kB':>10s}")
    sizes = {}
    for count, kind in [(0, ""), (args.count, ""), (args.count, "com")]:
        process = subprocess.Popen([WINE_RUN, exe, str(count), kind], cwd=WORK,
                                   stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                   stderr=subprocess.DEVNULL, text=True)
        try:
            process.stdout.readline()  # "ready"
            time.sleep(1)
            sizes[(count, kind)] = kilobytes(status_field(process.pid, "VmRSS"))
            print(f"  {count:3d} sleeping threads {kind:6s} {status_field(process.pid, 'Threads'):>8s} "
                  f"{sizes[(count, kind)]:10d}")
        finally:
            process.kill()
            process.wait()
    for kind in ("", "com"):
        each = (sizes[(args.count, kind)] - sizes[(0, "")]) / args.count
        print(f"resident size per sleeping thread{' with COM' if kind else ''}: {each:.0f} kB")


# --- Wine's request object alone, under the same load -------------------------------------

def churn(args):
    """The fetches of the minute without derov: bench/winhttp_churn.c's threads use Wine's
    request object as derov's workers do. Shows whether failed fetches and crashes come
    with the request object itself."""
    exe = os.path.join(WORK, "winhttp_churn.exe")
    os.makedirs(WORK, exist_ok=True)
    subprocess.run(["x86_64-w64-mingw32-gcc", "-O2", "-municode", "-o", exe,
                    os.path.join(TOP, "bench", "winhttp_churn.c"), "-lole32", "-loleaut32", "-luuid"],
                   check=True)
    server = TestServer()
    log = os.path.join(WORK, "churn.log")
    try:
        page, _ = idle_page(args.page_kb)
        response = {"headers": [["Content-Type", "text/html; charset=utf-8"]], "text": page}
        for n in range(1, args.threads + 1):
            server.script(f"/idle/{n:02d}", response)
        print(f"{args.threads} threads, one fetch a second each, {args.seconds:.0f} s"
              f"{', as derov makes its requests' if args.like_derov else ''}; "
              f"load before: {load_average()}")
        # Output to files, not pipes: Wine's background services inherit the program's
        # output and would hold a pipe open after the program has ended.
        with open(log, "w") as out, open(log + ".out", "w") as result:
            process = subprocess.Popen(
                [WINE_RUN, exe, f"{server.base}/idle/", str(args.threads), str(int(args.seconds)),
                 "derov" if args.like_derov else "plain"],
                cwd=WORK, stdin=subprocess.DEVNULL, stdout=result, stderr=out)
        try:
            process.wait(timeout=args.seconds + 60)
            with open(log + ".out") as result:
                print(result.read().strip())
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
            print("the program did not end: stopped (see below)")
        print(f"requests the server recorded: {len(server.requests('/idle/'))}")
        with open(log, errors="replace") as f:
            for line in f:
                if "Unhandled" in line:
                    print(f"crash: {line.strip()} (Wine's report: {log})")
    finally:
        server.stop()


# --- wineserver calls per cycle -----------------------------------------------------------

def calls(args):
    """Runs a few idle-page rules under a wineserver that logs every call (wineserver -d1)
    and counts derov.exe's calls per cycle by name, for the UI thread and the rest. It
    replaces the prefix's wineserver for the while: nothing else may use the prefix."""
    log = os.path.join(WORK, "calls-wineserver.log")
    os.makedirs(WORK, exist_ok=True)
    quiet = {"stdin": subprocess.DEVNULL, "stdout": subprocess.DEVNULL,
             "stderr": subprocess.DEVNULL}
    subprocess.run(["wineserver", "-k"], **quiet)
    subprocess.run(["wineserver", "-w"], **quiet)
    with open(log, "w") as out:
        traced = subprocess.Popen(["wineserver", "-f", "-d1"], stdin=subprocess.DEVNULL,
                                  stdout=out, stderr=out)
    server = TestServer()
    try:
        subprocess.run([WINE_RUN, "wineboot"], **quiet)
        page, count = idle_page(args.page_kb)
        response = {"headers": [["Content-Type", "text/html; charset=utf-8"]], "text": page}
        rules = []
        for n in range(1, args.rules + 1):
            server.script(f"/idle/{n:02d}", response)
            rules.append(idle_rule(n, f"{server.base}/idle/{n:02d}", count))
        program = Program(make_folder("calls", rules))
        program.wait_for_window()
        time.sleep(2)
        x_window.click(program.window, *START_STOP)
        time.sleep(1)  # past the start
        begin, first = os.path.getsize(log), len(server.requests("/idle/"))
        time.sleep(args.seconds)
        end, last = os.path.getsize(log), len(server.requests("/idle/"))
        x_window.click(program.window, *START_STOP)
        program.close()
    finally:
        server.stop()
        subprocess.run(["wineserver", "-k"], **quiet)
        traced.wait()
        subprocess.run(["wineserver", "-p"], **quiet)  # the session's server again
        subprocess.run([WINE_RUN, "wineboot"], **quiet)
    count_calls(log, program.pid, begin, end, last - first)


def count_calls(log, pid, begin, end, cycles):
    """Counts the calls that derov.exe's threads made between the two offsets of the log."""
    ui_thread, threads, asked = None, set(), set()
    by_name = {"UI thread": collections.Counter(), "other threads": collections.Counter()}
    offset = 0
    with open(log, "rb") as f:
        for raw in f:
            at, offset = offset, offset + len(raw)
            line = raw.decode("latin-1")
            found = re.match(r"([0-9a-f]{4}): (\w+)\((.*)", line)
            if not found:
                continue
            thread, name, rest = found.groups()
            if name == "init_first_thread" and f"unix_pid={pid}," in rest:
                ui_thread = thread
                threads.add(thread)
            elif name == "new_thread" and thread in threads:
                if rest.startswith(") = 0"):
                    if thread in asked:
                        threads.add(re.search(r"tid=([0-9a-f]+)", rest).group(1))
                        asked.discard(thread)
                elif "process=ffffffff" in rest:
                    asked.add(thread)
            if begin <= at < end and thread in threads and not rest.startswith(") ="):
                by_name["UI thread" if thread == ui_thread else "other threads"][name] += 1
    total = sum(sum(c.values()) for c in by_name.values())
    print(f"{cycles} cycles; wineserver calls of derov.exe: {total} ({total / cycles:.0f} a cycle)")
    for kind, counter in by_name.items():
        calls_here = sum(counter.values())
        top = ", ".join(f"{name} {n / cycles:.1f}" for name, n in counter.most_common(10))
        print(f"  {kind}: {calls_here / cycles:.0f} a cycle; most: {top}")


# --- one minute of idle-page rules --------------------------------------------------------

def minute(args):
    server = TestServer()
    try:
        run_minute(args, server)
    finally:
        server.stop()


def run_minute(args, server):
    page, count = idle_page(args.page_kb)
    response = {"headers": [["Content-Type", "text/html; charset=utf-8"]], "text": page}
    rules = []
    for n in range(1, args.rules + 1):
        server.script(f"/idle/{n:02d}", response)
        rules.append(idle_rule(n, f"{server.base}/idle/{n:02d}", count))
    server.script("/probe", response)
    # A rule that fires posts a push notice to the same server, where it shows.
    ini = {"弹窗提醒": "0", "微信提醒": "1-bench", "推送地址": f"{server.base}/push/"}
    folder = make_folder("minute", rules, ini)
    prefix = os.environ.get("WINEPREFIX", os.path.join(TOP, "build", "wineprefix"))

    log = os.path.join(WORK, "minute-derov.log")
    program = Program(folder, log=log)
    program.wait_for_window()
    time.sleep(2)  # the rule list is loaded and painted
    others = {pid: name for pid, name in wine_processes(prefix).items() if pid != program.pid}
    idle_before = cpu_seconds(program.pid)
    time.sleep(5)
    idle = cpu_seconds(program.pid) - idle_before
    print(f"page: {len(page.encode('utf-8'))} bytes UTF-8, keyword {KEYWORD} {count} times "
          f"in the marked part; {args.rules} rules, period 1 s")
    print(f"load before: {load_average()}; busiest: {busiest_processes()}")

    profiler = None
    if args.profile:
        # Samples of derov.exe and the wineserver over the minute, CPU clock based, with
        # call chains: `perf report -i FILE --sort comm,dso` shows where the time goes.
        servers = [pid for pid, name in others.items() if name.startswith("wineserver")]
        profiler = subprocess.Popen(
            ["perf", "record", "-q", "-e", "cpu-clock", "-F", "499", "-g", "-o", args.profile,
             "-p", ",".join(str(pid) for pid in [program.pid, *servers])],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)
        time.sleep(1)
    before = {pid: cpu_seconds(pid) for pid in [program.pid, server.pid, *others]}
    threads_before = thread_times(program.pid)
    machine_before = machine_busy()
    wall_start = time.time()
    idle_resident = status_field(program.pid, "VmRSS")
    x_window.click(program.window, *START_STOP)
    clicked = time.monotonic()
    while not server.requests("/idle/") and time.monotonic() - clicked < 10:
        time.sleep(0.1)
    if not server.requests("/idle/"):
        raise RuntimeError("no fetch within 10 s of the click on 开始监控")

    # Every quarter second: the process's size and threads; every 2 s: one fetch of the
    # same page by a client of our own, for the fetch time.
    fetches, samples, progress = [], [], []
    stalled = None
    next_fetch = clicked
    while (elapsed := time.monotonic() - clicked) < args.seconds:
        samples.append((elapsed, kilobytes(status_field(program.pid, "VmRSS")),
                        int(status_field(program.pid, "Threads") or 0)))
        if time.monotonic() >= next_fetch:
            next_fetch += 2.0
            started = time.monotonic()
            with urllib.request.urlopen(server.base + "/probe", timeout=10) as reply:
                reply.read()
            fetches.append(time.monotonic() - started)
            progress.append((time.monotonic(), len(server.requests("/idle/01"))))
            if not stalled and stopped_fetching(progress):
                stalled = elapsed
                print(f"stall: rule 1 has fetched nothing for 6 s ({elapsed:.0f} s after the "
                      f"click); backtraces: {dump_backtraces(program.pid)}", flush=True)
        time.sleep(max(0.0, min(0.25, args.seconds - (time.monotonic() - clicked))))

    after = {pid: cpu_seconds(pid) for pid in before}
    threads_after = thread_times(program.pid)
    machine_after = machine_busy()
    wall_end = time.time()
    x_window.click(program.window, *START_STOP)
    if profiler:
        profiler.send_signal(signal.SIGINT)
        profiler.wait()
    peak = status_field(program.pid, "VmHWM")
    resident = status_field(program.pid, "VmRSS")
    window = wall_end - wall_start
    time.sleep(3)  # a fetch in flight at the stop still arrives
    records = server.requests("/idle/")
    pushes = server.requests("/push/")
    late = [r for r in records if r["time"] > wall_end]
    with open(os.path.join(WORK, "minute-requests.json"), "w") as f:
        json.dump({"start": wall_start, "end": wall_end, "requests": records, "pushes": pushes,
                   "samples": samples}, f)
    code = program.close()
    print(f"load after: {load_average()}; derov.exe ended with {code}")
    with open(log, errors="replace") as f:
        crashes = [line.strip() for line in f if "Unhandled" in line]
    for line in crashes:
        print(f"crash in derov.exe: {line} (Wine's report: {log})")

    report_cycles(records, wall_start, wall_end, window, fetches, args.rules, late)
    print(f"push notices (a rule fired): {len(pushes)}")
    for push in pushes[:3]:
        print("  " + base64.b64decode(push["body_b64"]).decode("utf-8", "replace"))
    used = {pid: after[pid] - before[pid] for pid in before}
    top = max(samples, key=lambda sample: sample[1])
    print(f"threads in derov.exe while monitoring: up to {max(t for *_, t in samples)}, "
          f"{samples[-1][2]} at the end")
    print(f"CPU of derov.exe with its rules listed, monitoring off: {idle:.2f} s in 5 s")
    print(f"CPU over {window:.1f} s (utime+stime from /proc, seconds; % of one core):")
    rows = [("derov.exe", used[program.pid])]
    rows += [(others[pid], used[pid]) for pid in others if used[pid] > 0.005]
    rows.append(("test server (python)", used[server.pid]))
    for name, seconds in rows:
        print(f"  {name:28s} {seconds:7.2f} s  {100 * seconds / window:6.1f} %")
    wine_total = used[program.pid] + sum(used[pid] for pid in others if others[pid] != "Xvfb")
    print(f"  {'derov.exe + Wine, no X':28s} {wine_total:7.2f} s  {100 * wine_total / window:6.1f} %")
    parts = split_by_thread(program.pid, threads_before, threads_after, used[program.pid])
    print("  derov.exe by thread: " + ", ".join(f"{k} {v:.2f} s" for k, v in parts.items()))
    busy = (machine_after[0] - machine_before[0]) / max(1, machine_after[1] - machine_before[1])
    print(f"  machine, all {os.cpu_count()} cores busy: {100 * busy:.1f} % (of all cores)")
    marks = [m for m in (2, 5, 10, 20, 30, 40, 50, 59) if m < window]
    path = [min(samples, key=lambda sample: abs(sample[0] - m)) for m in marks]
    print("resident size of derov.exe over the minute (MB, threads): " + ", ".join(
        f"{at:.0f} s {kb / 1024:.0f} ({n})" for at, kb, n in path))
    print(f"memory of derov.exe: peak (VmHWM) {peak}; resident (VmRSS) {idle_resident} with "
          f"monitoring off, {top[1]} kB at most {top[0]:.1f} s after the click (sampled every "
          f"0.25 s), {resident} at the stop")


def stopped_fetching(progress):
    """Whether the (time, fetches of rule 1) samples show no fetch in the last 6 s."""
    recent = [count for at, count in progress if at >= progress[-1][0] - 6.0]
    return progress[-1][0] - progress[0][0] >= 6.0 and len(set(recent)) == 1 and \
        len([at for at, _ in progress if at >= progress[-1][0] - 6.0]) >= 3


def dump_backtraces(pid):
    """Every thread's call stack of the Wine process with that Unix pid, by winedbg, into
    a file; returns its name."""
    out = subprocess.run(["winedbg", "--command", "info proc"], capture_output=True,
                         text=True, timeout=120).stdout
    windows_pid = None
    for line in out.splitlines():
        fields = line.replace("=", " ").split()
        if len(fields) >= 3 and fields[2].strip("'") == "derov.exe":
            windows_pid = fields[0]
    path = os.path.join(WORK, f"stall-{pid}.txt")
    if windows_pid:
        commands = f"attach 0x{windows_pid}\nbt all\ndetach\nquit\n"
        result = subprocess.run(["winedbg"], input=commands, capture_output=True, text=True,
                                timeout=600)
        with open(path, "w") as f:
            f.write(result.stdout + result.stderr)
    return path if windows_pid else "derov.exe not found by winedbg"


def report_cycles(records, wall_start, wall_end, window, fetches, rules, late):
    times = {n: [] for n in range(1, rules + 1)}
    for record in records:
        if wall_start <= record["time"] <= wall_end:
            times[int(record["path"].rsplit("/", 1)[1])].append(record["time"])
    done = {n: len(t) for n, t in times.items()}
    intervals = []
    for t in times.values():
        t.sort()
        intervals += [b - a for a, b in zip(t, t[1:])]
    fetch = statistics.median(fetches)
    due = 1 + math.floor(window / (1.0 + fetch))
    first = [t[0] - wall_start for t in times.values() if t]
    print(f"window: {window:.2f} s from the click on 开始监控 to the click on 停止监控")
    print(f"fetch time of the page (python client, new connection, median of {len(fetches)}): "
          f"{1000 * fetch:.1f} ms")
    print(f"cycles due per rule: 1 + floor({window:.2f} / (1 s + {1000 * fetch:.1f} ms)) = {due}")
    values = sorted(done.values())
    print(f"cycles done per rule (requests the server recorded in the window): min {values[0]}, "
          f"median {statistics.median(values):g}, max {values[-1]}; all rules {sum(values)} "
          f"of {due * rules} due ({sum(values) - due * rules:+d})")
    if first:
        print(f"first fetch after the click: {1000 * min(first):.0f} to {1000 * max(first):.0f} ms")
    if intervals:
        intervals.sort()
        p95 = intervals[min(len(intervals) - 1, int(0.95 * len(intervals)))]
        print(f"time between a rule's fetches: median {1000 * statistics.median(intervals):.1f} ms, "
              f"mean {1000 * statistics.fmean(intervals):.1f} ms, p95 {1000 * p95:.1f} ms, "
              f"max {1000 * intervals[-1]:.1f} ms")
    print(f"fetches that arrived after the stop click was sent: {len(late)}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    commands = parser.add_subparsers(dest="command", required=True)
    one = commands.add_parser("startup")
    one.add_argument("--runs", type=int, default=7)
    two = commands.add_parser("minute")
    two.add_argument("--rules", type=int, default=99)
    two.add_argument("--seconds", type=float, default=60)
    two.add_argument("--page-kb", type=int, default=20)
    two.add_argument("--profile", metavar="FILE", help="perf record derov.exe and the "
                     "wineserver over the minute into FILE")
    four = commands.add_parser("calls")
    four.add_argument("--rules", type=int, default=3)
    four.add_argument("--seconds", type=float, default=10)
    four.add_argument("--page-kb", type=int, default=20)
    five = commands.add_parser("churn")
    five.add_argument("--threads", type=int, default=99)
    five.add_argument("--seconds", type=float, default=60)
    five.add_argument("--page-kb", type=int, default=20)
    five.add_argument("--like-derov", action="store_true", help="also set time-outs, the "
                      "certificate option and header lines and read the response headers")
    three = commands.add_parser("threads")
    three.add_argument("--count", type=int, default=99)
    args = parser.parse_args()
    if not os.path.exists(EXE):
        sys.exit(f"no {EXE}: build the windows preset first (scripts/perf.sh does)")
    if not os.environ.get("DISPLAY"):
        sys.exit("no X display: run it through scripts/perf.sh")
    {"startup": startup, "minute": minute, "threads": threads, "calls": calls,
     "churn": churn}[args.command](args)
    return 0


if __name__ == "__main__":
    sys.exit(main())
