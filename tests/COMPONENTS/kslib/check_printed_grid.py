#!/usr/bin/env python3
"""Reads back the documents kslib_print_grid_test printed (print-*.ps in the
working folder) through ghostscript and poppler, as a reader of the paper
would: page count, headers and footers on every page, every row once in
order, the totals, column positions, fitting, orientation and colours."""

import re
import subprocess
import sys
import tempfile
from pathlib import Path

ROWS = 120
# The fixture's screen widths of the columns, 96 dpi, printed at 600 dpi.
SCREEN_WIDTHS = [60, 150, 80, 80, 50]
POINTS_PER_PIXEL = 72 / 600

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


def run(*args):
    return subprocess.run(args, check=True, capture_output=True, text=True).stdout


def to_pdf(name, folder):
    pdf = folder / (name + ".pdf")
    run("ps2pdf", "print-%s.ps" % name, str(pdf))
    return pdf


def pages_of(pdf):
    """Each page as a list of (x_min, y_min, x_max, y_max, word)."""
    html = run("pdftotext", "-bbox", str(pdf), "-")
    pages = []
    for page in re.split(r"<page ", html)[1:]:
        words = re.findall(
            r'<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>',
            page)
        pages.append([(float(a), float(b), float(c), float(d), w) for a, b, c, d, w in words])
    return pages


def info(pdf):
    text = run("pdfinfo", str(pdf))
    return dict(line.split(":", 1) for line in text.splitlines() if ":" in line)


def row_numbers(page):
    """Numbers after "Строка", top to bottom."""
    found = []
    for i, (_, y, _, _, word) in enumerate(page):
        if word == "Строка" and i + 1 < len(page):
            found.append((y, int(page[i + 1][4])))
    return [n for _, n in sorted(found)]


def first(page, word):
    return next((w for w in page if w[4] == word), None)


def check_document(name, pdf):
    pages = pages_of(pdf)
    count = int(info(pdf)["Pages"])
    check(len(pages) == count, "%s: %d pages read of %d" % (name, len(pages), count))
    rows = []
    for number, page in enumerate(pages, 1):
        words = [w[4] for w in page]
        text = " ".join(words)
        check("Отчёт о ценах" in text, "%s page %d: no header" % (name, number))
        check("Страница %d из %d" % (number, count) in text,
              "%s page %d: no footer with the page count %d" % (name, number, count))
        check("Остатки на складе" in text, "%s page %d: no title text" % (name, number))
        check("Наименование" in words, "%s page %d: no column titles" % (name, number))
        rows += row_numbers(page)
    check(rows == list(range(1, ROWS + 1)), "%s: rows not each once in order: %s" % (name, rows))
    last = pages[-1]
    last_row = max((w[1] for i, w in enumerate(last)
                    if w[4] == "Строка" and last[i + 1][4] == str(ROWS)), default=None)
    totals = [w[4] for w in sorted(last, key=lambda w: w[0])
              if last_row is not None and last_row + 1 < w[1] and w[4] not in ("Страница", "из")]
    check(totals[:3] == ["120", "10890", "72600"], "%s: totals %s" % (name, totals))
    return pages


def title_lefts(page):
    return [first(page, word)[0] for word in ("Num", "Наименование", "Amount", "Qty", "Done")]


def row_pitch(page):
    ys = sorted(y for _, y, _, _, w in page if w == "Строка")
    return (ys[-1] - ys[0]) / (len(ys) - 1)


def pixel_rows(pdf, dpi):
    """Page 1 as rows of (r, g, b)."""
    with tempfile.TemporaryDirectory() as folder:
        stem = Path(folder) / "page"
        run("pdftoppm", "-r", str(dpi), "-f", "1", "-l", "1", str(pdf), str(stem))
        data = next(Path(folder).glob("page*.ppm")).read_bytes()
    header = re.match(rb"P6\s+(\d+)\s+(\d+)\s+255\s", data)
    width, height = int(header.group(1)), int(header.group(2))
    body = data[header.end():]
    return [[tuple(body[(y * width + x) * 3:(y * width + x) * 3 + 3]) for x in range(width)]
            for y in range(height)]


def colour_in_name_cell(pdf, pages, dpi=72):
    """The colour of the first row's name cell, between its text and the
    next column, on page 1."""
    page = pages[0]
    word = next(w for w in page if w[4] == "Строка")
    amount = first(page, "Amount")
    image = pixel_rows(pdf, dpi)
    return image[int((word[1] + word[3]) / 2)][int((word[2] + 20 + amount[0]) / 2)]


