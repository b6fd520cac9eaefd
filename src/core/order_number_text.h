#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// How an order number is shown wherever a person reads it: on screen, on the slip, in reports
// and in exported workbooks. The stored number is a blank, the order's date as yyyyMMdd and the
// day's sequence (" 202612070001"); people read it as "20261207-0001", with no leading blank to
// misalign a column and the date set apart from the sequence, as the order window's two boxes
// show it. A stored number of any other form (typed by hand in an older database) is shown
// trimmed, otherwise as stored.
QString OrderNumberText(const QString& stored);

// The same for a stored number in UTF-8, into `out` (reused, so a walk of many rows allocates
// nothing).
void AppendOrderNumberText(QByteArrayView stored, QByteArray& out);
