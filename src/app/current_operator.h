#pragma once

#include <QString>

// The operator who logged in, for every window that records or prints who did something.
// The main window's operator label shows the same name.
QString CurrentOperator();
void SetCurrentOperator(const QString& name);
