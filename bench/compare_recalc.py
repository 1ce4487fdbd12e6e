#!/usr/bin/python3
"""Compares recalculation with LibreOffice Calc on the workbooks of recalc_workbooks_bench.

Runs the benchmark program (which writes the workbook files), then LibreOffice headless on the same
files, and prints each measure with the ratio of the times (below 1: faster than LibreOffice).
Needs libreoffice-calc and python3-uno; the uno module loads only under /usr/bin/python3.

    bench/compare_recalc.py [path of recalc_workbooks_bench]   (default: build/bench/...)
"""

import json
import os
import subprocess
import sys
import tempfile
import time

REPEATS = 5
CHAIN_LAST_ROW = 50000


def bench_times(program, folder):
    """The best of REPEATS runs of each benchmark (each run's mean time), as LibreOffice gets its best."""
    env = dict(os.environ, TELM_RECALC_WORKBOOKS=folder)
    out = subprocess.run([program, "--benchmark_format=json", "--benchmark_repetitions=%d" % REPEATS],
                         env=env, check=True, capture_output=True, text=True).stdout
    times = {}
    for b in json.loads(out)["benchmarks"]:
        if b.get("run_type", "iteration") == "iteration":
            name = b.get("run_name", b["name"])
            times[name] = min(times.get(name, b["real_time"]), b["real_time"])
    return times


def start_office(folder):
    pipe = "telm_compare_%d" % os.getpid()
    profile = "file://" + os.path.join(folder, "profile")
    office = subprocess.Popen(["soffice", "--headless", "--invisible", "--norestore", "--nologo",
                               "--nodefault", "-env:UserInstallation=" + profile,
                               "--accept=pipe,name=%s;urp;" % pipe],
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    import uno
    local = uno.getComponentContext()
    resolver = local.ServiceManager.createInstanceWithContext("com.sun.star.bridge.UnoUrlResolver", local)
    for _ in range(300):
        try:
            context = resolver.resolve("uno:pipe,name=%s;urp;StarOffice.ComponentContext" % pipe)
            break
        except Exception:
            time.sleep(0.1)
    else:
        office.kill()
        sys.exit("LibreOffice did not start")
    desktop = context.ServiceManager.createInstanceWithContext("com.sun.star.frame.Desktop", context)
    return office, desktop


def load(desktop, path):
    import uno
    from com.sun.star.beans import PropertyValue
    hidden = PropertyValue()
    hidden.Name, hidden.Value = "Hidden", True
    return desktop.loadComponentFromURL(uno.systemPathToFileUrl(path), "_blank", 0, (hidden,))


def best_of(action):
    best = None
    for _ in range(REPEATS):
        start = time.perf_counter()
        action()
        elapsed = (time.perf_counter() - start) * 1000
        best = elapsed if best is None else min(best, elapsed)
    return best


def office_times(desktop, folder):
    formulas = os.path.join(folder, "formulas.xlsx")
    times = {}

    def open_and_recalculate():
        doc = load(desktop, formulas)
        doc.calculateAll()
        doc.close(True)
    times["BM_OpenAndRecalculate"] = best_of(open_and_recalculate)

    doc = load(desktop, formulas)
    times["BM_RecalculateOpened"] = best_of(doc.calculateAll)
    doc.close(True)

    doc = load(desktop, os.path.join(folder, "chain.xlsx"))
    doc.calculateAll()
    sheet = doc.Sheets.getByIndex(0)
    head, last = sheet.getCellByPosition(0, 0), sheet.getCellByPosition(1, CHAIN_LAST_ROW - 1)
    value = [1.0]

    def change_head():
        value[0] += 1
        head.setValue(value[0])
        last.getValue()  # the chain is calculated when its end is read
    times["BM_ChangeChainHead"] = best_of(change_head)
    if last.getValue() != value[0] + CHAIN_LAST_ROW:
        sys.exit("LibreOffice calculated the chain to %s" % last.getValue())
    doc.close(True)

    doc = load(desktop, os.path.join(folder, "sums.xlsx"))
    times["BM_RangeSums"] = best_of(doc.calculateAll)
    doc.close(True)
    return times


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    program = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "build", "bench", "recalc_workbooks_bench")
    with tempfile.TemporaryDirectory() as folder:
        ours = bench_times(program, folder)
        office, desktop = start_office(folder)
        try:
            theirs = office_times(desktop, folder)
        finally:
            try:
                desktop.terminate()
            except Exception:
                pass
            office.wait(timeout=30)
    print("%-24s %12s %16s %8s" % ("workbook", "telm ms", "LibreOffice ms", "ratio"))
    for name, mine in ours.items():
        other = theirs[name]
        print("%-24s %12.1f %16.1f %8.2f" % (name, mine, other, mine / other))


if __name__ == "__main__":
    main()
