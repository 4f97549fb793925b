#!/usr/bin/env bash
# Compression benchmark of the archive library against Info-ZIP zip, python's
# zipfile and raw zlib, on a fixed corpus of about 50 MB of mixed text and
# binary data, at levels 1, 6 and 9. Prints MB/s and ratio side by side.
#   tools/zip-bench.sh [build dir, default build/bench-native]
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${1:-$ROOT/build/bench-native}"
WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT

cmake --preset native -B "$BUILD" >/dev/null
cmake --build "$BUILD" --target zip_bench >/dev/null

# The corpus: the same bytes on every run (fixed seeds).
python3 - "$WORK/corpus" <<'EOF'
import os, random, struct, sys
out = sys.argv[1]
os.makedirs(out)
rnd = random.Random(20240102)
words = ("архив запрос сертификат ключ подпись токен реквизиты организация "
         "archive member deflate request certificate token signature owner "
         "INN OGRN SNILS address street city region code value field record").split()

def text(name, size, line):
    with open(os.path.join(out, name), "wb") as f:
        n = 0
        while n < size:
            s = line().encode("cp1251")
            f.write(s)
            n += len(s)

def words_line():
    return " ".join(rnd.choice(words) for _ in range(rnd.randint(5, 14))) + "\r\n"

def log_line():
    return "%04d-%02d-%02d %02d:%02d:%02d.%03d [%s] %s id=%d\r\n" % (
        2024, rnd.randint(1, 12), rnd.randint(1, 28), rnd.randint(0, 23), rnd.randint(0, 59),
        rnd.randint(0, 59), rnd.randint(0, 999), rnd.choice(["INFO", "WARN", "ERROR"]),
        words_line().strip(), rnd.randint(1, 10**9))

def csv_line():
    return ";".join([str(rnd.randint(1, 10**6)), rnd.choice(words), "%.2f" % rnd.uniform(0, 1e5),
                     "%010d" % rnd.randint(0, 10**10 - 1)]) + "\r\n"

def xml_line():
    return '<field name="%s" value="%s" id="%d"/>\r\n' % (
        rnd.choice(words), rnd.choice(words), rnd.randint(1, 99999))

for i in range(4):
    text("prose%d.txt" % i, 3 << 20, words_line)
    text("log%d.txt" % i, 3 << 20, log_line)
text("table.csv", 6 << 20, csv_line)
text("form.xml", 5 << 20, xml_line)

def binary(name, size, chunk):
    with open(os.path.join(out, name), "wb") as f:
        n = 0
        while n < size:
            b = chunk()
            f.write(b)
            n += len(b)

counter = [0]
def records():  # structured records with slowly changing fields
    counter[0] += rnd.randint(1, 3)
    return struct.pack("<IIdH6s", counter[0], rnd.randint(0, 255), rnd.random(), 7, b"ABCDEF")

def image():  # a smooth gray ramp with noise, like a scanned page
    y = rnd.randint(0, 4095)
    return bytes((x // 16 + y // 16 + rnd.randint(0, 3)) & 0xFF for x in range(4096))

binary("records.bin", 6 << 20, records)
binary("scan.raw", 6 << 20, image)
binary("random.bin", 3 << 20, lambda: rnd.randbytes(65536))
EOF

"$BUILD/bin/zip_bench" "$WORK/corpus" "$WORK"
