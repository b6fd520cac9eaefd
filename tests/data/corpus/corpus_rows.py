# The customers every generator of this corpus writes, and the rows the import must read from
# them, written beside each workbook as <name>.expected.csv. Imported by the make.py scripts.
import csv
import datetime

HEADINGS = ["提醒日期", "车牌号", "车主姓名", "性别", "联系电话", "登记日期", "身份证号", "车型"]

# Reminder date, plate, owner, sex, telephone (a number cell, or text with a dash), entry date,
# identity number (text, so all eighteen digits stay), model.
CUSTOMERS = [
    (datetime.date(2026, 3, 1), "京A10001", "张伟", "先生", 13912345678,
     datetime.date(2025, 12, 31), "110101199003071234", "大众帕萨特"),
    (datetime.date(2026, 3, 2), "沪B20002", "李娜", "女士", "021-62345678",
     datetime.date(2024, 2, 29), "11010119850101002X", "丰田卡罗拉, 1.6L"),
    (None, "粤C30003", "王强", "先生", 13800000003, None, "", "本田雅阁"),
]


def shown(value):
    """A cell as the import gives it: dates as yyyy-MM-dd, numbers with all their digits."""
    if value is None:
        return ""
    if isinstance(value, (datetime.date, datetime.datetime)):
        return value.strftime("%Y-%m-%d")
    return str(value)


def write_expected(workbook_path, rows=CUSTOMERS):
    """Writes <name>.expected.csv beside the workbook: the rows after the heading row."""
    base = workbook_path.rsplit(".", 1)[0]
    with open(base + ".expected.csv", "w", encoding="utf-8", newline="") as out:
        writer = csv.writer(out, lineterminator="\n")
        for row in rows:
            writer.writerow([shown(value) for value in row])


def write_error(workbook_path, reason):
    """Writes <name>.error.txt: the start of the reason the import must refuse the file with."""
    base = workbook_path.rsplit(".", 1)[0]
    with open(base + ".error.txt", "w", encoding="utf-8") as out:
        out.write(reason + "\n")
