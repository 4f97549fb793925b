#!/usr/bin/env python3
"""Time of one request generation (key pair + PKCS#10 request) through Morvel
on the token emulator, beside `openssl req -new -newkey gost2012_256` on the
same machine. Medians of several runs.

    benchmarks/morvel_request.py [native build dir] [runs]

The build dir (default build/native) must hold bin/Morvel.so and the
emulator beside it. The token state and journal go to a temporary folder.
"""
import ctypes
import os
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def morvel_runs(library, runs):
    morvel = ctypes.CDLL(library)
    gen = morvel.GenCertRequestsEKU
    gen.restype = ctypes.c_int32
    gen.argtypes = [ctypes.c_char_p] * 4 + [
        ctypes.POINTER(ctypes.c_char_p), ctypes.c_int32,
        ctypes.POINTER(ctypes.c_void_p), ctypes.POINTER(ctypes.c_int32)]
    morvel.FreeBuffMemory.argtypes = [ctypes.c_void_p]
    subject = [b"CN", b"x", b"C", b"RU", b"1.2.643.3.131.1.1", b"007707083893"]
    dn = (ctypes.c_char_p * len(subject))(*subject)
    times = []
    for _ in range(runs):
        request, length = ctypes.c_void_p(), ctypes.c_int32()
        start = time.perf_counter()
        rc = gen(b"40715382", b"bench", b"bench", b"", dn, len(subject),
                 ctypes.byref(request), ctypes.byref(length))
        times.append(time.perf_counter() - start)
        if rc != 1:
            sys.exit(f"GenCertRequestsEKU returned {rc}")
        morvel.FreeBuffMemory(request)
    return times


def openssl_runs(runs):
    command = ["openssl", "req", "-new", "-newkey", "gost2012_256", "-pkeyopt",
               "paramset:A", "-engine", "gost", "-subj", "/CN=x", "-nodes",
               "-keyout", "/dev/null", "-out", "/dev/null"]
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        subprocess.run(command, check=True, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        times.append(time.perf_counter() - start)
    return times


def report(name, times):
    ms = [t * 1000 for t in times]
    print(f"{name:44} median {statistics.median(ms):8.1f} ms"
          f"  (min {min(ms):.1f}, max {max(ms):.1f}, {len(ms)} runs)")


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build", "native")
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 15
    with tempfile.TemporaryDirectory() as folder:
        # Read by the emulator when Morvel loads it.
        os.environ["TVEMU_STATE"] = os.path.join(folder, "token.state")
        os.environ.pop("TVEMU_JOURNAL", None)
        os.environ.pop("TVEMU_CONFIG", None)
        morvel = os.path.join(build, "bin", "Morvel.so")
        report("Morvel + emulator (key pair + request)", morvel_runs(morvel, runs))
        # The same with the module held loaded: what loading and starting
        # the module (and its crypto library) costs on every call.
        ctypes.CDLL(os.path.join(build, "bin", "tvPKCS11.so"))
        report("  the same, module held loaded", morvel_runs(morvel, runs))
    report("openssl req -new -newkey gost2012_256", openssl_runs(runs))


if __name__ == "__main__":
    main()
