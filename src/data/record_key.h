#pragma once

#include <QString>

// A fresh record key: a GUID in registry form, 38 characters, braces, upper-case hex digits.
QString NewRecordKey();
