#include "reports/report_layout.h"

#include "core/date_text.h"
#include "reports/statistics.h"

namespace {

const QString kTotalCaption = QStringLiteral("合计:");
constexpr double kTitleFontSize = 18;
constexpr double kRangeFontSize = 10;
constexpr double kHeadingFontSize = 11;
constexpr double kTotalFontSize = 12;
constexpr double kFooterFontSize = 10;
constexpr double kSummaryCaptionFontSize = 12;

// Where each part of a report starts: row numbers from 1; 0 for a part the report lacks.
struct Plan {
    int range = 0;
    int heading = 0;
    int firstData = 0;
    int total = 0;
    int footer = 0;
    int summaryCaption = 0;
    int summaryHeading = 0;
    int firstSummaryData = 0;
    int summaryTotal = 0;
    int count = 0;
};

Plan PlanOf(const Report& report) {
    Plan plan;
    int next = 2;
    if (!report.range.isEmpty()) {
        plan.range = next++;
    }
    const int dataRows = report.rows ? report.rows->count() : 0;
    if (dataRows > 0) {
        plan.heading = next++;
        plan.firstData = next;
        next += dataRows;
    }
    plan.total = next++;
    plan.footer = next++;
    if (!report.summary.rows.isEmpty() && !report.summary.columns.isEmpty()) {
        plan.summaryCaption = next++;
        plan.summaryHeading = next++;
        plan.firstSummaryData = next;
        next += int(report.summary.rows.size());
        if (!report.summary.total.isEmpty()) {
            plan.summaryTotal = next++;
        }
    }
    plan.count = next - 1;
    return plan;
}

QStringList Blank(qsizetype columns) {
    return QStringList(columns, QString());
}

// A list of `count` texts: those of `cells`, cut or filled with empty ones.
QStringList Fitted(QStringList cells, qsizetype count) {
    cells.resize(count);
    return cells;
}

}  // namespace

QString WorksheetName(const QString& wanted) {
    // A workbook refuses these in a sheet's name, and a name longer than 31 characters.
    static const QString refused = QStringLiteral("[]:*?/\\");
    QString name;
    for (const QChar c : wanted.trimmed()) {
        if (!refused.contains(c) && c.isPrint()) {
            name += c;
        }
    }
    // An apostrophe may not open or close the name.
    while (name.startsWith(QLatin1Char('\''))) {
        name.remove(0, 1);
    }
    name.truncate(31);
    while (name.endsWith(QLatin1Char('\''))) {
        name.chop(1);
    }
    return name.isEmpty() ? QStringLiteral("报表") : name;
}

QString ReportTitle(const QString& shopName, const QString& suffix) {
    return shopName + suffix;
}

QString ReportRangeText(const QDate& from, const QDate& to) {
    return QStringLiteral("统计日期：") + DateText(from) + QStringLiteral(" 至 ") + DateText(to);
}

QString ReportFooter(const QString& operatorName, const QDateTime& printedAt) {
    return QStringLiteral("制表人:[ ") + operatorName + QStringLiteral(" ]         打印时间:[") +
           DateText(printedAt.date()) + QLatin1Char(' ') +
           printedAt.time().toString(QStringLiteral("HH:mm:ss")) + QLatin1Char(']');
}

std::shared_ptr<const ReportRows> NoReportRows() {
    static const std::shared_ptr<const ReportRows> none = ListReportRows({});
    return none;
}

Report StatisticsReport(const StatisticsDescription& description, const QString& shopName,
                        std::shared_ptr<const ReportRows> rows, const QString& totalText,
                        const QString& operatorName, const QDateTime& printedAt,
                        const QList<int>& widths) {
    Report report;
    report.title = ReportTitle(shopName, description.reportSuffix);
    report.sheetName = description.reportSuffix;
    const int count = int(description.columns.size());
    for (int c = 1; c < count; ++c) {
        const StatisticsColumn& column = description.columns[c];
        int width = c < widths.size() ? widths[c] : column.width;
        if (width < 0) {
            width = kDefaultColumnWidth;
        }
        report.columns.append({column.heading, width, column.format != ColumnFormat::AsStored});
    }
    report.rows = rows ? std::move(rows) : NoReportRows();
    report.totalColumn = description.amountColumn - 1;
    report.totalText = totalText;
    report.footer = ReportFooter(operatorName, printedAt);
    report.dataFontSize = description.reportFontSize;
    report.landscape = description.landscape;
    return report;
}

