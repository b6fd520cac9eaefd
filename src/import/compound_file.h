#pragma once

#include <QByteArray>
#include <optional>

// The workbook stream of a legacy workbook: "Workbook" (Excel 97 and later) or "Book" (Excel 5
// and 95) inside the compound-file container. Nothing when the container is damaged or holds
// neither stream.
std::optional<QByteArray> WorkbookStream(const QByteArray& file);
