#!/usr/bin/env python3
"""Copies a C++ source so that clang compiles its narrow literals to GBK bytes.

g++ is told -fexec-charset=GBK; clang only knows UTF-8 as execution character set. This
rewrites every non-ASCII character of an ordinary string literal ("...", no prefix) as octal
escapes of its GBK bytes, converted by glibc's iconv as g++ converts them. Octal escapes end
after three digits, so a following letter or digit never joins them, and a GBK second byte
of 0x5C never reads as a backslash. Prefixed literals (L, u, U, u8) keep their UTF-8, as
under g++. Comments and identifiers are copied unchanged. Lines stay where they are, and a
#line directive names the original file, so diagnostics and stack traces point at it.

A narrow raw string or character literal holding non-ASCII characters cannot be spelt this
way; the script then fails rather than let clang produce other bytes than g++.

Usage: gbk_literals.py INPUT OUTPUT
"""

import subprocess
import sys

PREFIXES = {"L", "u", "U", "u8"}
RAW_PREFIXES = {"R", "LR", "uR", "UR", "u8R"}


class TranscodeError(Exception):
    pass


def is_ident_char(c):
    return c.isalnum() or c == "_" or ord(c) >= 0x80


def to_gbk(runs):
    """GBK bytes of each run of non-ASCII characters, converted in one call to iconv."""
    if not runs:
        return []
    joined = "\n".join(runs).encode("utf-8")
    done = subprocess.run(["iconv", "-f", "UTF-8", "-t", "GBK"], input=joined,
                          capture_output=True)
    if done.returncode != 0:
        raise TranscodeError("a literal holds characters GBK cannot encode: "
                             + done.stderr.decode(errors="replace").strip())
    # A line feed is never part of a two-byte GBK character (second bytes are 0x40 or more).
    pieces = done.stdout.split(b"\n")
    assert len(pieces) == len(runs)
    return pieces


class Transcoder:
    def __init__(self, text, name):
        self.text = text
        self.name = name
        self.i = 0
        self.out = []  # strings, or ("run", index) placeholders for non-ASCII runs
        self.runs = []

    def fail(self, what):
        line = self.text.count("\n", 0, self.i) + 1
        raise TranscodeError(f"{self.name}:{line}: {what}")

    def copy_until(self, end):
        self.out.append(self.text[self.i:end])
        self.i = end

    def skip_comment(self):
        if self.text.startswith("//", self.i):
            end = self.i
            while True:
                end = self.text.find("\n", end)
                if end == -1:
                    end = len(self.text)
                    break
                if self.text[end - 1] != "\\":  # a spliced line continues the comment
                    break
                end += 1
            self.copy_until(end)
        else:
            end = self.text.find("*/", self.i + 2)
            if end == -1:
                self.fail("unterminated comment")
            self.copy_until(end + 2)

    def quoted_end(self, quote):
        """Index behind the literal whose opening quote is at self.i."""
        j = self.i + 1
        while j < len(self.text):
            c = self.text[j]
            if c == "\\":
                j += 2
                continue
            if c == quote:
                return j + 1
            if c == "\n":
                break
            j += 1
        self.fail("unterminated literal")

    def raw_end(self):
        open_paren = self.text.find("(", self.i)
        delimiter = self.text[self.i + 1:open_paren]
        close = self.text.find(")" + delimiter + '"', open_paren)
        if open_paren == -1 or close == -1:
            self.fail("unterminated raw string literal")
        return close + len(delimiter) + 2

    def narrow_string(self):
        end = self.quoted_end('"')
        j = self.i
        while j < end:
            if self.text[j] == "\\":
                self.out.append(self.text[j:j + 2])
                j += 2
            elif ord(self.text[j]) < 0x80:
                self.out.append(self.text[j])
                j += 1
            else:
                run_end = j
                while run_end < end and ord(self.text[run_end]) >= 0x80:
                    run_end += 1
                self.out.append(("run", len(self.runs)))
                self.runs.append(self.text[j:run_end])
                j = run_end
        self.i = end

    def literal_after(self, prefix):
        quote = self.text[self.i]
        if prefix in RAW_PREFIXES and quote == '"':
            end = self.raw_end()
            if prefix == "R" and any(ord(c) >= 0x80 for c in self.text[self.i:end]):
                self.fail("a narrow raw string literal with non-ASCII characters")
            self.copy_until(end)
        elif prefix in PREFIXES:
            self.copy_until(self.quoted_end(quote))
        else:
            self.fail("unexpected literal prefix " + prefix)

    def char_literal(self):
        end = self.quoted_end("'")
        if any(ord(c) >= 0x80 for c in self.text[self.i:end]):
            self.fail("a narrow character literal with non-ASCII characters")
        self.copy_until(end)

    def pp_number(self):
        j = self.i + 1
        while j < len(self.text):
            c = self.text[j]
            if c.isalnum() or c in "_.":
                j += 1
            elif c in "+-" and self.text[j - 1] in "eEpP":
                j += 1
            elif c == "'" and j + 1 < len(self.text) and self.text[j + 1].isalnum():
                j += 2  # a digit separator
            else:
                break
        self.copy_until(j)

    def run(self):
        text = self.text
        while self.i < len(text):
            c = text[self.i]
            if text.startswith("//", self.i) or text.startswith("/*", self.i):
                self.skip_comment()
            elif c == '"':
                self.narrow_string()
            elif c == "'":
                self.char_literal()
            elif c.isdigit() or (c == "." and text[self.i + 1:self.i + 2].isdigit()):
                self.pp_number()
            elif is_ident_char(c):
                j = self.i
                while j < len(text) and is_ident_char(text[j]):
                    j += 1
                word = text[self.i:j]
                self.copy_until(j)
                if j < len(text) and text[j] in "\"'" and (word in PREFIXES or word in RAW_PREFIXES):
                    self.literal_after(word)
            else:
                self.copy_until(self.i + 1)
        encoded = to_gbk(self.runs)
        parts = []
        for piece in self.out:
            if isinstance(piece, tuple):
                parts.append("".join(f"\\{b:03o}" for b in encoded[piece[1]]))
            else:
                parts.append(piece)
        return "".join(parts)


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    source, target = sys.argv[1], sys.argv[2]
    with open(source, encoding="utf-8") as f:
        text = f.read()
    try:
        body = Transcoder(text, source).run()
    except TranscodeError as error:
        sys.exit(f"gbk_literals: {error}")
    quoted = source.replace("\\", "\\\\").replace('"', '\\"')
    result = f'#line 1 "{quoted}"\n' + body
    try:
        with open(target, encoding="utf-8") as f:
            if f.read() == result:
                return  # unchanged: keep the time stamp, and so the objects built from it
    except FileNotFoundError:
        pass
    with open(target, "w", encoding="utf-8") as f:
        f.write(result)


if __name__ == "__main__":
    main()
