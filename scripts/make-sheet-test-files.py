#!/usr/bin/python3
"""Writes the small workbooks the data tests read (tests/data/files/): the same table as
same.csv in xlsx (openpyxl) and ods (odfpy), and cells.xlsx, a package written part by part
with every kind of cell the reader must know. Run from the repository root:
    /usr/bin/python3 scripts/make-sheet-test-files.py [OUTDIR]
The tests also run it into a temporary folder when openpyxl and odfpy are present."""
import os, sys, zipfile

out = sys.argv[1] if len(sys.argv) > 1 else "tests/data/files"
os.makedirs(out, exist_ok=True)

# The table of same.csv: row names, a number column with a missing cell, a text column, numbers.
ROWS = [("a", 71.5, "ctl", 1.25), ("b", None, "trt", -0.002), ("c", 63, "ctl", 7), ("d", 80, "trt", 100000)]
with open(os.path.join(out, "same.csv"), "w", newline="") as f:
    f.write(",weight,group,y\n")
    for name, w, g, y in ROWS:
        f.write("%s,%s,%s,%s\n" % (name, "NA" if w is None else repr(w), g, repr(y)))

def fixed_zip(path, parts):
    """A zip with fixed time stamps, so that the files do not change from run to run."""
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        for name, text in parts:
            info = zipfile.ZipInfo(name, date_time=(2024, 1, 1, 0, 0, 0))
            info.compress_type = zipfile.ZIP_STORED if name == "mimetype" else zipfile.ZIP_DEFLATED
            z.writestr(info, text)

try:
    import openpyxl
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "Data"
    ws.append([None, "weight", "group", "y"])
    for r in ROWS:
        ws.append(list(r))
    wb.create_sheet("Other").append(["q", 1])
    wb.save(os.path.join(out, "same.xlsx"))
except ImportError:
    print("openpyxl is missing: same.xlsx not written", file=sys.stderr)

try:
    from odf.opendocument import OpenDocumentSpreadsheet
    from odf.table import Table, TableRow, TableCell
    from odf.text import P
    doc = OpenDocumentSpreadsheet()
    t = Table(name="Data")
    def cell(v):
        if v is None:
            return TableCell()
        if isinstance(v, str):
            c = TableCell(valuetype="string")
            c.addElement(P(text=v))
            return c
        return TableCell(valuetype="float", value=repr(v))
    for r in [(None, "weight", "group", "y")] + ROWS:
        tr = TableRow()
        for v in r:
            tr.addElement(cell(v))
        t.addElement(tr)
    doc.spreadsheet.addElement(t)
    doc.save(os.path.join(out, "same.ods"))
except ImportError:
    print("odfpy is missing: same.ods not written", file=sys.stderr)

# cells.xlsx: absolute part names, the 1904 date system, a date format, two sheets (the data on
# the second), shared texts with rich runs and a phonetic run, an inline text, booleans, formulas
# with cached numbers and texts, a formula without a cached value, an error value, an ISO date.
NS = 'xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" ' \
     'xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"'
REL = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
parts = [
    ("[Content_Types].xml", '<?xml version="1.0"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
     '<Default Extension="xml" ContentType="application/xml"/></Types>'),
    ("_rels/.rels", '<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
     '<Relationship Id="rId1" Type="' + REL + 'officeDocument" Target="/xl/workbook.xml"/></Relationships>'),
    ("xl/workbook.xml", '<?xml version="1.0"?><workbook ' + NS + '><workbookPr date1904="1"/><sheets>'
     '<sheet name="Notes" sheetId="1" r:id="rId1"/><sheet name="Data &amp; more" sheetId="2" r:id="rId2"/></sheets></workbook>'),
    ("xl/_rels/workbook.xml.rels", '<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
     '<Relationship Id="rId1" Type="' + REL + 'worksheet" Target="/xl/worksheets/notes.xml"/>'
     '<Relationship Id="rId2" Type="' + REL + 'worksheet" Target="worksheets/data.xml"/>'
     '<Relationship Id="rId3" Type="' + REL + 'sharedStrings" Target="sharedStrings.xml"/>'
     '<Relationship Id="rId4" Type="' + REL + 'styles" Target="/xl/styles.xml"/></Relationships>'),
    ("xl/styles.xml", '<?xml version="1.0"?><styleSheet ' + NS + '><numFmts count="1">'
     '<numFmt numFmtId="164" formatCode="yyyy\\-mm\\-dd"/><numFmt numFmtId="165" formatCode="&quot;d&quot;0.00"/></numFmts>'
     '<cellStyleXfs count="1"><xf numFmtId="14"/></cellStyleXfs>'
     '<cellXfs count="4"><xf numFmtId="0"/><xf numFmtId="164"/><xf numFmtId="14"/><xf numFmtId="165"/></cellXfs></styleSheet>'),
    ("xl/sharedStrings.xml", '<?xml version="1.0"?><sst ' + NS + ' count="4" uniqueCount="4">'
     '<si><t>x</t></si><si><t>when</t></si><si><r><t>lo</t></r><r><t xml:space="preserve">w &lt;1</t></r><rPh sb="0" eb="1"><t>ignored</t></rPh></si>'
     '<si><t>label</t></si></sst>'),
    ("xl/worksheets/notes.xml", '<?xml version="1.0"?><worksheet ' + NS + '><sheetData>'
     '<row r="1"><c r="A1" t="inlineStr"><is><t>not this sheet</t></is></c></row></sheetData></worksheet>'),
    ("xl/worksheets/data.xml", '<?xml version="1.0"?><worksheet ' + NS + '><sheetData>'
     # B2:F2 the header: x, when, flag, calc, label; the table starts at B2
     '<row r="2"><c r="B2" t="s"><v>0</v></c><c r="C2" t="s"><v>1</v></c><c r="D2" t="inlineStr"><is><t>flag</t></is></c>'
     '<c r="E2" t="inlineStr"><is><t>calc</t></is></c><c r="F2" t="s"><v>3</v></c></row>'
     '<row r="3"><c r="B3"><v>1.5</v></c><c r="C3" s="1"><v>0</v></c><c r="D3" t="b"><v>1</v></c>'
     '<c r="E3"><f>B3*2</f><v>3</v></c><c r="F3" t="s"><v>2</v></c></row>'
     '<row r="4"><c r="B4" s="3"><v>2.5</v></c><c r="C4" s="2"><v>1.5</v></c><c r="D4" t="b"><v>0</v></c>'
     '<c r="E4"><f>B4*2</f></c><c r="F4" t="str"><f>"hi"</f><v>hi</v></c></row>'
     # cells without a reference follow the one before; a row without a number follows the row before
     '<row><c r="B5"><v>-3e2</v></c><c t="d"><v>2024-01-02T12:00:00</v></c><c t="b"><v>1</v></c>'
     '<c t="e"><f>1/0</f><v>#DIV/0!</v></c><c t="inlineStr"><is><t>lo</t><t>w &lt;1</t></is></c></row>'
     '</sheetData></worksheet>'),
]
fixed_zip(os.path.join(out, "cells.xlsx"), parts)
