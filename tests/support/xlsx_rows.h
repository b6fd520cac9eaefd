#pragma once

#include <QList>
#include <QString>
#include <QVariant>

// The cells of a workbook's first sheet as a reader gets them back, read with python3's zip
// and XML modules: a number cell as a double, a text cell as a QString, rows and columns in
// sheet order with gaps left as invalid values.
struct XlsxRows {
    bool ok = false;
    QString error;
    QString sheetName;  // as the workbook names its first sheet
    QList<QList<QVariant>> rows;
};

XlsxRows ReadXlsxRows(const QString& path);
