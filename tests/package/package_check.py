#!/usr/bin/env python3
"""The Windows zip unpacks to a program that starts under Wine with its blank database.

  package_check.py --zip derov-V-win64.zip --version V --wine cmake/wine-run

Unpacks the zip into a fresh folder with a Chinese name, checks what it holds, starts the
unpacked derov.exe there, waits for its main window, reads the version from the window's
title, closes the window and expects the program to end with 0. Needs an X display and
Wine (scripts/test.sh provides both).
"""

import argparse
import os
import re
import shutil
import sqlite3
import subprocess
import sys
import tempfile
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import x_window  # noqa: E402

EXPECTED = {"derov.exe", "derov.sdb", "使用说明.txt"}


def fail(message):
    print(f"FAIL: {message}")
    sys.exit(1)


def check_contents(archive, version):
    names = {entry.filename for entry in archive.infolist()}
    if names != EXPECTED:
        fail(f"the zip holds {sorted(names)}, expected {sorted(EXPECTED)}")
    note = archive.read("使用说明.txt")
    if not note.startswith(b"\xef\xbb\xbf"):
        fail("使用说明.txt has no UTF-8 byte order mark")
    text = note[3:].decode("utf-8")
    if re.search(r"(?<!\r)\n", text) or re.search(r"\r(?!\n)", text):
        fail("使用说明.txt has line ends other than CR LF")
    if version not in text:
        fail(f"使用说明.txt does not name version {version}")


def check_blank_database(path):
    connection = sqlite3.connect(f"file:{path}?mode=ro", uri=True)
    try:
        rows = connection.execute("select count(*) from rule").fetchone()[0]
    finally:
        connection.close()
    if rows != 0:
        fail(f"derov.sdb holds {rows} rules, expected a blank database")


def start_and_close(wine, folder, version):
    program = subprocess.Popen([wine, "derov.exe"], cwd=folder, stdin=subprocess.DEVNULL,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        window = x_window.find_window(program.pid, ".", timeout=30)
        if window is None:
            fail("no window of derov.exe appeared within 30 s")
        title = x_window.title(window)
        if not re.search(rf"\bv{re.escape(version)}(?![\w.])", title):
            fail(f"the window's title '{title}' does not carry version {version}")
        if not x_window.close(window):
            fail("could not ask the window to close")
        code = program.wait(timeout=30)
        if code != 0:
            fail(f"derov.exe ended with {code} after its window was closed")
        print(f"ok: '{title}' started from the zip and closed")
    finally:
        if program.poll() is None:
            program.kill()
            program.wait()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--zip", required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--wine", required=True, help="the script that runs a Windows program")
    args = parser.parse_args()
    if not os.environ.get("DISPLAY"):
        fail("no X display: run the Windows tests through scripts/test.sh")

    top = tempfile.mkdtemp(prefix="derov-package-")
    try:
        folder = os.path.join(top, "监控程序")
        with zipfile.ZipFile(args.zip, metadata_encoding="gbk") as archive:
            check_contents(archive, args.version)
            archive.extractall(folder)
        check_blank_database(os.path.join(folder, "derov.sdb"))
        start_and_close(os.path.abspath(args.wine), folder, args.version)
        check_blank_database(os.path.join(folder, "derov.sdb"))
    finally:
        shutil.rmtree(top, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
