#include "reports/statistics.h"

#include <cmath>

#include <charconv>

#include "core/date_text.h"
#include "core/number_text.h"
#include "data/run_sql.h"
#include "masterdata/shop_profile.h"

namespace {

const QString kAmountFormat = QStringLiteral("########0.00");

StatisticsColumn Column(const char16_t* heading, const char* field, int width,
                        ColumnFormat format = ColumnFormat::AsStored) {
    return {QString::fromUtf16(heading), QLatin1String(field), width, format};
}

// The order lists of turnover and technician statistics show the same columns.
QList<StatisticsColumn> OrderColumns() {
    return {Column(u"", "kh_wx_code", 0),
            Column(u"日期", "kh_wx_date", 85),
            Column(u"单号", "kh_wx_dh", 110),
            Column(u"车牌号", "kh_wx_cph", 100),
            Column(u"车主姓名", "kh_wx_czname", 70),
            Column(u"电话", "kh_wx_tele", 120),
            Column(u"车型", "kh_wx_cx", 80),
            Column(u"金额", "kh_wx_hj", 80, ColumnFormat::Amount),
            Column(u"维修技师", "kh_wx_wxjs", 80),
            Column(u"操作人", "kh_wx_czr", -1)};
}

StatisticsDescription OrderList() {
    StatisticsDescription d{};
    d.table = QStringLiteral("kh_wx_table");
    d.dateField = QStringLiteral("kh_wx_date");
    d.numberField = QStringLiteral("kh_wx_dh");
    d.plateField = QStringLiteral("kh_wx_cph");
    d.ownerField = QStringLiteral("kh_wx_czname");
    d.technicianField = QStringLiteral("kh_wx_wxjs");
    d.voidField = QStringLiteral("kh_wx_zf");
    d.columns = OrderColumns();
    d.amountColumn = 7;
    d.opensLines = true;
    return d;
}

StatisticsDescription Turnover() {
    StatisticsDescription d = OrderList();
    d.kind = StatisticsKind::Turnover;
    d.formName = QStringLiteral("Form19");
    d.caption = QStringLiteral("帐目统计");
    d.heading = QStringLiteral("账目统计管理");
    d.printCaption = QStringLiteral("打印预览");
    d.reportSuffix = QStringLiteral("营业统计报表");
    d.filters = kSearchFilter;
    d.modal = true;
    return d;
}

StatisticsDescription Technician() {
    StatisticsDescription d = OrderList();
    d.kind = StatisticsKind::Technician;
    d.formName = QStringLiteral("Form25");
    d.caption = QStringLiteral("维修技师统计");
    d.heading = QStringLiteral("维修技师统计管理");
    d.printCaption = QStringLiteral("打印预览");
    d.reportSuffix = QStringLiteral("维修技师统计报表");
    d.filters = kTechnicianFilter;
    d.modal = false;
    return d;
}

StatisticsDescription ItemDetail() {
    StatisticsDescription d{};
    d.kind = StatisticsKind::ItemDetail;
    d.formName = QStringLiteral("Form20");
    d.caption = QStringLiteral("明细统计");
    d.heading = QStringLiteral("明细统计管理");
    d.printCaption = QStringLiteral("打印");
    d.reportSuffix = QStringLiteral("营业明细统计报表");
    d.filters = kItemFilter | kSearchFilter;
    d.modal = true;
    d.opensLines = false;
    d.table = QStringLiteral("kh_wx_mx_table");
    d.dateField = QStringLiteral("kh_wx_mx_date");
    d.numberField = QStringLiteral("kh_wx_mx_dh");
    d.itemField = QStringLiteral("kh_wx_mx_xm");
    d.plateField = QStringLiteral("kh_wx_mx_cph");
    d.ownerField = QStringLiteral("kh_wx_mx_czname");
    d.voidField = QStringLiteral("kh_wx_mx_zf");
    d.columns = {Column(u"", "kh_wx_mx_code", 0),
                 Column(u"日期", "kh_wx_mx_date", 72),
                 Column(u"单号", "kh_wx_mx_dh", 75),
                 Column(u"车牌号", "kh_wx_mx_cph", 60),
                 Column(u"车主姓名", "kh_wx_mx_czname", 74),
                 Column(u"电话", "kh_wx_mx_tele", 115),
                 Column(u"维修项目", "kh_wx_mx_xm", 80),
                 Column(u"项目说明", "kh_wx_mx_xmsm", 119),
                 Column(u"数量", "kh_wx_mx_sl", 38, ColumnFormat::Quantity),
                 Column(u"单价", "kh_wx_mx_dj", 62, ColumnFormat::Amount),
                 Column(u"金额", "kh_wx_mx_hj", 61, ColumnFormat::Amount),
                 Column(u"操作人", "kh_wx_mx_czr", -1)};
    d.amountColumn = 10;
    d.reportFontSize = 9;
    d.landscape = true;
    return d;
}

// A stored number as text; anything that does not start with a number counts as 0, as a
// missing amount does.
bool ParseNumber(QByteArrayView text, double* value) {
    const char* begin = text.data();
    const char* end = begin + text.size();
    while (begin != end && (*begin == ' ' || *begin == '+')) {
        ++begin;
    }
    *value = 0;
    if (begin == end) {
        return false;
    }
    const auto result = std::from_chars(begin, end, *value);
    if (result.ec != std::errc()) {
        *value = 0;
        return false;
    }
    return true;
}

}  // namespace

