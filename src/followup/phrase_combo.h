#pragma once

#include "data/db_result.h"

class QComboBox;
struct PhraseList;

// Replaces the combo box's items with the stored phrases, keeping what the operator has typed.
// On failure the items stay untouched and the result says why. A null box needs nothing.
DbStatus RefillPhraseCombo(QComboBox* combo, const PhraseList& list);
