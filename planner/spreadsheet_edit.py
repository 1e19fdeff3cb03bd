#!/usr/bin/python3
"""Edits rename tables in LibreOffice Calc (headless) as users do, for Quorvel-plan's tests.

Usage: spreadsheet_edit.py WORKBOOK SAVED_WORKBOOK TABLE.csv SAVED.csv FILE=NEW_PART_NUMBER...

Opens WORKBOOK and types each NEW_PART_NUMBER into the new_part_number cell of the row of
FILE, through Calc's own input (the dispatcher's EnterString, as typing does), so that the
cell's format decides what the input becomes; saves the workbook as SAVED_WORKBOOK. Then
opens TABLE.csv as users open a CSV file (numbers, dates and formulas recognised) and saves it
back as CSV (cells as shown) to SAVED.csv. Prints each typed cell as Calc holds it.
Exit 0 done, 1 failed.
"""
import os
import subprocess
import sys
import tempfile
import time

import uno
from com.sun.star.beans import PropertyValue
from com.sun.star.table.CellContentType import TEXT

# Comma, double quote, UTF-8, from line 1, standard columns, default language; on opening,
# quoted fields not forced to text, special numbers (dates, exponents) detected, blanks kept,
# formulas evaluated (token 13); on saving, cells as shown, formulas not written.
CSV_OPENED = "44,34,76,1,,0,false,true,true,false,false,0,true"
CSV_SAVED = "44,34,76,1,,0,false,true,true,false,false"


def prop(name, value):
    p = PropertyValue()
    p.Name = name
    p.Value = value
    return p


def url(path):
    return uno.systemPathToFileUrl(os.path.abspath(path))


def connect(pipe):
    local = uno.getComponentContext()
    resolver = local.ServiceManager.createInstanceWithContext(
        "com.sun.star.bridge.UnoUrlResolver", local)
    deadline = time.time() + 90
    while True:
        try:
            return resolver.resolve(
                "uno:pipe,name=%s;urp;StarOffice.ComponentContext" % pipe)
        except Exception:
            if time.time() > deadline:
                raise
            time.sleep(0.2)


def type_part_numbers(context, desktop, workbook, saved, wanted):
    doc = desktop.loadComponentFromURL(url(workbook), "_blank", 0, (prop("Hidden", True),))
    sheet = doc.Sheets.getByIndex(0)
    used = sheet.createCursor()
    used.gotoEndOfUsedArea(False)
    rows, columns = used.RangeAddress.EndRow + 1, used.RangeAddress.EndColumn + 1
    header = [sheet.getCellByPosition(c, 0).getString() for c in range(columns)]
    file_column, new_column = header.index("file"), header.index("new_part_number")
    row_of = {sheet.getCellByPosition(file_column, r).getString(): r for r in range(1, rows)}
    controller = doc.getCurrentController()
    dispatcher = context.ServiceManager.createInstanceWithContext(
        "com.sun.star.frame.DispatchHelper", context)
    for file, value in wanted:
        cell = sheet.getCellByPosition(new_column, row_of[file])
        controller.select(cell)
        dispatcher.executeDispatch(controller.getFrame(), ".uno:EnterString", "", 0,
                                   (prop("StringName", value),))
        kind = "text" if cell.getType() == TEXT else "not text"
        print("%s: typed %s, the cell holds %s %s" % (file, value, kind, cell.getString()))
    doc.storeToURL(url(saved), (prop("FilterName", "Calc MS Excel 2007 XML"),))
    doc.close(True)


def open_and_save_csv(desktop, table, saved):
    filter_ = "Text - txt - csv (StarCalc)"
    doc = desktop.loadComponentFromURL(
        url(table), "_blank", 0,
        (prop("Hidden", True), prop("FilterName", filter_), prop("FilterOptions", CSV_OPENED)))
    doc.storeToURL(url(saved), (prop("FilterName", filter_), prop("FilterOptions", CSV_SAVED)))
    doc.close(True)


def main():
    if len(sys.argv) < 5:
        print(__doc__, file=sys.stderr)
        return 1
    workbook, saved_workbook, table, saved_table = sys.argv[1:5]
    wanted = [argument.split("=", 1) for argument in sys.argv[5:]]
    with tempfile.TemporaryDirectory() as profile:
        pipe = "quorvel_plan_%d" % os.getpid()
        office = subprocess.Popen(
            ["soffice", "--headless", "--invisible", "--norestore", "--nologo",
             "--nodefault", "--nolockcheck", "-env:UserInstallation=" + url(profile),
             "--accept=pipe,name=%s;urp;" % pipe],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            context = connect(pipe)
            desktop = context.ServiceManager.createInstanceWithContext(
                "com.sun.star.frame.Desktop", context)
            type_part_numbers(context, desktop, workbook, saved_workbook, wanted)
            open_and_save_csv(desktop, table, saved_table)
            try:
                desktop.terminate()
            except Exception:
                pass  # the connection ends as the office does
            office.wait(timeout=60)
        finally:
            if office.poll() is None:
                office.kill()
                office.wait()
    return 0


if __name__ == "__main__":
    sys.exit(main())
