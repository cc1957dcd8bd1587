#!/usr/bin/env python3
"""Writes the hand-made .xlsx fixtures: the corners of the format that LibreOffice never writes itself
(inline strings, gaps, cells without references, rich text, 1904 dates, custom date formats).
Run from this folder; the results are committed next to it."""
import re
import zipfile

NS = 'xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" ' \
     'xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"'
REL = 'http://schemas.openxmlformats.org/officeDocument/2006/relationships'


def prefixed(xml):
    """The same XML with every element name prefixed by x: and a comment in front, as some generators write it."""
    return '<!-- 前缀 -->' + re.sub(r'<(/?)([A-Za-z]+)', r'<\1x:\2', xml)


def package(path, sheets, shared=None, styles=None, date1904=False, extra=None, prefix=False):
    with zipfile.ZipFile(path, 'w', zipfile.ZIP_DEFLATED) as z:
        ct = 'application/vnd.openxmlformats-officedocument.spreadsheetml'
        overrides = [f'<Override PartName="/xl/workbook.xml" ContentType="{ct}.sheet.main+xml"/>']
        overrides += [f'<Override PartName="/xl/worksheets/sheet{i}.xml" ContentType="{ct}.worksheet+xml"/>'
                      for i in range(1, len(sheets) + 1)]
        if shared is not None:
            overrides.append(f'<Override PartName="/xl/sharedStrings.xml" ContentType="{ct}.sharedStrings+xml"/>')
        if styles is not None:
            overrides.append(f'<Override PartName="/xl/styles.xml" ContentType="{ct}.styles+xml"/>')
        z.writestr('[Content_Types].xml', '<?xml version="1.0"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
                   '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
                   '<Default Extension="xml" ContentType="application/xml"/>' + ''.join(overrides) + '</Types>')
        z.writestr('_rels/.rels', f'<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
                   f'<Relationship Id="rId1" Type="{REL}/officeDocument" Target="xl/workbook.xml"/></Relationships>')
        rels = []
        entries = []
        for i, (name, xml) in enumerate(sheets, 1):
            rels.append(f'<Relationship Id="rId{i}" Type="{REL}/worksheet" Target="worksheets/sheet{i}.xml"/>')
            entries.append(f'<sheet name="{name}" sheetId="{i}" r:id="rId{i}"/>')
            body = f'<worksheet {NS}><sheetData>{xml}</sheetData></worksheet>'
            if prefix:
                body = prefixed(body).replace('xmlns=', 'xmlns:x=')
            z.writestr(f'xl/worksheets/sheet{i}.xml', f'<?xml version="1.0"?>{body}')
        if shared is not None:
            rels.append(f'<Relationship Id="rIdS" Type="{REL}/sharedStrings" Target="/xl/sharedStrings.xml"/>')
            body = f'<sst {NS}>{shared}</sst>'
            if prefix:
                body = prefixed(body).replace('xmlns=', 'xmlns:x=')
            z.writestr('xl/sharedStrings.xml', f'<?xml version="1.0"?>{body}')
        if styles is not None:
            rels.append(f'<Relationship Id="rIdT" Type="{REL}/styles" Target="styles.xml"/>')
            z.writestr('xl/styles.xml', f'<?xml version="1.0"?><styleSheet {NS}>{styles}</styleSheet>')
        for name, data in (extra or []):
            z.writestr(name, data)
        pr = '<workbookPr date1904="1"/>' if date1904 else ''
        z.writestr('xl/_rels/workbook.xml.rels', '<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
                   + ''.join(rels) + '</Relationships>')
        z.writestr('xl/workbook.xml', f'<?xml version="1.0"?><workbook {NS}>{pr}<sheets>{"".join(entries)}</sheets></workbook>')


STYLES = ('<numFmts count="3"><numFmt numFmtId="164" formatCode="yyyy&quot;年&quot;m&quot;月&quot;d&quot;日&quot;"/>'
          '<numFmt numFmtId="165" formatCode="[Red]0.00;[Blue]\\-0.00"/><numFmt numFmtId="166" formatCode="[h]:mm:ss"/></numFmts>'
          '<cellXfs count="6"><xf numFmtId="0"/><xf numFmtId="14"/><xf numFmtId="22"/><xf numFmtId="164"/><xf numFmtId="165"/><xf numFmtId="166"/></cellXfs>')

SHARED = ('<si><t>名称</t></si><si><r><t>富</t></r><r><rPr><b/></rPr><t>文本</t></r><rPh><t>ふりがな</t></rPh></si>'
          '<si><t xml:space="preserve"> 前后空格 </t></si><si><t>行_x000D_换</t></si>')

corners = (
    '<row r="1"><c r="A1" t="s"><v>0</v></c><c r="B1" t="inlineStr"><is><t>数值</t></is></c><c r="C1" t="inlineStr"><is><t>日期</t></is></c>'
    '<c r="E1" t="inlineStr"><is><t>名称</t></is></c></row>'
    '<row r="2"><c r="A2" t="s"><v>1</v></c><c r="B2" s="4"><v>1234.5</v></c><c r="C2" s="1"><v>45356</v></c><c r="E2" t="b"><v>1</v></c></row>'
    '<row r="4"><c r="A4" t="s"><v>2</v></c><c r="C4" s="2"><v>45356.75</v></c><c r="D4" t="e"><v>#DIV/0!</v></c></row>'
    '<row r="5"><c r="A5" t="s"><v>3</v></c><c r="B5" t="str"><f>1+1</f><v>2</v></c><c r="C5" s="3"><v>45292</v></c></row>'
    '<row r="6"><c r="A6" t="inlineStr"><is><t>时长</t></is></c><c r="B6"><v>1E-7</v></c><c r="C6" s="5"><v>0.5</v></c></row>'
)
no_refs = ('<row><c t="inlineStr"><is><t>甲</t></is></c><c t="inlineStr"><is><t>乙</t></is></c></row>'
           '<row><c><v>1</v></c><c><v>2</v></c></row><row><c><v>3</v></c></row>')
package('corners.xlsx', [('角落', corners), ('无引用', no_refs), ('空表', '')], shared=SHARED, styles=STYLES)
# The same with prefixed element names and comments: read by the XML parser instead of the direct scan.
package('corners-prefixed.xlsx', [('角落', corners), ('无引用', no_refs), ('空表', '')], shared=SHARED, styles=STYLES,
        prefix=True)
# A cell that refers to a shared string the table does not have.
package('missing-string.xlsx', [('Sheet1', '<row r="1"><c r="A1" t="s"><v>0</v></c></row>'
                                           '<row r="2"><c r="A2" t="s"><v>7</v></c></row>')],
        shared='<si><t>名称</t></si>')

package('date1904.xlsx', [('Sheet1', '<row r="1"><c r="A1" t="inlineStr"><is><t>日期</t></is></c></row>'
                                     '<row r="2"><c r="A2" s="1"><v>0</v></c></row>')],
        styles='<cellXfs count="2"><xf numFmtId="0"/><xf numFmtId="14"/></cellXfs>', date1904=True)


def renamed_stream(source, path):
    """The .xls workbook with its stream under the name Excel 95 and older use ("Book"): read through FreeXL."""
    data = bytearray(open(source, 'rb').read())
    at = data.find('Workbook'.encode('utf-16-le'))
    name = 'Book'.encode('utf-16-le') + b'\0\0'
    data[at:at + 18] = name + b'\0' * (18 - len(name))
    data[at + 0x40:at + 0x42] = len(name).to_bytes(2, 'little')
    open(path, 'wb').write(data)


renamed_stream('basic.xls', 'book-stream.xls')