def grid_line_at_left(pdf, pages, dpi=150):
    """Whether the grid's left edge is drawn beside the first row."""
    page = pages[0]
    word = next(w for w in page if w[4] == "Строка")
    left = first(page, "Num")[0] - 12 * POINTS_PER_PIXEL
    image = pixel_rows(pdf, dpi)
    y, x = int((word[1] + word[3]) / 2 * dpi / 72), int(left * dpi / 72)
    return min(sum(image[y][i]) for i in range(x - 3, x + 4)) < 3 * 128


def check_rich_text(pdf):
    """Bold Cyrillic before the grid over more than a page, the substituted
    line after the totals, the page count in every footer."""
    count = int(info(pdf)["Pages"])
    text = run("pdftotext", "-layout", str(pdf), "-")
    pages = text.split("\f")[:count]
    for number, page in enumerate(pages, 1):
        check("Страница %d из %d" % (number, count) in page, "rich page %d: no footer" % number)
    lines = [line.strip() for line in text.splitlines()]
    intro = [i for i, line in enumerate(lines) if line.startswith("Вступление абзац")]
    check([lines[i] for i in intro] == ["Вступление абзац %d" % n for n in range(1, 71)],
          "rich: the text before the grid is not whole")
    first_row = next(i for i, line in enumerate(lines) if re.search(r"\bСтрока 1\b", line))
    signature = [i for i, line in enumerate(lines) if line == "Подпись: ООО [клиент] Ромашка"]
    check(intro and intro[-1] < first_row, "rich: the text before the grid is not before it")
    check(len(signature) == 1 and signature[0] > first_row, "rich: no substituted text after the grid")
    check("-Bold" in run("pdffonts", str(pdf)), "rich: no bold text")
    check("Вступление абзац 1" not in pages[-1] and "Вступление абзац 70" not in pages[0],
          "rich: the text before the grid takes one page")


def check_rich_table(pdf):
    """A table row before the grid: the first cell (text from the margin to
    1800 - 108 twips) wraps its words over lines in order, the second cell
    (from 1800 + 108) beside its first line, the next paragraph below both."""
    page = pages_of(pdf)[0]
    first_word, neighbour, after = first(page, "Длинный"), first(page, "Соседняя"), first(page, "Под")
    if not (first_word and neighbour and after):
        check(False, "table: a cell or the text after it is missing")
        return
    left = first_word[0]
    cell = [w for w in page if first_word[1] - 1 < w[1] < after[1] - 1 and w[0] < neighbour[0]]
    lines = sorted({round(w[1]) for w in cell})
    text = " ".join(w[4] for w in sorted(cell, key=lambda w: (round(w[1]), w[0])))
    check(text == "Длинный текст в узкой ячейке переносится по словам" and len(lines) >= 3,
          "table: the cell reads %r on %d lines" % (text, len(lines)))
    check(max(w[2] for w in cell) <= left + (1800 - 108) / 20 + 0.5,
          "table: the cell's text passes its edge")
    check(abs(neighbour[0] - left - (1800 + 108) / 20) < 1 and abs(neighbour[1] - first_word[1]) < 1,
          "table: the second cell is not beside the first's first line")
    check(after[1] > max(w[3] for w in cell) and abs(after[0] - left) < 1,
          "table: the paragraph after the row is not below it")

    # The row taller than a page: its words once each, in order, over pages.
    pages = pages_of(pdf)
    words, end = [], None
    for number, words_on_page in enumerate(pages):
        for w in sorted(words_on_page, key=lambda w: (round(w[1]), w[0])):
            if re.fullmatch(r"с\d+", w[4]):
                words.append(int(w[4][1:]))
            elif w[4] == "Конец" and end is None:
                end = (number, len(words))
    check(words == list(range(1, 401)), "table: the tall row's words are not each once in order")
    check(end is not None and end[1] == 400 and end[0] > 0,
          "table: the text after the tall row is missing or not after it")


def check_multi_level_titles(pdf):
    """Two page groups: "Товар" centred over its three columns on the first
    group's pages, above their own captions; nothing of it on the second's.
    The leaves' captions are centred in their cells, which gives the cells."""
    pages = pages_of(pdf)
    left = 472 * POINTS_PER_PIXEL  # the margin
    centre = lambda word: (word[0] + word[2]) / 2
    first_group = [page for page in pages if first(page, "Номер")]
    second_group = [page for page in pages if first(page, "Сумма")]
    check(len(first_group) == len(second_group) == len(pages) / 2, "multi: not two page groups")
    if not first_group or not second_group:
        return
    number = 2 * (centre(first(first_group[0], "Номер")) - left)
    name = 2 * (centre(first(first_group[0], "Наименование")) - left - number)
    amount = 2 * (centre(first(second_group[0], "Сумма")) - left)
    expected = left + (number + name + amount) / 2
    for page in first_group:
        goods = first(page, "Товар")
        check(goods is not None and abs(centre(goods) - expected) < 2,
              "multi: the group caption is not centred over its columns")
        check(goods is not None and goods[3] <= first(page, "Наименование")[1],
              "multi: the group caption is not above its columns")
    for page in second_group:
        check(first(page, "Товар") is None, "multi: the second group shows the cut caption")
    rows = []
    for page in first_group:
        rows += row_numbers(page)
    check(rows == list(range(1, ROWS + 1)), "multi: rows not each once in order")


