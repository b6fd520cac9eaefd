#include "masterdata/account_form.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/heading_label.h"
#include "ui/named.h"

AccountForm LayOutAccountForm(QWidget* window, const QString& heading,
                              const std::array<std::pair<QString, QLineEdit*>, 3>& rows) {
    QList<std::pair<QString, QWidget*>> fields;
    for (const auto& [caption, box] : rows) {
        fields.append({caption, box});
    }
    return LayOutAccountRows(window, heading, fields);
}

AccountForm LayOutAccountRows(QWidget* window, const QString& heading,
                              const QList<std::pair<QString, QWidget*>>& rows) {
    AccountForm form;
    form.heading = ui::HeadingLabel(window, heading, QStringLiteral("Label1"), 14);

    auto* fields = new QGridLayout;
    fields->setHorizontalSpacing(10);
    fields->setVerticalSpacing(12);
    for (int row = 0; row < int(rows.size()); ++row) {
        auto* label = new QLabel(rows[row].first, window);
        label->setBuddy(rows[row].second);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        form.captions.append(label);
        // A window may have asked for a wider box already.
        rows[row].second->setMinimumWidth(std::max(180, rows[row].second->minimumWidth()));
        fields->addWidget(label, row, 0);
        fields->addWidget(rows[row].second, row, 1);
    }

    form.ok =
        ui::Named(new QPushButton(QStringLiteral("确 定"), window), QStringLiteral("Command1"));
    form.cancel =
        ui::Named(new QPushButton(QStringLiteral("取 消"), window), QStringLiteral("Command2"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QPushButton* button : {form.ok, form.cancel}) {
        // Not a dialog: a button presses on Enter only when it has the focus.
        button->setAutoDefault(true);
        buttons->addWidget(button);
    }
    buttons->addStretch();

    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(28, 18, 28, 18);
    layout->setSpacing(16);
    layout->addWidget(form.heading);
    layout->addLayout(fields);
    layout->addLayout(buttons);
    window->setFixedSize(window->sizeHint().expandedTo(QSize(340, 0)));
    return form;
}
