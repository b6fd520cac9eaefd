#include "repairs/order_entry.h"

#include <QStringList>

#include "core/data_changes.h"
#include "core/date_text.h"
#include "core/field_limits.h"
#include "core/number_text.h"
#include "customers/plate_text.h"
#include "data/record_key.h"
#include "data/run_sql.h"
#include "data/transaction.h"

namespace {

const QString kLineFormat = QStringLiteral("#######0.00");
const QString kAmountFormat = QStringLiteral("########0.00");
const QString kSequenceFormat = QStringLiteral("000");
// A typed number with a longer run of digits after the date part is no sequence we proposed;
// counting it would overflow the next number.
constexpr int kLongestSequence = 15;

// Whether the whole text is a number the line boxes can hold: digits with at most one point.
bool IsPlainNumber(const QString& text) {
    bool digits = false;
    bool point = false;
    for (const QChar c : text) {
        if (c.isDigit() && c.unicode() < 128) {
            digits = true;
        } else if (c == QLatin1Char('.') && !point) {
            point = true;
        } else {
            return false;
        }
    }
    return digits;
}

// The day of a number the window offered: its date part, " yyyyMMdd", before the sequence.
QDate OfferedNumberDay(const QString& number) {
    constexpr int kDatePart = 9;
    if (number.size() <= kDatePart || number.front() != QLatin1Char(' ')) {
        return {};
    }
    return QDate::fromString(number.mid(1, kDatePart - 1), QStringLiteral("yyyyMMdd"));
}

}  // namespace

DbResult<std::optional<PlateOwner>> FindPlateOwner(const QString& typedPlate) {
    const QString plate = NormalizedPlate(typedPlate);
    Recordset customer = RunSql(
        QStringLiteral(
            "select rowid, kh_cph from kh_table where %1 order by kh_cph = ? desc, rowid limit 1")
            .arg(PlateMatches()),
        {plate, plate, plate});
    if (customer.isNull()) {
        return DbResult<std::optional<PlateOwner>>::failure(customer.error());
    }
    if (customer.Eof()) {
        return std::optional<PlateOwner>();
    }
    return std::optional<PlateOwner>(PlateOwner{customer.Text(0).toLongLong(), customer.Text(1)});
}

QString OrderDatePart(const QDate& day) {
    return QLatin1Char(' ') + day.toString(QStringLiteral("yyyyMMdd"));
}

DbResult<QString> ProposeOrderSequence(const QDate& day) {
    // Every number of the day starts with its date part, so they sit together in the number
    // index between the date part and the same text with its last digit raised by one.
    const QString from = OrderDatePart(day);
    QString to = from;
    to.back() = QChar(to.back().unicode() + 1);
    Recordset greatest =
        RunSql(QStringLiteral("select max(cast(substr(kh_wx_dh, ?) as integer)) from kh_wx_table "
                              "where kh_wx_dh >= ? and kh_wx_dh < ? and substr(kh_wx_dh, ?) <> '' "
                              "and ltrim(substr(kh_wx_dh, ?), '0123456789') = '' "
                              "and length(kh_wx_dh) <= ?"),
               {from.size() + 1, from, to, from.size() + 1, from.size() + 1,
                from.size() + kLongestSequence});
    if (greatest.isNull()) {
        return DbResult<QString>::failure(greatest.error());
    }
    const qint64 last = greatest.Eof() ? 0 : greatest.Text(0).toLongLong();
    greatest.Close();
    return FormatAmount(double(last + 1), kSequenceFormat);
}

bool AcceptsAmountCharacter(const QString& text, QChar typed) {
    if (typed.isDigit() && typed.unicode() < 128) {
        return true;
    }
    return typed == QLatin1Char('.') && !text.endsWith(QLatin1Char('.'));
}

QString FormattedLineNumber(const QString& text) {
    if (text.isEmpty()) {
        return FormatAmount(0, kLineFormat);
    }
    return IsPlainNumber(text) ? FormatAmount(LeadingNumber(text), kLineFormat) : text;
}

QString LineAmountText(const QString& quantity, const QString& unitPrice) {
    return FormatAmount(LeadingNumber(quantity) * LeadingNumber(unitPrice), kAmountFormat);
}

QString OrderTotalText(const QStringList& amounts) {
    double total = 0;
    for (const QString& amount : amounts) {
        total += LeadingNumber(amount);
    }
    return FormatAmount(total, kAmountFormat);
}

