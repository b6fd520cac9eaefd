#include "followup/phrases.h"

#include <QComboBox>

#include "data/run_sql.h"

namespace {

// Table and column names come from the two descriptions below, never from input.
QString SelectAll(const PhraseList& list) {
    return QStringLiteral("select * from ") + list.table;
}

QString WhereText(const PhraseList& list) {
    return QStringLiteral(" where ") + list.column + QStringLiteral("=?");
}

}  // namespace

const PhraseList& ContentPhrases() {
    static const PhraseList list{QStringLiteral("Form15"), QStringLiteral("tele_nr"),
                                 QStringLiteral("tele_nr_txt"), QStringLiteral("电话内容管理"),
                                 QStringLiteral("电话内容")};
    return list;
}

const PhraseList& ResponsePhrases() {
    static const PhraseList list{QStringLiteral("Form16"), QStringLiteral("tele_hy"),
                                 QStringLiteral("tele_hy_txt"), QStringLiteral("客户回应管理"),
                                 QStringLiteral("客户回应")};
    return list;
}

std::optional<QStringList> LoadPhrases(const PhraseList& list) {
    Recordset rows = RunSql(SelectAll(list));
    if (rows.isNull()) {
        return std::nullopt;
    }
    QStringList phrases;
    for (; !rows.Eof(); rows.MoveNext()) {
        phrases << rows.Text(list.column);
    }
    rows.Close();
    return phrases;
}

PhraseStore StorePhraseOnce(const PhraseList& list, const QString& phrase) {
    Recordset found = RunSql(SelectAll(list) + WhereText(list), {phrase});
    if (found.isNull()) {
        return PhraseStore::Failed;
    }
    const bool known = !found.Eof();
    found.Close();
    if (known) {
        return PhraseStore::AlreadyStored;
    }
    const Recordset added =
        RunSql(QStringLiteral("insert into ") + list.table + QStringLiteral(" (") + list.column +
                   QStringLiteral(") values (?)"),
               {phrase});
    return added.isNull() ? PhraseStore::Failed : PhraseStore::Stored;
}

bool DeletePhrase(const PhraseList& list, const QString& phrase) {
    return !RunSql(QStringLiteral("delete from ") + list.table + WhereText(list), {phrase})
                .isNull();
}

bool RefillPhraseCombo(QComboBox* combo, const PhraseList& list) {
    if (combo == nullptr) {
        return true;
    }
    const std::optional<QStringList> phrases = LoadPhrases(list);
    if (!phrases) {
        return false;
    }
    const QString typed = combo->currentText();
    combo->clear();
    combo->addItems(*phrases);
    // Adding to an empty box picks the first item; the box should show only what was typed.
    combo->setCurrentIndex(-1);
    combo->setEditText(typed);
    return true;
}
