#!/usr/bin/env python3
"""Reads a written table back with readers of Python's own (openpyxl, csv, json) and prints it in a
plain form the C++ tests compare: one line per sheet start, one line per row, every cell as
type|format|hex of its UTF-8 bytes."""
import csv
import io
import json
import re
import sys


def cell_text(kind, fmt, text):
    return "%s|%s|%s" % (kind, fmt, text.encode("utf-8").hex())


def unescape_ooxml(text):
    """Undoes the _xHHHH_ escapes by which Office Open XML strings carry control characters (as the
    spreadsheet program does; openpyxl 3.0 leaves them in inline strings)."""
    return re.sub(r"_x([0-9A-Fa-f]{4})_", lambda m: chr(int(m.group(1), 16)), text)


def read_xlsx(path):
    import openpyxl
    book = openpyxl.load_workbook(path)
    for sheet in book.worksheets:
        print("sheet", sheet.title)
        for row in sheet.iter_rows():
            cells = []
            for cell in row:
                value = cell.value
                if value is None:
                    cells.append(cell_text("blank", cell.number_format, ""))
                elif isinstance(value, str):
                    cells.append(cell_text("s", cell.number_format, unescape_ooxml(value)))
                else:
                    cells.append(cell_text(type(value).__name__, cell.number_format, str(value)))
            print("row", " ".join(cells))


def read_csv(path):
    raw = open(path, "rb").read()
    print("bom", "yes" if raw.startswith(b"\xef\xbb\xbf") else "no")
    text = raw.decode("utf-8-sig")
    print("sheet csv")
    for row in csv.reader(io.StringIO(text, newline=""), strict=True):
        print("row", " ".join(cell_text("s", "", field) for field in row))


def read_jsonl(path):
    print("sheet jsonl")
    with open(path, "rb") as f:
        for line in f:
            obj = json.loads(line.decode("utf-8"))
            print("keys", ",".join(obj.keys()))
            print("row", " ".join(cell_text(type(v).__name__, "", v if isinstance(v, str) else repr(v))
                                  for v in obj.values()))


{"xlsx": read_xlsx, "csv": read_csv, "jsonl": read_jsonl}[sys.argv[1]](sys.argv[2])
