#include "import/customer_import.h"

#include <algorithm>

#include <QSet>

#include "core/clock.h"
#include "core/data_changes.h"
#include "core/date_text.h"
#include "customers/customer.h"
#include "customers/plate_text.h"
#include "data/database.h"
#include "data/record_key.h"
#include "data/run_sql.h"
#include "data/transaction.h"
#include "import/audit.h"
#include "reports/excel_export.h"
#include "reports/report_layout.h"

namespace {

constexpr qsizetype kProgressStep = 256;
// Rows per statement: one statement per row would spend most of the import preparing them.
constexpr int kBatchRows = 64;

const QString kColumns = QStringLiteral(
    "insert into kh_table (kh_code, kh_cph, kh_czname, kh_xb, kh_tele, kh_djdate, kh_txdate, "
    "kh_sfzh, kh_cx, kh_sfdgdh) values ");
const QString kRowValues = QStringLiteral("(?, ?, ?, ?, ?, ?, ?, ?, ?, '0')");

const QString kNoPlateOrOwnerReason = QStringLiteral("车牌号或车主姓名为空");
const QString kPlateStoredReason = QStringLiteral("车牌号已在数据库中");
const QString kRepeatedReason = QStringLiteral("与表中前面的行车牌号重复");
const QString kDamageSeen =
    QStringLiteral("数据库文件已损坏，没有导入任何数据。请先在“数据恢复”中从检查无误的备份恢复。");

// A row with no text at all is a gap in the sheet, not a customer left out.
bool IsEmptyRow(const SheetRow& row) {
    return std::all_of(row.begin(), row.end(),
                       [](const QString& text) { return text.trimmed().isEmpty(); });
}

Customer SheetCustomer(const SheetRow& row) {
    Customer c;
    c.key = NewRecordKey();
    c.plate = NormalizedPlate(row[kPlateColumn]);
    c.owner = row[kOwnerColumn].trimmed();
    c.sex = StoredSex(row[kSexColumn]);
    c.telephone = row[kTelephoneColumn].trimmed();
    c.entryDate = AuditedDate(row[kEntryDateColumn]);
    c.reminderDate = AuditedDate(row[kReminderDateColumn]);
    c.identity = row[kIdentityColumn].trimmed();
    c.model = row[kModelColumn].trimmed();
    return c;
}

QString Placeholders(const QString& one, qsizetype count) {
    QStringList all;
    all.reserve(count);
    for (qsizetype i = 0; i < count; ++i) {
        all << one;
    }
    return all.join(QStringLiteral(", "));
}

// Customers whose reminder date was blank are stored with today's: the shop is told how many
// calls that adds to today's list.
QString TodayListText(const ImportResult& result) {
    if (result.remindToday == 0) {
        return {};
    }
    return QStringLiteral(
               "\n其中 %1 位客户的提醒日期是今天（提醒日期为空的按今天），已列入今天的提醒名单。")
        .arg(result.remindToday);
}

ImportResult Stopped(ImportResult::Outcome outcome, qsizetype row, const QString& message) {
    ImportResult result;
    result.outcome = outcome;
    result.row = row;
    result.message = message;
    return result;
}

}  // namespace

struct CustomerImporter::Pending {
    qsizetype row;  // counted from 1
    Customer customer;
    SheetRow texts;  // kept only to list the row as left out
};

namespace {

// Which of the batch's plates are stored already, however the stored ones were typed.
template <class Batch>
DbResult<QSet<QString>> StoredPlates(const Batch& batch) {
    QVariantList plates;
    for (const auto& p : batch) {
        plates << p.customer.plate;
    }
    const QString key = PlateKeySql(QStringLiteral("kh_cph"));
    const DbResult<QStringList> stored =
        ColumnTexts(QStringLiteral("select %1 from kh_table where %1 in (%2)")
                        .arg(key, Placeholders(QStringLiteral("?"), plates.size())),
                    plates);
    if (!stored) {
        return DbResult<QSet<QString>>::failure(stored.error());
    }
    return QSet<QString>(stored->begin(), stored->end());
}

template <class Batch>
DbStatus Insert(const Batch& rows) {
    if (rows.empty()) {
        return DbOk();
    }
    QVariantList values;
    values.reserve(qsizetype(rows.size()) * 9);
    for (const auto& p : rows) {
        const Customer& c = p.customer;
        values << c.key << c.plate << c.owner << c.sex << c.telephone << DateText(c.entryDate)
               << DateText(c.reminderDate) << c.identity << c.model;
    }
    const Recordset added =
        RunSql(kColumns + Placeholders(kRowValues, qsizetype(rows.size())), values);
    return added.isNull() ? DbStatus::failure(added.error()) : DbOk();
}

}  // namespace

CustomerImporter::CustomerImporter(bool keepSkippedRows) : keepSkippedRows_(keepSkippedRows) {
    // The whole file is looked over first: a damaged page that the import's own look-ups never
    // touch would still take new rows.
    if (Database::CheckForDamage()) {
        failed_ = Stopped(ImportResult::Outcome::Failed, 0, kDamageSeen);
        return;
    }
    transaction_ = std::make_unique<Transaction>();
    if (!transaction_->isActive()) {
        failed_ = Stopped(ImportResult::Outcome::Failed, 0, transaction_->error());
    }
}

CustomerImporter::~CustomerImporter() = default;

