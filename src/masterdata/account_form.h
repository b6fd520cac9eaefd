#pragma once

#include <QList>
#include <QString>
#include <array>
#include <utility>

class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

// What the operator windows and the shop profile share: the heading, three captioned boxes and
// "确 定" and "取 消" centred below them.
struct AccountForm {
    QLabel* heading;
    QPushButton* ok;
    QPushButton* cancel;
    QList<QLabel*> captions;  // in row order
};

// Lays the window out with its three boxes, each after its caption.
AccountForm LayOutAccountForm(QWidget* window, const QString& heading,
                              const std::array<std::pair<QString, QLineEdit*>, 3>& rows);
// The same with any number of fields of any kind.
AccountForm LayOutAccountRows(QWidget* window, const QString& heading,
                              const QList<std::pair<QString, QWidget*>>& rows);
