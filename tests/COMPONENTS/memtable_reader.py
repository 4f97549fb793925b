#!/usr/bin/env python3
"""An independent reader of the in-memory table's binary stream.

Written from the format's description, with its own exact decoding of the
80-bit extended values (fractions, no floating point on the way). Run with
the dump program: it writes a stream file and lists what the engine reads
back; this reader decodes the file itself and the two must agree value by
value.
"""
import subprocess
import sys
import tempfile
from fractions import Fraction
from pathlib import Path


class Reader:
    def __init__(self, data):
        self.data = data
        self.pos = 0

    def take(self, n):
        if self.pos + n > len(self.data):
            raise ValueError("stream ends early")
        chunk = self.data[self.pos:self.pos + n]
        self.pos += n
        return chunk

    def peek(self):
        return self.data[self.pos]

    def tag(self):
        return self.take(1)[0]

    def expect(self, tag):
        got = self.tag()
        if got != tag:
            raise ValueError(f"tag {got} where {tag} belongs at {self.pos - 1}")

    def integer(self):
        tag = self.tag()
        size = {2: 1, 3: 2, 4: 4}.get(tag)
        if size is None:
            raise ValueError(f"tag {tag} where an integer belongs")
        return int.from_bytes(self.take(size), "little", signed=True)

    def string(self):
        tag = self.tag()
        if tag == 6:
            n = self.take(1)[0]
        elif tag == 12:
            n = int.from_bytes(self.take(4), "little")
        else:
            raise ValueError(f"tag {tag} where a string belongs")
        return self.take(n)

    def boolean(self):
        tag = self.tag()
        if tag not in (8, 9):
            raise ValueError(f"tag {tag} where a boolean belongs")
        return tag == 9

    def extended(self):
        """The exact value of an extended number (or an integer) as a Fraction."""
        if self.peek() != 5:
            return Fraction(self.integer())
        self.tag()
        raw = self.take(10)
        mantissa = int.from_bytes(raw[:8], "little")
        sign_exponent = int.from_bytes(raw[8:], "little")
        exponent = sign_exponent & 0x7FFF
        if exponent == 0x7FFF:
            raise ValueError("infinity or NaN")
        power = (exponent if exponent else 1) - 16383 - 63
        value = Fraction(mantissa) * (Fraction(2) ** power)
        return -value if sign_exponent & 0x8000 else value

    def end_of_list(self):
        return self.peek() == 0


def round_half_even(value):
    floor = value.numerator // value.denominator
    rest = value - floor
    if rest > Fraction(1, 2) or (rest == Fraction(1, 2) and floor % 2):
        floor += 1
    return floor


INTEGERS = {"SmallInt", "Integer", "Word", "AutoInc"}
FLOATS = {"Float", "Date", "Time", "DateTime"}


def read_value(r, type_name):
    if type_name in INTEGERS:
        return str(r.integer())
    if type_name == "Boolean":
        return "1" if r.boolean() else "0"
    if type_name in FLOATS:
        return float(r.extended())  # exact value, rounded once to a double
    if type_name == "LargeInt":
        value = r.extended()
        if value.denominator != 1:
            raise ValueError("Largeint with a fraction")
        return str(value.numerator)
    if type_name in ("Currency", "BCD"):
        return str(round_half_even(r.extended() * 10000))
    return r.string().hex()


def read_stream(data):
    r = Reader(data)
    if r.take(4) != b"TPF0":
        raise ValueError("no signature")
    version = 100 if r.peek() == 1 else r.integer()
    fields = []
    r.expect(1)
    while not r.end_of_list():
        name = r.string().decode("cp1251")
        type_name = r.string().decode("ascii")
        r.integer(), r.string(), r.string(), r.integer(), r.boolean(), r.boolean()
        if version >= 250:
            r.string()
        if version >= 251:
            r.string()
        if version >= 252:
            r.boolean()
        fields.append((name, type_name))
    r.expect(0)
    if version >= 200:
        r.expect(1)
        while not r.end_of_list():
            r.string(), r.string(), r.string()
            for _ in range(4):
                r.boolean()
        r.expect(0)
    records = []
    r.expect(1)
    while not r.end_of_list():
        r.expect(1)
        versions = []
        while True:
            status = r.integer() if version >= 230 else 0
            values = {}
            for name, type_name in fields:
                null = r.boolean() if version >= 249 else False
                values[name] = None if null else read_value(r, type_name)
            versions.append((status, values))
            if version < 230 or r.end_of_list():
                break
        r.expect(0)
        records.append(versions)
    r.expect(0)
    return fields, records


def parse_listing(text):
    records = []
    for line in text.splitlines():
        if line == "R":
            records.append([])
        elif line.startswith("V "):
            records[-1].append((int(line[2:]), {}))
        else:
            name, _, value = line.partition("=")
            records[-1][-1][1][name] = None if value == "null" else value
    return records


def same(mine, theirs, type_name):
    if mine is None or theirs is None:
        return mine is None and theirs is None
    if type_name in FLOATS:
        return mine == float(theirs)
    return mine == theirs


def main():
    dump = sys.argv[1]
    with tempfile.TemporaryDirectory() as folder:
        path = Path(folder) / "table.bin"
        listing = subprocess.run([dump, str(path)], check=True, capture_output=True, text=True,
                                 encoding="cp1251").stdout
        fields, records = read_stream(path.read_bytes())
    expected = parse_listing(listing)
    types = dict(fields)
    problems = []
    if len(records) != len(expected):
        problems.append(f"{len(records)} records read, the engine has {len(expected)}")
    compared = 0
    for n, (mine, theirs) in enumerate(zip(records, expected)):
        if len(mine) != len(theirs):
            problems.append(f"record {n}: {len(mine)} versions, the engine has {len(theirs)}")
            continue
        for v, ((status, values), (their_status, their_values)) in enumerate(zip(mine, theirs)):
            if status != their_status:
                problems.append(f"record {n} version {v}: status {status} vs {their_status}")
            for name, value in values.items():
                compared += 1
                if not same(value, their_values.get(name), types[name]):
                    problems.append(f"record {n} version {v} {name}: {value!r} vs {their_values.get(name)!r}")
    for problem in problems:
        print(problem)
    print(f"{compared} values compared, {len(problems)} differences")
    return 1 if problems or compared == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
