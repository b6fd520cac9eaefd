#pragma once

#include <QDate>
#include <QString>
#include <QVariantList>

// The statements behind the main window's list, with the values they bind.
struct BoundStatement {
    QString text;
    QVariantList params;
    bool isValid() const { return !text.isEmpty(); }
};

// The display modes, in list order.
enum class ReminderMode { All = 0, Called = 1, NotCalled = 2 };

// Customers whose reminder date lies in [from, to], both ends included, filtered by mode.
// An unknown mode text builds nothing.
BoundStatement ReminderStatement(const QString& modeText, const QDate& from, const QDate& to);

// Customers whose plate, owner's name or telephone contains `text`, taken literally.
BoundStatement SearchStatement(const QString& text);

QString ReminderModeText(ReminderMode mode);
