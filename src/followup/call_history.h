#pragma once

#include <QList>
#include <QString>

#include "data/db_result.h"

// One recorded call, as the history lists it.
struct CallEntry {
    QString date;
    QString content;
    QString response;
    QString operatorName;
};

// The calls whose stored plate equals `plate`, oldest first; calls of one day in the order they
// were recorded.
DbResult<QList<CallEntry>> CallsOfPlate(const QString& plate);
