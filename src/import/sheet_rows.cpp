#include "import/sheet_rows.h"

const QStringList& SheetHeadings() {
    static const QStringList headings = {QStringLiteral("提醒日期"), QStringLiteral("车牌号"),
                                         QStringLiteral("车主姓名"), QStringLiteral("性别"),
                                         QStringLiteral("联系电话"), QStringLiteral("登记日期"),
                                         QStringLiteral("身份证号"), QStringLiteral("车型")};
    return headings;
}
