"""Independent side of the archive tests, with python's zipfile.

list ARCHIVE [PASSWORD] [ENCODING]
    Tests every member and prints "name<TAB>size<TAB>crc32" per member (UTF-8).
make ARCHIVE NAME=TEXT...
    Writes a deflated archive of the members, each TEXT 100 times; python
    flags non-ASCII names as UTF-8.
zip64 ARCHIVE NAME=TEXT...
    The same with the members forced into Zip64 records.
rich ARCHIVE NAME=TEXT...
    The same with an archive comment and, on every member, a comment, an
    extra block of its own and Unix attributes.
many ARCHIVE COUNT NAME=TEXT...
    Stored members, then empty ones up to COUNT members in all.
"""
import struct
import sys
import zipfile
import zlib


def list_archive(path, password=None, encoding=None):
    kwargs = {"metadata_encoding": encoding} if encoding else {}
    with zipfile.ZipFile(path, **kwargs) as archive:
        if password:
            archive.setpassword(password.encode())
        bad = archive.testzip()
        if bad is not None:
            print("BAD", bad)
            return 1
        for info in archive.infolist():
            data = archive.read(info)
            line = f"{info.filename}\t{len(data)}\t{zlib.crc32(data):08x}\n"
            sys.stdout.buffer.write(line.encode("utf-8"))
    return 0


def make(path, members, force_zip64):
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as archive:
        for member in members:
            name, text = member.split("=", 1)
            with archive.open(name, "w", force_zip64=force_zip64) as out:
                out.write(text.encode() * 100)
    return 0


def rich(path, members):
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as archive:
        archive.comment = b"archive comment"
        for member in members:
            name, text = member.split("=", 1)
            info = zipfile.ZipInfo(name, date_time=(2024, 5, 17, 10, 20, 30))
            info.compress_type = zipfile.ZIP_DEFLATED
            info.comment = ("note on " + name).encode()
            info.extra = struct.pack("<HH4s", 0xCAFE, 4, b"kept")
            info.external_attr = 0o100640 << 16
            archive.writestr(info, text.encode() * 100)
    return 0


def many(path, count, members):
    with zipfile.ZipFile(path, "w", zipfile.ZIP_STORED) as archive:
        for member in members:
            name, text = member.split("=", 1)
            archive.writestr(name, text.encode() * 100)
        for i in range(count - len(members)):
            archive.writestr(f"f{i:05}", b"")
    return 0


def main(args):
    if args[0] == "list":
        return list_archive(args[1], *(a or None for a in args[2:]))
    if args[0] in ("make", "zip64"):
        return make(args[1], args[2:], args[0] == "zip64")
    if args[0] == "rich":
        return rich(args[1], args[2:])
    if args[0] == "many":
        return many(args[1], int(args[2]), args[3:])
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