QString FormattedSequence(const QString& text) {
    return text.isEmpty() ? text : FormatAmount(LeadingNumber(text), kSequenceFormat);
}

QString OrderLineTooLong(const Order& order) {
    for (const OrderLine& line : order.lines) {
        if (!FitsField(TextField::Item, line.item)) {
            return FieldTooLongText(TextField::Item, line.item);
        }
        if (!FitsField(TextField::LineText, line.description)) {
            return FieldTooLongText(TextField::LineText, line.description);
        }
    }
    return {};
}

DbResult<OrderSave> SaveOrder(const Order& order) {
    const DbResult<SavedOrder> saved = SaveOrder(order, NumberSource::Typed);
    if (!saved) {
        return DbResult<OrderSave>::failure(saved.error());
    }
    return saved->outcome;
}

DbResult<SavedOrder> SaveOrder(const Order& given, NumberSource source) {
    using Result = DbResult<SavedOrder>;
    Order order = given;
    if (const QString tooLong = OrderLineTooLong(order); !tooLong.isEmpty()) {
        return Result::failure(tooLong);
    }
    Transaction transaction;
    if (!transaction.isActive()) {
        return Result::failure(transaction.error());
    }
    // The checks come first, in the order the operator is told about them, so a refused save
    // has written nothing.
    const DbResult<std::optional<PlateOwner>> owner = FindPlateOwner(order.plate);
    if (!owner) {
        return Result::failure(owner.error());
    }
    if (!owner->has_value()) {
        return SavedOrder{OrderSave::CustomerNotFound, {}};
    }
    const qint64 customerRow = (*owner)->row;
    const QString storedPlate = (*owner)->plate;
    Recordset taken = RunSql(QStringLiteral("select 1 from kh_wx_table where kh_wx_dh = ? limit 1"),
                             {order.number});
    if (taken.isNull()) {
        return Result::failure(taken.error());
    }
    const bool numberTaken = !taken.Eof();
    taken.Close();
    if (numberTaken) {
        const QDate day = OfferedNumberDay(order.number);
        if (source == NumberSource::Typed || !day.isValid()) {
            return SavedOrder{OrderSave::DuplicateNumber, {}};
        }
        // The transaction holds the write lock, so the number found stays free until commit.
        const DbResult<QString> next = ProposeOrderSequence(day);
        if (!next) {
            return Result::failure(next.error());
        }
        order.number = OrderDatePart(day) + *next;
    }

    const Recordset moved =
        RunSql(QStringLiteral("update kh_table set kh_txdate = ? where rowid = ?"),
               {DateText(order.nextReminder), customerRow});
    if (moved.isNull()) {
        return Result::failure(moved.error());
    }
    const QString date = DateText(order.date);
    const Recordset header = RunSql(
        QStringLiteral("insert into kh_wx_table (kh_wx_code, kh_wx_dh, kh_wx_cph, kh_wx_czname, "
                       "kh_wx_cx, kh_wx_tele, kh_wx_hj, kh_wx_czr, kh_wx_txdate, kh_wx_date, "
                       "kh_wx_wxjs) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
        {NewRecordKey(), order.number, storedPlate, order.owner, order.model, order.telephone,
         order.total, order.operatorName, DateText(order.nextReminder), date, order.technician});
    if (header.isNull()) {
        return Result::failure(header.error());
    }
    for (const OrderLine& line : order.lines) {
        const Recordset added = RunSql(
            QStringLiteral("insert into kh_wx_mx_table (kh_wx_mx_code, kh_wx_mx_dh, kh_wx_mx_cph, "
                           "kh_wx_mx_czname, kh_wx_mx_cx, kh_wx_mx_tele, kh_wx_mx_czr, "
                           "kh_wx_mx_date, kh_wx_mx_wxjs, kh_wx_mx_xm, kh_wx_mx_xmsm, kh_wx_mx_sl, "
                           "kh_wx_mx_dj, kh_wx_mx_hj) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, "
                           "?, ?)"),
            {NewRecordKey(), order.number, storedPlate, order.owner, order.model, order.telephone,
             order.operatorName, date, order.technician, line.item, line.description, line.quantity,
             line.unitPrice, line.amount});
        if (added.isNull()) {
            return Result::failure(added.error());
        }
    }
    if (const DbStatus committed = transaction.commit(); !committed) {
        return Result::failure(committed.error());
    }
    DataChanges::orderSaved(storedPlate);
    DataChanges::customersChanged();
    return SavedOrder{OrderSave::Saved, order.number};
}
