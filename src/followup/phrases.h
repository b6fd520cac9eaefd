#pragma once

#include <QString>
#include <QStringList>
#include <optional>

class QComboBox;

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

// Every stored phrase in the order the database returns them; nothing when the read failed.
std::optional<QStringList> LoadPhrases(const PhraseList& list);

enum class PhraseStore { Failed, Stored, AlreadyStored };

// Stores the phrase unless a row with exactly this text is already there.
PhraseStore StorePhraseOnce(const PhraseList& list, const QString& phrase);

// Removes every row holding exactly this text; false when the statement failed.
bool DeletePhrase(const PhraseList& list, const QString& phrase);

// Replaces the combo box's items with the stored phrases, keeping what the operator has typed.
// False (and the items untouched) when the phrases could not be read.
bool RefillPhraseCombo(QComboBox* combo, const PhraseList& list);