def images_in_number_column(pdf, pages, dpi=150):
    """The rows of page 1 whose number cell shows blue left of the number."""
    page = pages[0]
    image = pixel_rows(pdf, dpi)
    left = first(page, "Num")[0]
    found = set()
    for i, (x0, y0, x1, y1, word) in enumerate(page):
        if word != "Строка":
            continue
        number = page[i - 1]  # the number column's text comes first
        y = int((y0 + y1) / 2 * dpi / 72)
        row = image[y][int(left * dpi / 72) + 1:int(number[0] * dpi / 72) - 1]
        if any(b > 200 and r < 80 and g < 80 for r, g, b in row):
            found.add(int(page[i + 1][4]))
    return found


def number_text(value):
    """A float as the grid prints it: 15 significant digits, a comma."""
    return ("%.15g" % value).replace(".", ",")


def check_wide_amounts(pdf):
    """Each amount, and the amounts' total, either whole or "#" across the
    cell: a number cut to another one fails."""
    wide = [987654321098.25 * n for n in (1, 2, 3)]
    amounts = wide + [n * 1.5 for n in range(4, ROWS + 1)]
    text = run("pdftotext", "-layout", str(pdf), "-")
    shown = {int(m.group(1)): m.group(2)
             for m in re.finditer(r"^\s*(\d+) Строка \1\s+(\S+)\s+\d+\s*$", text, re.M)}
    check(sorted(shown) == list(range(1, ROWS + 1)), "wide: rows %s" % sorted(shown))
    for row, amount in enumerate(amounts, 1):
        printed = shown.get(row, "")
        check(printed == number_text(amount) or (printed and set(printed) == {"#"}),
              "wide: row %d shows %s for %s" % (row, printed, number_text(amount)))
    total = re.search(r"^\s*%d\s+(\S+)\s+72600\s*$" % ROWS, text, re.M)
    printed = total.group(1) if total else ""
    check(printed == number_text(sum(amounts)) or (printed and set(printed) == {"#"}),
          "wide: the total shows %s for %s" % (printed, number_text(sum(amounts))))
    check(any(set(shown.get(row, "")) == {"#"} for row in (1, 2, 3)),
          "wide: no amount is too wide for its cell")


