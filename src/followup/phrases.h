#pragma once

#include <QString>
#include <QStringList>

#include "data/db_result.h"

// What tells the two phrase lists apart: the stored table and column, and their captions.
struct PhraseList {
    QString formName;
    QString table;
    QString column;
    QString heading;
    QString columnHeading;
};

// Call content phrases (tele_nr) and customer response phrases (tele_hy).
const PhraseList& ContentPhrases();
const PhraseList& ResponsePhrases();

// Every stored phrase in the order the database returns them.
DbResult<QStringList> LoadPhrases(const PhraseList& list);

enum class PhraseStore { Stored, AlreadyStored };

// Stores the phrase unless a row with exactly this text is already there. The check and the
// insert are one statement, so two stations cannot store the same phrase twice.
DbResult<PhraseStore> StorePhraseOnce(const PhraseList& list, const QString& phrase);

// Removes every row holding exactly this text.
DbStatus DeletePhrase(const PhraseList& list, const QString& phrase);
