#include "followup/phrase_combo.h"

#include <QComboBox>

#include "followup/phrases.h"

DbStatus RefillPhraseCombo(QComboBox* combo, const PhraseList& list) {
    if (combo == nullptr) {
        return DbOk();
    }
    const DbResult<QStringList> phrases = LoadPhrases(list);
    if (!phrases) {
        return DbStatus::failure(phrases.error());
    }
    const QString typed = combo->currentText();
    combo->clear();
    combo->addItems(*phrases);
    // Adding to an empty box picks the first item; the box should show only what was typed.
    combo->setCurrentIndex(-1);
    combo->setEditText(typed);
    return DbOk();
}
