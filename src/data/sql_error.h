#pragma once

#include <QString>

// The one place that remembers why the last statement failed, for the error message windows show.
void SetLastSqlError(const QString& reason);
