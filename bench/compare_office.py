#!/usr/bin/python3
"""Open, calculate and save as a user runs it: `telm FILE --calc --save-as` against LibreOffice headless
converting the same file (`soffice --headless --convert-to xlsx`), each a process of its own.

Writes four workbooks of formulas without stored results (so that both programs calculate them):
100,000 independent formulas, a chain of 100,000, 100,000 sums over 10-cell ranges, and 10 sheets of
100,000 cells each, half values and half formulas of the three kinds. Runs both programs on each in
interleaved rounds and prints the median times and their ratio (below 1: faster than LibreOffice).

    bench/compare_office.py [telm program] [rounds]   (default: build/bench/telm, 3 rounds)
"""

import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
import zipfile

ROWS = 100000
MAIN = "http://schemas.openxmlformats.org/spreadsheetml/2006/main"
RELS = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"
PACKAGE_RELS = "http://schemas.openxmlformats.org/package/2006/relationships"
TYPES = "application/vnd.openxmlformats-officedocument.spreadsheetml."


def value(ref, number):
    return '<c r="%s"><v>%s</v></c>' % (ref, number)


def formula(ref, text):
    return '<c r="%s"><f>%s</f></c>' % (ref, text)


def independent(r):
    return [value("A%d" % r, r), formula("B%d" % r, "A%d*2+1" % r)]


def chain(r):
    return [value("A1", 1) if r == 1 else formula("A%d" % r, "A%d+1" % (r - 1))]


def range_sums(r):
    return [value("A%d" % r, r), formula("B%d" % r, "SUM(A%d:A%d)" % (r, min(r + 9, ROWS)))]


def mixed(r):
    """Values in A and B; in C an independent formula, a link of a chain or a range sum by turns."""
    cells = [value("A%d" % r, r), value("B%d" % r, r * 0.5)]
    cells.append(formula("C%d" % r, ("A%d*2+1" % r, "C%d+1" % (r - 1) if r > 1 else "A1",
                                     "SUM(A%d:B%d)" % (r, min(r + 4, ROWS)))[r % 3]))
    cells.append(formula("D%d" % r, "C%d-B%d" % (r, r)))
    return cells


def sheet_xml(cells_of_row, rows):
    out = ['<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n<worksheet xmlns="%s"><sheetData>' % MAIN]
    for r in range(1, rows + 1):
        out.append('<row r="%d">%s</row>' % (r, "".join(cells_of_row(r))))
    out.append("</sheetData></worksheet>")
    return "".join(out)


def write_workbook(path, sheets):
    """sheets: a list of (cells of a row, rows)."""
    names = ["Sheet%d" % (i + 1) for i in range(len(sheets))]
    overrides = "".join('<Override PartName="/xl/worksheets/sheet%d.xml" ContentType="%sworksheet+xml"/>' % (i + 1, TYPES)
                        for i in range(len(sheets)))
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("[Content_Types].xml",
                   '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
                   '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
                   '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
                   '<Default Extension="xml" ContentType="application/xml"/>'
                   '<Override PartName="/xl/workbook.xml" ContentType="%ssheet.main+xml"/>%s</Types>' % (TYPES, overrides))
        z.writestr("_rels/.rels",
                   '<Relationships xmlns="%s"><Relationship Id="rId1" Type="%s/officeDocument" Target="xl/workbook.xml"/>'
                   "</Relationships>" % (PACKAGE_RELS, RELS))
        z.writestr("xl/workbook.xml",
                   '<workbook xmlns="%s" xmlns:r="%s"><sheets>%s</sheets></workbook>' % (
                       MAIN, RELS, "".join('<sheet name="%s" sheetId="%d" r:id="rId%d"/>' % (n, i + 1, i + 1)
                                           for i, n in enumerate(names))))
        z.writestr("xl/_rels/workbook.xml.rels",
                   '<Relationships xmlns="%s">%s</Relationships>' % (PACKAGE_RELS, "".join(
                       '<Relationship Id="rId%d" Type="%s/worksheet" Target="worksheets/sheet%d.xml"/>' % (i + 1, RELS, i + 1)
                       for i in range(len(sheets)))))
        for i, (cells_of_row, rows) in enumerate(sheets):
            z.writestr("xl/worksheets/sheet%d.xml" % (i + 1), sheet_xml(cells_of_row, rows))


def timed(command):
    start = time.perf_counter()
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return time.perf_counter() - start


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    telm = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "build", "bench", "telm")
    rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 3
    shapes = {
        "independent": [(independent, ROWS)],
        "chain": [(chain, ROWS)],
        "range sums": [(range_sums, ROWS)],
        "10 sheets x 100k mixed": [(mixed, ROWS // 4)] * 10,
    }
    with tempfile.TemporaryDirectory() as folder:
        addin = os.path.join(folder, "addin")
        shutil.copytree(os.path.join(root, "examples"), addin)
        profile = "file://" + os.path.join(folder, "profile")
        print("%-24s %10s %16s %8s" % ("workbook", "telm s", "LibreOffice s", "ratio"))
        for name, sheets in shapes.items():
            source = os.path.join(folder, "book.xlsx")
            write_workbook(source, sheets)
            ours, theirs = [], []
            for _ in range(rounds):
                ours.append(timed([telm, "--addin", addin, source, "--calc", "--save-as", os.path.join(folder, "telm.xlsx")]))
                for stale in os.listdir(folder):
                    if stale.startswith(".~lock"):
                        os.remove(os.path.join(folder, stale))
                theirs.append(timed(["soffice", "-env:UserInstallation=" + profile, "--headless", "--norestore",
                                     "--convert-to", "xlsx", "--outdir", os.path.join(folder, "office"), source]))
            mine, other = statistics.median(ours), statistics.median(theirs)
            print("%-24s %10.2f %16.2f %8.2f" % (name, mine, other, mine / other), flush=True)


if __name__ == "__main__":
    main()