bool IsSummaryRow(ReportRowKind kind) {
    switch (kind) {
        case ReportRowKind::SummaryCaption:
        case ReportRowKind::SummaryHeading:
        case ReportRowKind::SummaryData:
        case ReportRowKind::SummaryTotal:
            return true;
        default:
            return false;
    }
}

int ReportRowCount(const Report& report) {
    return PlanOf(report).count;
}

ReportRow ReportRowAt(const Report& report, int number) {
    ReportRow row = ReportRowFrame(report, number);
    const int index = ReportDataIndex(report, number);
    if (index >= 0) {
        row.cells = Fitted(ReportRowTexts(*report.rows, index), row.cells.size());
    }
    return row;
}

int ReportDataIndex(const Report& report, int number) {
    const Plan plan = PlanOf(report);
    const int index = number - plan.firstData;
    return plan.firstData > 0 && index >= 0 && number < plan.total ? index : -1;
}

int ReportRowHeight(const Report& report, int number) {
    const Plan plan = PlanOf(report);
    if (number == 1) {
        return kTitleHeight;
    }
    if (number == plan.range) {
        return kRangeHeight;
    }
    if (number == plan.heading || number == plan.summaryHeading) {
        return kHeadingHeight;
    }
    if (number == plan.total || number == plan.summaryTotal) {
        return kTotalHeight;
    }
    if (number == plan.footer) {
        return kFooterHeight;
    }
    if (number == plan.summaryCaption) {
        return kSummaryCaptionHeight;
    }
    return kDataHeight;
}

ReportRow ReportRowFrame(const Report& report, int number) {
    const Plan plan = PlanOf(report);
    const qsizetype columns = report.columns.size();
    const ReportSummary& summary = report.summary;
    ReportRow row;
    row.number = number;
    row.cells = Blank(columns);
    auto setFirst = [&row](const QString& text) {
        if (!row.cells.isEmpty()) {
            row.cells[0] = text;
        }
    };
    if (number == 1) {
        row.kind = ReportRowKind::Title;
        row.height = kTitleHeight;
        row.fontSize = kTitleFontSize;
        row.bold = true;
        row.merged = true;
        row.songFace = true;
        setFirst(report.title);
    } else if (number == plan.range) {
        row.kind = ReportRowKind::Range;
        row.height = kRangeHeight;
        row.fontSize = kRangeFontSize;
        row.merged = true;
        setFirst(report.range);
    } else if (number == plan.heading) {
        row.kind = ReportRowKind::Heading;
        row.height = kHeadingHeight;
        row.fontSize = kHeadingFontSize;
        row.bold = true;
        row.shaded = true;
        for (int c = 0; c < columns; ++c) {
            row.cells[c] = report.columns[c].heading;
        }
    } else if (number == plan.total) {
        row.kind = ReportRowKind::Total;
        row.height = kTotalHeight;
        row.fontSize = kTotalFontSize;
        row.bold = true;
        row.shaded = true;
        setFirst(kTotalCaption);
        if (report.totalColumn >= 0 && report.totalColumn < row.cells.size()) {
            row.cells[report.totalColumn] = report.totalText;
        }
    } else if (number == plan.footer) {
        row.kind = ReportRowKind::Footer;
        row.height = kFooterHeight;
        row.fontSize = kFooterFontSize;
        row.merged = true;
        setFirst(report.footer);
    } else if (number == plan.summaryCaption) {
        row.kind = ReportRowKind::SummaryCaption;
        row.height = kSummaryCaptionHeight;
        row.fontSize = kSummaryCaptionFontSize;
        row.bold = true;
        row.merged = true;
        row.cells = Fitted({summary.caption}, summary.columns.size());
    } else if (number == plan.summaryHeading) {
        row.kind = ReportRowKind::SummaryHeading;
        row.height = kHeadingHeight;
        row.fontSize = kHeadingFontSize;
        row.bold = true;
        row.shaded = true;
        row.cells.clear();
        for (const ReportColumn& column : summary.columns) {
            row.cells << column.heading;
        }
    } else if (number == plan.summaryTotal) {
        row.kind = ReportRowKind::SummaryTotal;
        row.height = kTotalHeight;
        row.fontSize = kTotalFontSize;
        row.bold = true;
        row.shaded = true;
        row.cells = Fitted(summary.total, summary.columns.size());
    } else if (plan.firstSummaryData > 0 && number >= plan.firstSummaryData &&
               number < plan.firstSummaryData + summary.rows.size()) {
        row.kind = ReportRowKind::SummaryData;
        row.height = kDataHeight;
        row.fontSize = kHeadingFontSize;
        row.cells = Fitted(summary.rows[number - plan.firstSummaryData], summary.columns.size());
    } else {
        row.kind = ReportRowKind::Data;
        row.height = kDataHeight;
        row.fontSize = report.dataFontSize;
    }
    return row;
}