const StatisticsDescription& DescribeStatistics(StatisticsKind kind) {
    static const StatisticsDescription turnover = Turnover();
    static const StatisticsDescription itemDetail = ItemDetail();
    static const StatisticsDescription technician = Technician();
    switch (kind) {
        case StatisticsKind::ItemDetail:
            return itemDetail;
        case StatisticsKind::Technician:
            return technician;
        case StatisticsKind::Turnover:
            break;
    }
    return turnover;
}

namespace {

// The filters a list applies besides its dates: the field (or fields) a text must be part of.
// A filter left empty selects every row, so it is left out of the statement.
struct TextFilter {
    QStringList fields;
    QString text;
};

QList<TextFilter> TextFilters(const StatisticsDescription& d, const StatisticsFilter& filter) {
    QList<TextFilter> filters;
    if ((d.filters & kItemFilter) && !filter.item.isEmpty()) {
        filters.append({{d.itemField}, filter.item});
    }
    if ((d.filters & kSearchFilter) && !filter.search.isEmpty()) {
        filters.append({{d.plateField, d.ownerField}, filter.search});
    }
    if ((d.filters & kTechnicianFilter) && !filter.technician.isEmpty()) {
        filters.append({{d.technicianField}, filter.technician});
    }
    return filters;
}

}  // namespace

QString StatisticsSource(const StatisticsDescription& d, const StatisticsFilter& filter) {
    QString sql = QStringLiteral("from %1 where %2 >= ? and %2 <= ? and %3 = '0'")
                      .arg(d.table, d.dateField, d.voidField);
    const QString like = QStringLiteral(" like ? escape '\\'");
    for (const TextFilter& text : TextFilters(d, filter)) {
        QStringList any;
        for (const QString& field : text.fields) {
            any << field + like;
        }
        sql += QStringLiteral(" and (") + any.join(QStringLiteral(" or ")) + QLatin1Char(')');
    }
    return sql;
}

QString StatisticsStatement(const StatisticsDescription& d, const StatisticsFilter& filter) {
    QStringList fields;
    for (const StatisticsColumn& column : d.columns) {
        fields << column.field;
    }
    return QStringLiteral("select %1 ").arg(fields.join(QStringLiteral(", "))) +
           StatisticsSource(d, filter) + StatisticsOrder(d);
}

QString StatisticsOrder(const StatisticsDescription& d) {
    // Time order: a longer day sequence after a shorter one (1000 after 999), then as saved.
    return QStringLiteral(" order by %1, length(%2), %2, rowid").arg(d.dateField, d.numberField);
}

