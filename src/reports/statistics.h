#pragma once

#include <QByteArrayView>
#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <functional>

#include "data/db_result.h"

// The three statistics lists: orders by date and plate or owner, order lines by item, and
// orders by technician. One description per list says what it reads, how its columns look
// and how its printed report differs; the windows and the report are built from it.
enum class StatisticsKind { Turnover, ItemDetail, Technician };

// How a column's stored value becomes its text.
enum class ColumnFormat { AsStored, Amount, Quantity };

struct StatisticsColumn {
    QString heading;
    QString field;  // the stored column it shows
    int width;      // in pixels; 0 hides it, -1 leaves the list's default
    ColumnFormat format = ColumnFormat::AsStored;
};

// Which filters a list offers besides its date range.
enum StatisticsFilterKind {
    kItemFilter = 1,        // the repair item name contains a text
    kSearchFilter = 2,      // the plate or the owner name contains a text
    kTechnicianFilter = 4,  // the technician name contains a text
};

struct StatisticsDescription {
    StatisticsKind kind;
    QString formName;
    QString caption;
    QString heading;
    QString printCaption;  // the caption of the report button
    QString reportSuffix;  // follows the shop name in the report's title
    int filters = 0;
    bool modal = true;
    bool opensLines = false;  // a row double-click shows the order's lines
    QString table;
    QString dateField;
    QString numberField;
    QString itemField;
    QString plateField;
    QString ownerField;
    QString technicianField;
    QString voidField;  // '1' marks a voided order's rows, which no list counts
    QList<StatisticsColumn> columns;
    int amountColumn = 0;  // the column that is summed, and receives the report's total
    int dateColumn = 1;
    int numberColumn = 2;
    double reportFontSize = 11;  // points, of the report's data rows
    bool landscape = false;
};

const StatisticsDescription& DescribeStatistics(StatisticsKind kind);

struct StatisticsFilter {
    QDate from;
    QDate to;
    QString item;
    QString search;
    QString technician;
};

// The amounts of one day of the listed rows.
struct DayAmount {
    QDate day;
    qint64 cents = 0;
};

struct StatisticsSummary {
    qint64 rows = 0;
    // The sum of the amounts as listed, each rounded to cents, so the total always adds up to
    // what the rows show.
    qint64 totalCents = 0;
    // Amounts per listed day, in date order; days without a row are left out.
    QList<DayAmount> days;

    QString totalText() const;
};

// One listed row while it is read: the text of each column in UTF-8, valid during the call.
using StatisticsRowSink = std::function<void(const QList<QByteArrayView>& cells)>;

// Reads the rows the filter selects, in time order (by date, then order number, then as
// saved), handing each to `sink` as it is read. The filter texts match anywhere in their
// column and are taken literally; the dates are compared with the stored date texts, both ends
// included. A stored amount that is missing or not a number counts as 0.
DbResult<StatisticsSummary> ReadStatistics(const StatisticsDescription& description,
                                           const StatisticsFilter& filter,
                                           const StatisticsRowSink& sink);

// The same, collected: every row's column texts.
struct StatisticsResult {
    QList<QStringList> rows;
    StatisticsSummary summary;
};
DbResult<StatisticsResult> RunStatistics(const StatisticsDescription& description,
                                         const StatisticsFilter& filter);

// The statement ReadStatistics runs, with its values in order; for measuring it elsewhere.
QString StatisticsStatement(const StatisticsDescription& description,
                            const StatisticsFilter& filter);
// Its table and its conditions ("from ... where ..."), which the parameters fill; a summary of
// the listed rows selects them with the same text. A filter text left empty has no condition;
// the rows of voided orders are always left out.
QString StatisticsSource(const StatisticsDescription& description, const StatisticsFilter& filter);
// " order by ...": the order the list shows its rows in.
QString StatisticsOrder(const StatisticsDescription& description);
QVariantList StatisticsParameters(const StatisticsDescription& description,
                                  const StatisticsFilter& filter);

// A stored amount as the lists show it ("########0.00"), and its value in cents.
QString AmountText(double value);
qint64 AmountCents(const QString& shown);
QString CentsText(qint64 cents);
// A stored amount in cents as a list shows it; missing or not a number counts as 0.
qint64 StoredAmountCents(QByteArrayView stored);
// The same for a stored number: the cents its amount text shows.
qint64 ValueCents(double value);
// A stored value as a list shows it in a column of `format` (UTF-8).
QByteArray ShownValue(ColumnFormat format, QByteArrayView stored);
// The same for a value the database holds as a number, in an amount or quantity column: both
// show two decimals, rounded as the amount text rounds them.
QByteArray ShownNumber(double value);
// A number of cents as an amount text ("-12.30"), appended to `out`.
void AppendCentsText(qint64 cents, QByteArray& out);

// Bars of the turnover chart: one a day for a short period, one a month for a longer one, so
// a year stays readable.
struct ChartBar {
    QString label;
    double amount = 0;
};
inline constexpr int kMaxDailyBars = 62;
QList<ChartBar> TurnoverBars(const QList<DayAmount>& days);

// The amount axis of the chart: ticks at round values (1, 2, 2.5 or 5 times a power of ten)
// from 0 to the first tick at or above `top`, at most about six of them.
struct AmountAxis {
    double max = 1;
    double step = 1;
};
AmountAxis RoundAmountAxis(double top);
// "5,000", "12,500": a tick's amount in whole yuan with thousands separated.
QString AmountTickText(double amount);

// The shop's name, printed at the head of every report: the name in the shop profile, or, while
// none is filled in, where to fill it in (ShopNameOnPaper).
DbResult<QString> ReadShopName();