def main():
    with tempfile.TemporaryDirectory() as folder:
        folder = Path(folder)
        docs = {name: to_pdf(name, folder) for name in ("grid", "plain", "fitted", "landscape")}
        pages = {name: check_document(name, pdf) for name, pdf in docs.items()}

        # Columns stand where the screen widths put them at 600 dpi.
        lefts = title_lefts(pages["plain"][0])
        for i in range(len(SCREEN_WIDTHS) - 1):
            expected = round((SCREEN_WIDTHS[i] + 1) * 6.25) * POINTS_PER_PIXEL
            check(abs(lefts[i + 1] - lefts[i] - expected) < 0.5,
                  "column %d is %.2f pt wide, not %.2f" % (i, lefts[i + 1] - lefts[i], expected))

        # Twice as wide, fitted: the whole drawing shrinks by one factor.
        fitted = title_lefts(pages["fitted"][0])
        scale = (fitted[-1] - fitted[0]) / (2 * (lefts[-1] - lefts[0]))
        pitch_ratio = row_pitch(pages["fitted"][0]) / row_pitch(pages["plain"][0])
        check(scale < 1 and abs(pitch_ratio - scale) < 0.02,
              "fitted grid: widths scaled by %.3f, rows by %.3f" % (scale, pitch_ratio))
        check(max(w[2] for w in pages["fitted"][0]) < 595 - 56,
              "fitted grid reaches past the right margin")

        check_rich_text(to_pdf("rich", folder))

        check_multi_level_titles(to_pdf("multi", folder))

        check_rich_table(to_pdf("table", folder))

        # Substitutes inside table cells: each cell printed with its
        # replacement, beside the cell before it.
        substituted = run("pdftotext", "-layout", str(to_pdf("table-substituted", folder)), "-")
        rows = [line.split() for line in substituted.splitlines()]
        for row in (["Счёт", "для", "ООО", "Ромашка"], ["Покупатель", "ООО", "Ромашка"],
                    ["Адрес", "г.", "Тверь"]):
            check(row in rows, "table-substituted: no line %r" % " ".join(row))

        # Right to left: the columns from the right edge leftwards, the same
        # widths, every row once.
        rtl = pages_of(to_pdf("rtl", folder))
        rtl_lefts = title_lefts(rtl[0])
        check(rtl_lefts == sorted(rtl_lefts, reverse=True), "rtl: columns not right to left")
        # The printable area starts 150 pixels into the sheet.
        right_edge = (4658 - (472 - 150) + 150) * POINTS_PER_PIXEL
        name_right = right_edge - round(61 * 6.25) * POINTS_PER_PIXEL
        check(abs(first(rtl[0], "Наименование")[0] - (name_right - round(151 * 6.25) * POINTS_PER_PIXEL) - 12 * POINTS_PER_PIXEL) < 0.5,
              "rtl: the name column is not next to the number column at the right edge")
        rtl_rows = []
        for page in rtl:
            rtl_rows += row_numbers(page)
        check(rtl_rows == list(range(1, ROWS + 1)), "rtl: rows not each once in order")

        # A rich line taller than any page ends the text: no page more.
        check(int(info(to_pdf("tall", folder))["Pages"]) == 3, "tall: pages added for an unprintable line")

        # A selected rectangle: its columns and rows, totals of its rows.
        rect = pages_of(to_pdf("rect", folder))
        words = [w[4] for w in rect[0]]
        check(len(rect) == 1 and row_numbers(rect[0]) == [5, 6, 7, 8, 9],
              "rect: not rows 5 to 9 on one page")
        check("Наименование" in words and "Qty" in words and "Amount" not in words
              and "Num" not in words, "rect: not the rectangle's visible columns")
        check("350" in words and words.index("350") > words.index("Строка"),
              "rect: no total of the rectangle's rows")

        # Hidden duplicates: the repeated name once a page, on its first row.
        for number, page in enumerate(pages_of(to_pdf("duplicates", folder)), 1):
            shown = [w for w in page if w[4] == "Группа"]
            numbers = [w for w in page if w[4].isdigit() and w[0] < first(page, "Наименование")[0]]
            check(len(shown) == 1 and numbers and abs(shown[0][1] - min(w[1] for w in numbers)) < 1,
                  "duplicates page %d: the name is not shown once, on the first row" % number)

        # Optimal widths: every text whole, the totals' column as wide as "72600".
        optimal = check_document("optimal", to_pdf("optimal", folder))
        lefts = title_lefts(optimal[0])
        total = first(optimal[-1], "72600")
        check(total is not None and total[2] <= lefts[4], "optimal: the total overlaps the next column")

        # Pages 2 and 3 printed from the preview carry those pages' text.
        chosen = to_pdf("preview-pages", folder)
        text = run("pdftotext", "-layout", str(chosen), "-")
        check(int(info(chosen)["Pages"]) == 2, "preview: not two pages printed")
        check("Страница 1 из 3" not in text and "Страница 2 из 3" in text
              and "Страница 3 из 3" in text and "Строка 120" in text,
              "preview: the printed pages are not pages 2 and 3")

        check(info(docs["landscape"]).get("Page rot", "").strip() == "90",
              "landscape document is not turned")
        check(len(pages["landscape"]) > len(pages["plain"]),
              "landscape holds as many rows per page as portrait")

        # Colour only with the colour option; white cells stay unpainted.
        yellow = colour_in_name_cell(docs["grid"], pages["grid"])
        white = colour_in_name_cell(docs["plain"], pages["plain"])
        check(yellow[0] > 200 and yellow[1] > 200 and yellow[2] < 80,
              "coloured cell is %s, not yellow" % (yellow,))
        check(white == (255, 255, 255), "plain cell is %s, not white" % (white,))
        check(grid_line_at_left(docs["plain"], pages["plain"]), "no grid line at the left")
        images = images_in_number_column(docs["grid"], pages["grid"])
        check(images == {1}, "images in the number column on rows %s, not on row 1 alone" % images)

        # Amounts up to the fields' limits, each on paper as the grid shows
        # it; the widest cut with an ellipsis, as the column's cells are.
        large = run("pdftotext", "-layout", str(to_pdf("large", folder)), "-")
        for amount in ("3000000000", "-3000000000", "1E300", "922337203..."):
            check(re.search(r"(^|\s)%s(\s|$)" % re.escape(amount), large, re.M),
                  "large: %s is not on paper" % amount)
        check(large.count("Строка") == ROWS, "large: not every row printed")
        check_wide_amounts(to_pdf("wide", folder))

    for failure in failures:
        print("FAIL:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