QVariantList StatisticsParameters(const StatisticsDescription& d, const StatisticsFilter& filter) {
    QVariantList params{DateText(filter.from), DateText(filter.to)};
    for (const TextFilter& text : TextFilters(d, filter)) {
        for (qsizetype i = 0; i < text.fields.size(); ++i) {
            params << ContainsPattern(text.text);
        }
    }
    return params;
}

QString AmountText(double value) {
    return FormatAmount(value, kAmountFormat);
}

qint64 AmountCents(const QString& shown) {
    qint64 cents = 0;
    bool negative = false;
    int decimals = -1;
    for (const QChar c : shown) {
        if (c == QLatin1Char('-')) {
            negative = true;
        } else if (c == QLatin1Char('.')) {
            decimals = 0;
        } else if (c.isDigit() && decimals < 2) {
            cents = cents * 10 + c.digitValue();
            if (decimals >= 0) {
                ++decimals;
            }
        }
    }
    for (int d = std::max(decimals, 0); d < 2; ++d) {
        cents *= 10;
    }
    return negative ? -cents : cents;
}

QString CentsText(qint64 cents) {
    const bool negative = cents < 0;
    const quint64 magnitude = negative ? quint64(-(cents + 1)) + 1 : quint64(cents);
    QString text = QString::number(magnitude / 100) + QLatin1Char('.') +
                   QStringLiteral("%1").arg(magnitude % 100, 2, 10, QLatin1Char('0'));
    return negative ? QLatin1Char('-') + text : text;
}

qint64 StoredAmountCents(QByteArrayView stored) {
    double value = 0;
    ParseNumber(stored, &value);
    return ValueCents(value);
}

qint64 ValueCents(double value) {
    // Away from a half cent, rounding the scaled value is what the text shows: the 15 digits the
    // text keeps move it by far less than the margin below amounts of 100 million. Anything
    // else goes the long way, through the text.
    const double scaled = value * 100;
    if (std::fabs(scaled) < 1e10) {
        const double fraction = scaled - std::floor(scaled);
        if (std::fabs(fraction - 0.5) > 1e-3) {
            return std::llround(scaled);
        }
    }
    return AmountCents(AmountText(value));
}

void AppendCentsText(qint64 cents, QByteArray& out) {
    const bool negative = cents < 0;
    quint64 magnitude = negative ? quint64(-(cents + 1)) + 1 : quint64(cents);
    char digits[24];
    char* at = digits + sizeof digits;
    for (int place = 0; place < 3 || magnitude > 0; ++place) {
        if (place == 2) {
            *--at = '.';
        }
        *--at = char('0' + magnitude % 10);
        magnitude /= 10;
    }
    if (negative) {
        *--at = '-';
    }
    out.append(at, digits + sizeof digits - at);
}

QByteArray ShownNumber(double value) {
    QByteArray shown;
    AppendCentsText(ValueCents(value), shown);
    return shown;
}

QByteArray ShownValue(ColumnFormat format, QByteArrayView stored) {
    double value = 0;
    switch (format) {
        case ColumnFormat::AsStored:
            break;
        case ColumnFormat::Amount:
            ParseNumber(stored, &value);
            return ShownNumber(value);
        case ColumnFormat::Quantity:
            // A quantity another tool stored as words is shown as it stands.
            if (ParseNumber(stored, &value) || stored.isEmpty()) {
                return ShownNumber(value);
            }
            break;
    }
    return stored.toByteArray();
}

QString StatisticsSummary::totalText() const {
    return CentsText(totalCents);
}