bool CustomerImporter::add(const SheetRow& row) {
    if (failed_) {
        return false;
    }
    const qsizetype number = ++rows_;
    if (!HasPlateAndOwner(row)) {
        ++result_.withoutPlateOrOwner;
        if (keepSkippedRows_ && !IsEmptyRow(row)) {
            result_.skippedRows.push_back({number, row, kNoPlateOrOwnerReason});
        }
        return true;
    }
    const QString plate = NormalizedPlate(row[kPlateColumn]);
    if (plates_.contains(plate)) {
        ++result_.repeatedInSheet;
        if (keepSkippedRows_) {
            result_.skippedRows.push_back({number, row, kRepeatedReason});
        }
        return true;
    }
    plates_.insert(plate);
    batch_.push_back({number, SheetCustomer(row), keepSkippedRows_ ? row : SheetRow()});
    return batch_.size() < size_t(kBatchRows) || flush();
}

// Stores the batch's customers whose plates are not stored yet.
bool CustomerImporter::flush() {
    if (batch_.empty()) {
        return true;
    }
    const DbResult<QSet<QString>> stored = StoredPlates(batch_);
    if (!stored) {
        failed_ = Stopped(ImportResult::Outcome::Failed, batch_.front().row, stored.error());
        return false;
    }
    std::vector<Pending> fresh;
    for (Pending& p : batch_) {
        if (stored->contains(p.customer.plate)) {
            ++result_.plateAlreadyStored;
            if (keepSkippedRows_) {
                result_.skippedRows.push_back({p.row, p.texts, kPlateStoredReason});
            }
        } else {
            fresh.push_back(std::move(p));
        }
    }
    batch_.clear();
    // A refused batch ends the import: the transaction is over and its rows are gone.
    if (const DbStatus inserted = Insert(fresh); !inserted) {
        failed_ = Stopped(ImportResult::Outcome::Failed, fresh.front().row, inserted.error());
        return false;
    }
    result_.stored += qsizetype(fresh.size());
    const QDate today = Today();
    result_.remindToday += std::count_if(fresh.begin(), fresh.end(), [&today](const Pending& p) {
        return p.customer.reminderDate == today;
    });
    return true;
}

ImportResult CustomerImporter::finish() {
    if (!failed_ && flush()) {
        // A damaged page met by any read of this run (the batches' look-ups among them) means
        // the file must not take more rows: they would go into pages nobody can trust.
        if (Database::DamageSeen()) {
            failed_ = Stopped(ImportResult::Outcome::Failed, 0, kDamageSeen);
        } else if (const DbStatus committed = transaction_->commit(); !committed) {
            failed_ = Stopped(ImportResult::Outcome::Failed, 0, committed.error());
        }
    }
    if (failed_) {
        transaction_.reset();
        return *failed_;
    }
    if (result_.stored > 0) {
        DataChanges::customersChanged();
    }
    // Rows already stored are found batch by batch; list every left-out row in sheet order.
    std::sort(result_.skippedRows.begin(), result_.skippedRows.end(),
              [](const SkippedRow& a, const SkippedRow& b) { return a.row < b.row; });
    return std::move(result_);
}

ImportResult ImportSheet(const SheetRows& rows, const SheetProgress& progress) {
    const qsizetype total = qsizetype(rows.size());
    SheetProblems problems;
    for (qsizetype i = 0; i < total; ++i) {
        if (HasPlateAndOwner(rows[size_t(i)])) {
            problems.check(rows[size_t(i)], i + 1);
        }
    }
    if (!problems.empty()) {
        const SheetProblem& first = problems.shown().front();
        ImportResult refused = Stopped(ImportResult::Outcome::Refused, first.row, first.reason);
        refused.problems = std::move(problems);
        return refused;
    }

    CustomerImporter importer;
    for (qsizetype i = 0; i < total; ++i) {
        if (progress && i % kProgressStep == 0 && !progress(i, total)) {
            return Stopped(ImportResult::Outcome::Cancelled, 0, QString());
        }
        if (!importer.add(rows[size_t(i)])) {
            break;
        }
    }
    ImportResult result = importer.finish();
    if (progress && result.outcome == ImportResult::Outcome::Imported) {
        progress(total, total);
    }
    return result;
}

QString ImportSummaryText(const ImportResult& result) {
    QString text = QStringLiteral("导入 %1 条客户记录").arg(result.stored);
    if (result.skipped() == 0) {
        return text + QStringLiteral("。") + TodayListText(result);
    }
    QStringList reasons;
    if (result.withoutPlateOrOwner > 0) {
        reasons << kNoPlateOrOwnerReason + QStringLiteral(" %1 条").arg(result.withoutPlateOrOwner);
    }
    if (result.plateAlreadyStored > 0) {
        reasons << kPlateStoredReason + QStringLiteral(" %1 条").arg(result.plateAlreadyStored);
    }
    if (result.repeatedInSheet > 0) {
        reasons << kRepeatedReason + QStringLiteral(" %1 条").arg(result.repeatedInSheet);
    }
    return text + QStringLiteral("，跳过 %1 条：").arg(result.skipped()) +
           reasons.join(QStringLiteral("，")) + QStringLiteral("。") + TodayListText(result);
}

QString ExportSkippedRows(const std::vector<SkippedRow>& rows, const QString& path) {
    Report report;
    report.title = QStringLiteral("跳过的行");
    // Customers to put right and read in again.
    report.sheetName = QStringLiteral("客户");
    report.columns.append({QStringLiteral("行号"), 48, false});
    for (const QString& heading : SheetHeadings()) {
        report.columns.append({heading, 90, false});
    }
    report.columns.append({QStringLiteral("跳过原因"), 180, false});
    report.totalColumn = -1;
    QList<QStringList> texts;
    texts.reserve(qsizetype(rows.size()));
    for (const SkippedRow& skipped : rows) {
        QStringList cells{QString::number(skipped.row)};
        for (const QString& text : skipped.texts) {
            cells << text;
        }
        cells << skipped.reason;
        texts.append(cells);
    }
    report.rows = ListReportRows(std::move(texts));
    return ExportWorkbook(report, path);
}
