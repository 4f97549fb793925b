#!/usr/bin/env python3
"""Reads back what service_grid_print_test printed: the application's header
and title on the page, portrait for a narrow grid, turned for a wide one."""

import sys
import tempfile
from pathlib import Path

from check_printed_grid import check, failures, info, run, to_pdf


def main():
    with tempfile.TemporaryDirectory() as folder:
        folder = Path(folder)
        for name, turned in (("service", False), ("service-wide", True)):
            pdf = to_pdf(name, folder)
            text = run("pdftotext", str(pdf), "-")
            check("Склад" in text, "%s: no header" % name)
            check("Остатки" in text, "%s: no title" % name)
            rotation = info(pdf).get("Page rot", "").strip()
            check((rotation == "90") == turned, "%s: page rotation %s" % (name, rotation))
    for failure in failures:
        print("FAIL:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
