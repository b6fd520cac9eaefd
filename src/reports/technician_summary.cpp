#include "reports/technician_summary.h"

#include <QHash>
#include <algorithm>

#include "data/run_sql.h"
#include "reports/statistics.h"

namespace {

const QString kNoName = QStringLiteral("（未填写）");
const QString kCaption = QStringLiteral("维修技师汇总");
const QString kTotal = QStringLiteral("合计");

const StatisticsDescription& Technicians() {
    return DescribeStatistics(StatisticsKind::Technician);
}

}  // namespace

QString TechnicianSummaryStatement(const StatisticsFilter& filter) {
    const StatisticsDescription& d = Technicians();
    const QString& amount = d.columns[d.amountColumn].field;
    // Grouped by the stored amount as well, so each amount is rounded the way the list rounds
    // it (on its decimal value) and counted as many times as it is listed; the sum in the
    // database would add the binary noise of every double instead.
    return QStringLiteral("select %1, %2, count(*) ").arg(d.technicianField, amount) +
           StatisticsSource(d, filter) +
           QStringLiteral(" group by %1, %2").arg(d.technicianField, amount);
}

QVariantList TechnicianSummaryParameters(const StatisticsFilter& filter) {
    return StatisticsParameters(Technicians(), filter);
}

TechnicianSummary SummariseTechnicians(const QList<TechnicianTotal>& rows) {
    TechnicianSummary summary;
    QHash<QString, qsizetype> at;
    for (const TechnicianTotal& row : rows) {
        auto found = at.constFind(row.technician);
        if (found == at.cend()) {
            found = at.insert(row.technician, summary.technicians.size());
            summary.technicians.append({row.technician, 0, 0});
        }
        TechnicianTotal& total = summary.technicians[*found];
        total.orders += row.orders;
        total.cents += row.cents;
        summary.orders += row.orders;
        summary.cents += row.cents;
    }
    std::sort(summary.technicians.begin(), summary.technicians.end(),
              [](const TechnicianTotal& a, const TechnicianTotal& b) {
                  if (a.cents != b.cents) {
                      return a.cents > b.cents;
                  }
                  return a.technician < b.technician;
              });
    return summary;
}

DbResult<TechnicianSummary> ReadTechnicianSummary(const StatisticsFilter& filter) {
    Recordset rs = RunSql(TechnicianSummaryStatement(filter), TechnicianSummaryParameters(filter));
    if (rs.isNull()) {
        return DbResult<TechnicianSummary>::failure(rs.error());
    }
    QList<TechnicianTotal> rows;
    for (; !rs.Eof(); rs.MoveNext()) {
        const qint64 count = rs.Utf8(2).toLongLong();
        rows.append({rs.Text(0), count, StoredAmountCents(rs.Utf8(1)) * count});
    }
    rs.Close();
    if (!rs.error().isEmpty()) {
        return DbResult<TechnicianSummary>::failure(rs.error());
    }
    return SummariseTechnicians(rows);
}

QString TechnicianSummaryName(const QString& technician) {
    return technician.isEmpty() ? kNoName : technician;
}

ReportSummary TechnicianSummaryTable(const TechnicianSummary& summary) {
    ReportSummary table;
    table.caption = kCaption;
    table.columns = {{QStringLiteral("维修技师"), 100, false, 0},
                     {QStringLiteral("单数"), 60, true, 0},
                     {QStringLiteral("营业额"), 100, true, 2}};
    for (const TechnicianTotal& total : summary.technicians) {
        table.rows.append({TechnicianSummaryName(total.technician), QString::number(total.orders),
                           CentsText(total.cents)});
    }
    table.total = {kTotal, QString::number(summary.orders), CentsText(summary.cents)};
    return table;
}
