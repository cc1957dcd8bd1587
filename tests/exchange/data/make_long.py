#!/usr/bin/env python3
"""Writes long.xls: many distinct texts, Latin and Chinese, so that LibreOffice's shared-string table runs over
many records and strings are cut at record ends, and two cells longer than one record. tst_workbookreader
computes the same texts. Needs soffice; run from this folder; the result is committed next to it."""
import os
import subprocess
import tempfile

ROWS = 500


def row(i):
    latin = f'row {i} ' + 'x' * (i % 40)
    chinese = f'合同{i}号' + '长' * (i % 30) + 'end'
    if i == ROWS:
        latin = 'a' * 9000
        chinese = '甲乙丙丁' * 1250
    return [str(i), latin, chinese]


with tempfile.TemporaryDirectory() as folder:
    csv = os.path.join(folder, 'long.csv')
    with open(csv, 'w', encoding='utf-8') as out:
        out.write('编号,英文,中文\n')
        for i in range(1, ROWS + 1):
            out.write(','.join(row(i)) + '\n')
    subprocess.run(['soffice', f'-env:UserInstallation=file://{folder}/profile', '--headless',
                    '--infilter=CSV:44,34,76,1', '--convert-to', 'xls', '--outdir', '.', csv], check=True)
