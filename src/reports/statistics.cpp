#include "reports/statistics.h"

#include <cmath>

#include <charconv>

#include "core/date_text.h"
#include "core/number_text.h"
#include "data/run_sql.h"
#include "masterdata/shop_profile.h"

namespace {

const QString kAmountFormat = QStringLiteral("########0.00");
const QString kQuantityFormat = QStringLiteral("#######0.00");

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

QString StatisticsSource(const StatisticsDescription& d) {
    QString sql = QStringLiteral("from %1 where %2 >= ? and %2 <= ?").arg(d.table, d.dateField);
    const QString like = QStringLiteral(" like ? escape '\\'");
    if (d.filters & kItemFilter) {
        sql += QStringLiteral(" and ") + d.itemField + like;
    }
    if (d.filters & kSearchFilter) {
        sql += QStringLiteral(" and (") + d.plateField + like + QStringLiteral(" or ") +
               d.ownerField + like + QLatin1Char(')');
    }
    if (d.filters & kTechnicianFilter) {
        sql += QStringLiteral(" and ") + d.technicianField + like;
    }
    return sql;
}

QString StatisticsStatement(const StatisticsDescription& d) {
    QStringList fields;
    for (const StatisticsColumn& column : d.columns) {
        fields << column.field;
    }
    QString sql =
        QStringLiteral("select %1 ").arg(fields.join(QStringLiteral(", "))) + StatisticsSource(d);
    // Time order: a longer day sequence after a shorter one (1000 after 999), then as saved.
    sql += QStringLiteral(" order by %1, length(%2), %2, rowid").arg(d.dateField, d.numberField);
    return sql;
}

QVariantList StatisticsParameters(const StatisticsDescription& d, const StatisticsFilter& filter) {
    QVariantList params{DateText(filter.from), DateText(filter.to)};
    if (d.filters & kItemFilter) {
        params << ContainsPattern(filter.item);
    }
    if (d.filters & kSearchFilter) {
        params << ContainsPattern(filter.search) << ContainsPattern(filter.search);
    }
    if (d.filters & kTechnicianFilter) {
        params << ContainsPattern(filter.technician);
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
    return AmountCents(AmountText(value));
}

QString StatisticsSummary::totalText() const {
    return CentsText(totalCents);
}

DbResult<StatisticsSummary> ReadStatistics(const StatisticsDescription& d,
                                           const StatisticsFilter& filter,
                                           const StatisticsRowSink& sink) {
    Recordset rs = RunSql(StatisticsStatement(d), StatisticsParameters(d, filter));
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
            QByteArray raw = rs.Utf8(c);
            double value = 0;
            switch (d.columns[c].format) {
                case ColumnFormat::AsStored:
                    held[c] = std::move(raw);
                    break;
                case ColumnFormat::Amount: {
                    ParseNumber(raw, &value);
                    const QString shown = AmountText(value);
                    if (c == d.amountColumn) {
                        rowCents = AmountCents(shown);
                    }
                    held[c] = shown.toLatin1();
                    break;
                }
                case ColumnFormat::Quantity:
                    // A quantity another tool stored as words is shown as it stands.
                    if (ParseNumber(raw, &value) || raw.isEmpty()) {
                        held[c] = FormatAmount(value, kQuantityFormat).toLatin1();
                    } else {
                        held[c] = std::move(raw);
                    }
                    break;
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
