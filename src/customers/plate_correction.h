#pragma once

#include <QString>

#include "data/db_result.h"

enum class PlateCorrection {
    Corrected,
    Refused,     // the operator may not; `refusal` says why
    Gone,        // the customer is no longer stored
    Empty,       // the new plate holds nothing
    Unchanged,   // the new plate reads as the stored one
    PlateTaken,  // another customer holds the new plate, however it was typed
};

struct PlateCorrectionOutcome {
    PlateCorrection outcome = PlateCorrection::Corrected;
    QString refusal;
    QString plate;  // Corrected: the plate as stored now
};

// Gives the customer `customerKey` the plate `typed` (normalised as every stored plate is), and
// moves to it the orders, order lines and calls stored under the customer's old plate, in one
// transaction; the change is recorded with the old plate, the new one, `by` and the time.
DbResult<PlateCorrectionOutcome> CorrectPlate(const QString& customerKey, const QString& typed,
                                              const QString& by);
