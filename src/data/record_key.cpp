#include "data/record_key.h"

#include <QUuid>

QString NewRecordKey() {
    return QUuid::createUuid().toString(QUuid::WithBraces).toUpper();
}
