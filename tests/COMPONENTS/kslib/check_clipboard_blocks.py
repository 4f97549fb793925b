#!/usr/bin/env python3
"""Reads the clipboard blocks kslib_grid_impexp_test left in the working
folder (those of a copy and those of a grid of large amounts) as other
programs read them: the CSV block through python's csv module (";",
cp1251), the RTF block through unrtf and pandoc, each table cell as its
Unicode text, and the binary block through a reader of its own, written
from the format's description. Each text block ends with a zero byte,
which a reader of the clipboard stops at. The expected cells come in
*-cells.txt: a row a line, cells split by "|", each cell as its UTF-16
code units in hex; the binary values in large-bin-values.txt."""

import csv
import html.parser
import io
import struct
import subprocess
import sys
import tempfile
from pathlib import Path

failures = []


def code_units(rows):
    return "".join("|".join(" ".join("%04x" % ord(c) for c in cell) for cell in row) + "\n"
                   for row in rows)


def block(name):
    data = Path(name).read_bytes()
    if not data.endswith(b"\0"):
        failures.append(name + ": no terminating zero byte")
    return data[:-1]


class Tables(html.parser.HTMLParser):
    def __init__(self):
        super().__init__()
        self.rows = []
        self.cell = None

    def handle_starttag(self, tag, attrs):
        if tag == "tr":
            self.rows.append([])
        elif tag in ("td", "th"):
            self.cell = ""
        elif tag == "br" and self.cell is not None:
            self.cell += "\n"

    def handle_endtag(self, tag):
        if tag in ("td", "th") and self.cell is not None:
            self.rows[-1].append(" ".join(self.cell.split()))
            self.cell = None

    def handle_data(self, data):
        if self.cell is not None:
            self.cell += data


def compare(what, got, expected_file):
    expected = Path(expected_file).read_text()
    if got != expected:
        failures.append("%s read:\n%s\nexpected:\n%s" % (what, got, expected))


for name in ("clipboard", "large"):
    rows = csv.reader(io.StringIO(block(name + ".csv").decode("cp1251"), newline=""), delimiter=";")
    compare(name + ": python csv", code_units(rows), name + "-csv-cells.txt")

    with tempfile.TemporaryDirectory() as folder:
        rtf = Path(folder) / (name + ".rtf")
        rtf.write_bytes(block(name + ".rtf"))
        for reader in (["unrtf", "--html"], ["pandoc", "-f", "rtf", "-t", "html"]):
            page = subprocess.run(reader + [str(rtf)], check=True, capture_output=True).stdout
            tables = Tables()
            tables.feed(page.decode("utf-8"))
            compare(name + ": " + reader[0], code_units(tables.rows), name + "-rtf-cells.txt")

def binary_rows(data):
    """The values of the binary format, read from its description: "VCLDBIF",
    a version byte, the column count, a flag and a zero-terminated name per
    column, then tagged values row after row up to the end tag 0."""
    if data[:7] != b"VCLDBIF":
        raise ValueError("no VCLDBIF signature")
    count = struct.unpack_from("<I", data, 8)[0]
    at = 12
    for _ in range(count):
        at = data.index(b"\0", at + 1) + 1
    rows, row = [], []
    while True:
        tag = data[at]
        at += 1
        if tag == 0:
            if row:
                raise ValueError("end tag within a row")
            return rows
        if tag in (1, 2):
            value = None
        elif tag == 3:
            value = struct.unpack_from("<i", data, at)[0]
            at += 4
        elif tag == 4:
            value = struct.unpack_from("<d", data, at)[0]
            at += 8
        elif tag in (5, 6):
            length = struct.unpack_from("<I", data, at)[0]
            value = data[at + 4:at + 4 + length]
            at += 4 + length
        else:
            raise ValueError("unknown tag %d" % tag)
        row.append(value)
        if len(row) == count:
            rows.append(row)
            row = []


got = "".join("|".join("%.17g" % v for v in row) + "\n"
              for row in binary_rows(Path("large.bin").read_bytes()))
compare("large: binary reader", got, "large-bin-values.txt")

for failure in failures:
    print(failure)
sys.exit(1 if failures else 0)
