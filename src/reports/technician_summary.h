#pragma once

#include <QList>
#include <QString>
#include <QVariantList>

#include "data/db_result.h"
#include "reports/report_layout.h"

struct StatisticsFilter;

// The orders and turnover of each technician among the orders a technician list shows.
struct TechnicianTotal {
    QString technician;  // as stored; an order without a name has an empty one
    qint64 orders = 0;
    qint64 cents = 0;
};

struct TechnicianSummary {
    // Most turnover first; equal turnover by name.
    QList<TechnicianTotal> technicians;
    qint64 orders = 0;
    qint64 cents = 0;
};

// Reads the summary of the orders the technician list selects with `filter`, in one grouped
// query. Each order's amount counts as the list shows it, rounded to the cent, so a
// technician's turnover and the summary's total add up to what the listed rows show.
DbResult<TechnicianSummary> ReadTechnicianSummary(const StatisticsFilter& filter);

// The statement it runs and its values, for measuring it elsewhere.
QString TechnicianSummaryStatement(const StatisticsFilter& filter);
QVariantList TechnicianSummaryParameters(const StatisticsFilter& filter);

// Orders the totals and adds them up; the rows may name a technician more than once.
TechnicianSummary SummariseTechnicians(const QList<TechnicianTotal>& rows);

// The name a summary row shows for a technician: an empty name says so.
QString TechnicianSummaryName(const QString& technician);

// The summary as a table for screen, paper and workbook: "维修技师", "单数", "营业额", one row a
// technician and a total row.
ReportSummary TechnicianSummaryTable(const TechnicianSummary& summary);
