#!/usr/bin/python3
# A customer list as pandas' to_excel writes it through openpyxl (the engine it takes when
# xlsxwriter is not installed). Needs python3-pandas and python3-openpyxl.
import os
import sys

import pandas

os.chdir(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, "..")
from corpus_rows import CUSTOMERS, HEADINGS, write_expected  # noqa: E402

frame = pandas.DataFrame([list(row) for row in CUSTOMERS], columns=HEADINGS)
frame.to_excel("customers.xlsx", index=False, engine="openpyxl", sheet_name="客户")
write_expected("customers.xlsx")
