#pragma once

#include <QString>

// The operator who last logged in to the database of a data folder, so the login window can
// offer that name again and the operator only types the password.
QString LastOperator(const QString& dataDir);
void RememberLastOperator(const QString& dataDir, const QString& name);
