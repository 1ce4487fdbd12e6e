#!/usr/bin/python3
# Recomputes the "expected" column of tests/host/data/text_format_table.tsv with LibreOffice Calc
# (headless, through UNO): each row's value is formatted with TEXT(value; format). Rows with a note
# keep their expected text (there the table follows the other spreadsheet on purpose); LibreOffice's
# result for them is printed for comparison.
# Needs: apt-get install libreoffice-calc python3-uno; run with /usr/bin/python3.
import os, subprocess, sys, time
import uno

TABLE = os.path.join(os.path.dirname(__file__), "..", "tests", "host", "data", "text_format_table.tsv")


def connect():
    office = subprocess.Popen(["soffice", "--headless", "--invisible", "--norestore",
                               "--accept=pipe,name=gentext;urp;"])
    resolver = uno.getComponentContext().ServiceManager.createInstanceWithContext(
        "com.sun.star.bridge.UnoUrlResolver", uno.getComponentContext())
    for _ in range(60):
        try:
            ctx = resolver.resolve("uno:pipe,name=gentext;urp;StarOffice.ComponentContext")
            return office, ctx.ServiceManager.createInstanceWithContext("com.sun.star.frame.Desktop", ctx)
        except Exception:
            time.sleep(0.5)
    raise SystemExit("LibreOffice did not start")


def put_value(cell, text):
    if text.startswith('"'):
        cell.setString(text[1:-1])
    elif text in ("TRUE", "FALSE") or text.startswith("#"):
        cell.setFormula("=" + text)
    else:
        cell.setValue(float(text))


def main():
    header, *rows = [line.rstrip("\n").split("\t") for line in open(TABLE, encoding="utf-8")]
    office, desktop = connect()
    try:
        doc = desktop.loadComponentFromURL("private:factory/scalc", "_blank", 0, ())
        sheet = doc.Sheets.getByIndex(0)
        for i, (value, fmt, _, _) in enumerate(rows):
            put_value(sheet.getCellByPosition(0, i), value)
            sheet.getCellByPosition(1, i).setString(fmt)
            sheet.getCellByPosition(2, i).setFormula(f"=TEXT(A{i + 1};B{i + 1})")
        doc.calculateAll()
        with open(TABLE, "w", encoding="utf-8") as out:
            out.write("\t".join(header) + "\n")
            for i, (value, fmt, expected, note) in enumerate(rows):
                computed = sheet.getCellByPosition(2, i).getString()
                if note:
                    print(f"kept {value!r} {fmt!r}: {expected!r}, LibreOffice {computed!r}", file=sys.stderr)
                else:
                    expected = computed
                out.write("\t".join([value, fmt, expected, note]) + "\n")
        doc.close(True)
    finally:
        office.terminate()


main()
