#include "app/customer_queries.h"

#include "data/run_sql.h"
#include "ui/date_text.h"

QString ReminderModeText(ReminderMode mode) {
    switch (mode) {
        case ReminderMode::All:
            return QStringLiteral("全部显示");
        case ReminderMode::Called:
            return QStringLiteral("显示已打过电话");
        case ReminderMode::NotCalled:
            return QStringLiteral("显示未打过电话");
    }
    return {};
}

BoundStatement ReminderStatement(const QString& modeText, const QDate& from, const QDate& to) {
    // Dates are stored as yyyy-MM-dd text, so comparing the column itself is the same as
    // comparing its text, and lets the engine use the reminder-date index.
    BoundStatement statement;
    statement.text =
        QStringLiteral("select * from kh_table where kh_txdate >= ? and kh_txdate <= ?");
    statement.params = {ui::DateText(from), ui::DateText(to)};
    if (modeText == ReminderModeText(ReminderMode::All)) {
        return statement;
    }
    if (modeText == ReminderModeText(ReminderMode::Called)) {
        statement.text += QStringLiteral(" and kh_sfdgdh = ?");
        statement.params << QStringLiteral("1");
        return statement;
    }
    if (modeText == ReminderModeText(ReminderMode::NotCalled)) {
        statement.text += QStringLiteral(" and kh_sfdgdh = ?");
        statement.params << QStringLiteral("0");
        return statement;
    }
    return {};
}

BoundStatement SearchStatement(const QString& text) {
    const QString pattern = ContainsPattern(text);
    return {QStringLiteral("select * from kh_table where kh_cph like ? escape '\\' or "
                           "kh_czname like ? escape '\\' or kh_tele like ? escape '\\'"),
            {pattern, pattern, pattern}};
}