DbResult<StatisticsSummary> ReadStatistics(const StatisticsDescription& d,
                                           const StatisticsFilter& filter,
                                           const StatisticsRowSink& sink) {
    Recordset rs = RunSql(StatisticsStatement(d, filter), StatisticsParameters(d, filter));
    if (rs.isNull()) {
        return DbResult<StatisticsSummary>::failure(rs.error());
    }
    const int count = int(d.columns.size());
    QList<QByteArray> held(count);
    QList<QByteArrayView> cells(count);
    StatisticsSummary summary;
    QByteArray lastDay;
    for (; !rs.Eof(); rs.MoveNext()) {
        qint64 rowCents = 0;
        for (int c = 0; c < count; ++c) {
            const QByteArray raw = rs.Utf8(c);
            held[c] = ShownValue(d.columns[c].format, raw);
            if (c == d.amountColumn) {
                rowCents = AmountCents(QString::fromLatin1(held[c]));
            }
            cells[c] = held[c];
        }
        ++summary.rows;
        summary.totalCents += rowCents;
        const QByteArray& day = held[d.dateColumn];
        if (summary.days.isEmpty() || day != lastDay) {
            lastDay = QByteArray(day.constData(), day.size());
            summary.days.append({ParseDateText(QString::fromUtf8(lastDay)), 0});
        }
        summary.days.last().cents += rowCents;
        if (sink) {
            sink(cells);
        }
    }
    rs.Close();
    // A walk that stopped on an error has not read every row.
    if (!rs.error().isEmpty()) {
        return DbResult<StatisticsSummary>::failure(rs.error());
    }
    return summary;
}

DbResult<StatisticsResult> RunStatistics(const StatisticsDescription& d,
                                         const StatisticsFilter& filter) {
    StatisticsResult result;
    const DbResult<StatisticsSummary> summary =
        ReadStatistics(d, filter, [&result](const QList<QByteArrayView>& cells) {
            QStringList texts;
            texts.reserve(cells.size());
            for (QByteArrayView cell : cells) {
                texts << QString::fromUtf8(cell);
            }
            result.rows << texts;
        });
    if (!summary) {
        return DbResult<StatisticsResult>::failure(summary.error());
    }
    result.summary = *summary;
    return result;
}

QList<ChartBar> TurnoverBars(const QList<DayAmount>& days) {
    QList<ChartBar> bars;
    QDate first;
    QDate last;
    for (const DayAmount& day : days) {
        if (day.day.isValid()) {
            first = first.isValid() ? std::min(first, day.day) : day.day;
            last = last.isValid() ? std::max(last, day.day) : day.day;
        }
    }
    if (!first.isValid()) {
        return bars;
    }
    const bool daily = first.daysTo(last) < kMaxDailyBars;
    auto bucket = [&](const QDate& date) {
        return daily ? int(first.daysTo(date))
                     : (date.year() - first.year()) * 12 + date.month() - first.month();
    };
    const int count = bucket(last) + 1;
    bars.resize(count);
    for (int i = 0; i < count; ++i) {
        const QDate start =
            daily ? first.addDays(i) : QDate(first.year(), first.month(), 1).addMonths(i);
        bars[i].label = start.toString(daily ? QStringLiteral("MM-dd") : QStringLiteral("yyyy-MM"));
    }
    for (const DayAmount& day : days) {
        if (day.day.isValid()) {
            bars[bucket(day.day)].amount += double(day.cents) / 100.0;
        }
    }
    return bars;
}

DbResult<QString> ReadShopName() {
    const DbResult<ShopProfile> shop = ReadShopProfile();
    if (!shop) {
        return DbResult<QString>::failure(shop.error());
    }
    return ShopNameOnPaper(shop->name);
}

AmountAxis RoundAmountAxis(double top) {
    constexpr int kMaxTicks = 6;
    if (!(top > 0) || !std::isfinite(top)) {
        return {};
    }
    double power = std::pow(10.0, std::floor(std::log10(top / kMaxTicks)));
    for (;; power *= 10) {
        for (double factor : {1.0, 2.0, 2.5, 5.0}) {
            const double step = factor * power;
            // Below one yuan a tick would need decimals that the labels do not show.
            if (step < 1 || std::ceil(top / step) > kMaxTicks) {
                continue;
            }
            return {std::ceil(top / step) * step, step};
        }
    }
}

QString AmountTickText(double amount) {
    QString digits = QString::number(qint64(std::llround(amount)));
    for (qsizetype at = digits.size() - 3; at > (digits.startsWith(QLatin1Char('-')) ? 1 : 0);
         at -= 3) {
        digits.insert(at, QLatin1Char(','));
    }
    return digits;
}
