#include "reports/report_layout.h"

#include "core/date_text.h"
#include "reports/statistics.h"

namespace {

const QString kTotalCaption = QStringLiteral("合计:");
constexpr double kTitleFontSize = 18;
constexpr double kHeadingFontSize = 11;
constexpr double kTotalFontSize = 12;
constexpr double kFooterFontSize = 10;

bool HasData(const Report& report) {
    return !report.rows.isEmpty();
}

// Row numbers: 1 title, then (with data) 2 heading and the data rows, then total and footer.
int FirstDataRow() {
    return 3;
}

int TotalRow(const Report& report) {
    return HasData(report) ? FirstDataRow() + int(report.rows.size()) : 2;
}

QStringList Blank(const Report& report) {
    return QStringList(report.columns.size(), QString());
}

}  // namespace

QString ReportTitle(const QString& shopName, const QString& suffix) {
    return shopName + suffix;
}

QString ReportFooter(const QString& operatorName, const QDateTime& printedAt) {
    return QStringLiteral("制表人:[ ") + operatorName + QStringLiteral(" ]         打印时间:[") +
           DateText(printedAt.date()) + QLatin1Char(' ') +
           printedAt.time().toString(QStringLiteral("HH:mm:ss")) + QLatin1Char(']');
}

Report StatisticsReport(const StatisticsDescription& description, const QString& shopName,
                        const QList<QStringList>& listRows, const QString& totalText,
                        const QString& operatorName, const QDateTime& printedAt,
                        const QList<int>& widths) {
    Report report;
    report.title = ReportTitle(shopName, description.reportSuffix);
    const int count = int(description.columns.size());
    for (int c = 1; c < count; ++c) {
        const StatisticsColumn& column = description.columns[c];
        int width = c < widths.size() ? widths[c] : column.width;
        if (width < 0) {
            width = kDefaultColumnWidth;
        }
        report.columns.append({column.heading, width, column.format != ColumnFormat::AsStored});
    }
    report.rows.reserve(listRows.size());
    for (const QStringList& row : listRows) {
        QStringList cells = row.mid(1, count - 1);
        while (cells.size() < count - 1) {
            cells.append(QString());
        }
        report.rows.append(cells);
    }
    report.totalColumn = description.amountColumn - 1;
    report.totalText = totalText;
    report.footer = ReportFooter(operatorName, printedAt);
    report.dataFontSize = description.reportFontSize;
    report.landscape = description.landscape;
    return report;
}

int ReportRowCount(const Report& report) {
    return TotalRow(report) + 1;
}

ReportRow ReportRowAt(const Report& report, int number) {
    ReportRow row;
    row.number = number;
    row.cells = Blank(report);
    const int total = TotalRow(report);
    if (number == 1) {
        row.kind = ReportRowKind::Title;
        row.height = kTitleHeight;
        row.fontSize = kTitleFontSize;
        row.bold = true;
        row.merged = true;
        row.songFace = true;
        if (!row.cells.isEmpty()) {
            row.cells[0] = report.title;
        }
    } else if (number == total) {
        row.kind = ReportRowKind::Total;
        row.height = kTotalHeight;
        row.fontSize = kTotalFontSize;
        row.bold = true;
        row.shaded = true;
        if (!row.cells.isEmpty()) {
            row.cells[0] = kTotalCaption;
        }
        if (report.totalColumn >= 0 && report.totalColumn < row.cells.size()) {
            row.cells[report.totalColumn] = report.totalText;
        }
    } else if (number == total + 1) {
        row.kind = ReportRowKind::Footer;
        row.height = kFooterHeight;
        row.fontSize = kFooterFontSize;
        row.merged = true;
        if (!row.cells.isEmpty()) {
            row.cells[0] = report.footer;
        }
    } else if (number == 2) {
        row.kind = ReportRowKind::Heading;
        row.height = kHeadingHeight;
        row.fontSize = kHeadingFontSize;
        row.bold = true;
        row.shaded = true;
        for (int c = 0; c < report.columns.size(); ++c) {
            row.cells[c] = report.columns[c].heading;
        }
    } else {
        row.kind = ReportRowKind::Data;
        row.height = kDataHeight;
        row.fontSize = report.dataFontSize;
        const int index = number - FirstDataRow();
        if (index >= 0 && index < report.rows.size()) {
            row.cells = report.rows[index];
        }
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

QList<ReportPage> PaginateReport(const Report& report, double pageHeight) {
    const int total = TotalRow(report);
    const double tail = kTotalHeight + kFooterHeight;
    QList<ReportPage> pages;
    ReportPage page;
    page.rows << 1;
    double used = kTitleHeight;
    if (!HasData(report)) {
        page.rows << total << total + 1;
        pages << page;
        return pages;
    }
    page.rows << 2;
    used += kHeadingHeight;
    int onPage = 0;
    for (int number = FirstDataRow(); number < total; ++number) {
        const bool last = number == total - 1;
        const double needed = kDataHeight + (last ? tail : 0);
        if (onPage > 0 && used + needed > pageHeight) {
            pages << page;
            page = ReportPage();
            page.rows << 2;
            used = kHeadingHeight;
            onPage = 0;
        }
        page.rows << number;
        used += kDataHeight;
        ++onPage;
    }
    page.rows << total << total + 1;
    pages << page;
    return pages;
}

QString PageNumberText(int page, int pageCount) {
    return QStringLiteral("第 %1 页 / 共 %2 页").arg(page).arg(pageCount);
}
