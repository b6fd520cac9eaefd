#include "followup/phrases.h"

#include "core/field_limits.h"
#include "data/run_sql.h"

// Table and column names come from the two descriptions below, never from input.

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

DbResult<QStringList> LoadPhrases(const PhraseList& list) {
    return ColumnTexts(QStringLiteral("select %1 from %2").arg(list.column, list.table));
}

DbResult<PhraseStore> StorePhraseOnce(const PhraseList& list, const QString& phrase) {
    if (!FitsField(TextField::Phrase, phrase)) {
        return DbResult<PhraseStore>::failure(FieldTooLongText(TextField::Phrase, phrase));
    }
    const Recordset added = RunSql(QStringLiteral("insert into %1 (%2) select ? where not exists "
                                                  "(select 1 from %1 where %2 = ?)")
                                       .arg(list.table, list.column),
                                   {phrase, phrase});
    if (added.isNull()) {
        return DbResult<PhraseStore>::failure(added.error());
    }
    return added.rowsAffected() > 0 ? PhraseStore::Stored : PhraseStore::AlreadyStored;
}

DbStatus DeletePhrase(const PhraseList& list, const QString& phrase) {
    const Recordset deleted =
        RunSql(QStringLiteral("delete from %1 where %2=?").arg(list.table, list.column), {phrase});
    if (deleted.isNull()) {
        return DbStatus::failure(deleted.error());
    }
    return DbOk();
}