int ReportWidth(const Report& report) {
    int width = 0;
    for (const ReportColumn& column : report.columns) {
        width += column.width;
    }
    return width;
}

namespace {

// Fills pages with runs of rows: each run starts with rows that stay together (a heading, a
// caption) and repeats `repeated` on every page it continues on.
class PageFiller {
public:
    PageFiller(const Report& report, double pageHeight)
        : report_(report), pageHeight_(pageHeight) {}

    void add(int number) {
        page_.rows << number;
        used_ += height(number);
    }
    double height(int number) const { return ReportRowHeight(report_, number); }
    bool fits(double needed) const { return used_ + needed <= pageHeight_; }
    bool empty() const { return page_.rows.isEmpty(); }
    void newPage() {
        pages_ << page_;
        page_ = ReportPage();
        used_ = 0;
    }
    // Data rows `first` to `last`, the page broken between them; `tail` (a height) stays with
    // the last row. A page that holds none of them yet takes one whatever its height.
    void addRun(int first, int last, int repeated, double tail, bool onFreshPage) {
        int onPage = onFreshPage ? 0 : 1;
        for (int number = first; number <= last; ++number) {
            const double needed = height(number) + (number == last ? tail : 0);
            if (onPage > 0 && !fits(needed)) {
                newPage();
                add(repeated);
                onPage = 0;
            }
            add(number);
            ++onPage;
        }
    }
    QList<ReportPage> finish() {
        if (!page_.rows.isEmpty()) {
            pages_ << page_;
        }
        return pages_;
    }

private:
    const Report& report_;
    double pageHeight_;
    QList<ReportPage> pages_;
    ReportPage page_;
    double used_ = 0;
};

}  // namespace

QList<ReportPage> PaginateReport(const Report& report, double pageHeight) {
    const Plan plan = PlanOf(report);
    PageFiller filler(report, pageHeight);
    filler.add(1);
    if (plan.range > 0) {
        filler.add(plan.range);
    }
    if (plan.heading > 0) {
        filler.add(plan.heading);
        filler.addRun(plan.firstData, plan.total - 1, plan.heading,
                      filler.height(plan.total) + filler.height(plan.footer), true);
    }
    filler.add(plan.total);
    filler.add(plan.footer);
    if (plan.summaryCaption > 0) {
        const int last = plan.firstSummaryData + int(report.summary.rows.size()) - 1;
        const double tail = plan.summaryTotal > 0 ? filler.height(plan.summaryTotal) : 0;
        const double start =
            filler.height(plan.summaryCaption) + filler.height(plan.summaryHeading) +
            filler.height(plan.firstSummaryData) + (last == plan.firstSummaryData ? tail : 0);
        if (!filler.fits(start)) {
            filler.newPage();
        }
        filler.add(plan.summaryCaption);
        filler.add(plan.summaryHeading);
        filler.addRun(plan.firstSummaryData, last, plan.summaryHeading, tail, true);
        if (plan.summaryTotal > 0) {
            filler.add(plan.summaryTotal);
        }
    }
    return filler.finish();
}

QString PageNumberText(int page, int pageCount) {
    return QStringLiteral("第 %1 页 / 共 %2 页").arg(page).arg(pageCount);
}
