#!/usr/bin/env python3
"""Writes derov's Windows zip: derov.exe, a blank derov.sdb and the usage note.

  make_package.py --version V --exe derov.exe --schema data/schema.sql
                  --note packaging/使用说明.txt --output derov-V-win64.zip

The note's source is UTF-8 with LF line ends and "@VERSION@" where the version goes; in the
zip it is UTF-8 with a byte order mark and CR LF line ends, as Notepad on an older Windows
wants it. Entry names are stored in code page 936 (what Explorer's zip folder reads on a
Chinese Windows) with their UTF-8 form in an Info-ZIP Unicode Path field (what 7-Zip,
WinRAR and unzip read first). All entries carry the program's time stamp.
"""

import argparse
import os
import sqlite3
import struct
import sys
import tempfile
import time
import zipfile
import zlib


class Gbk936Entry(zipfile.ZipInfo):
    """An entry whose name goes into the zip as GBK bytes, without the UTF-8 flag."""

    def _encodeFilenameFlags(self):  # zipfile's hook for the stored name
        return self.filename.encode("gbk"), self.flag_bits & ~0x800


def unicode_path_field(name):
    stored = name.encode("gbk")
    utf8 = name.encode("utf-8")
    if stored == utf8:
        return b""
    data = struct.pack("<BI", 1, zlib.crc32(stored)) + utf8
    return struct.pack("<HH", 0x7075, len(data)) + data


def blank_database(schema_path):
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "derov.sdb")
        connection = sqlite3.connect(path)
        with open(schema_path, encoding="utf-8") as schema:
            connection.executescript(schema.read())
        connection.commit()
        connection.close()
        with open(path, "rb") as made:
            return made.read()


def usage_note(note_path, version):
    with open(note_path, encoding="utf-8") as note:
        text = note.read().replace("@VERSION@", version)
    text = text.replace("\r\n", "\n").replace("\n", "\r\n")
    return text.encode("utf-8-sig")


def add(archive, name, data, stamp):
    entry = Gbk936Entry(name, date_time=stamp)
    entry.compress_type = zipfile.ZIP_DEFLATED
    entry.external_attr = 0o644 << 16
    entry.extra = unicode_path_field(name)
    archive.writestr(entry, data)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--version", required=True)
    parser.add_argument("--exe", required=True)
    parser.add_argument("--schema", required=True)
    parser.add_argument("--note", required=True)
    parser.add_argument("--output", required=True)
    args = parser.parse_args()

    with open(args.exe, "rb") as exe:
        program = exe.read()
    stamp = time.localtime(os.stat(args.exe).st_mtime)[:6]
    files = [
        ("derov.exe", program),
        ("derov.sdb", blank_database(args.schema)),
        ("使用说明.txt", usage_note(args.note, args.version)),
    ]
    # Written beside the target and renamed into place: never a half-written zip.
    folder = os.path.dirname(os.path.abspath(args.output))
    os.makedirs(folder, exist_ok=True)
    handle, partial = tempfile.mkstemp(dir=folder, suffix=".part")
    try:
        with os.fdopen(handle, "wb") as raw, zipfile.ZipFile(raw, "w") as archive:
            for name, data in files:
                add(archive, name, data, stamp)
        os.replace(partial, args.output)
    except BaseException:
        os.unlink(partial)
        raise
    print(f"package: {args.output} ({os.path.getsize(args.output)} bytes)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
