#pragma once

#include <QString>
#include <QStringList>

namespace platform {

// The other running programs that have `path` open, as "name (process id)"; empty when there
// are none or the system cannot tell.
QStringList ProcessesUsing(const QString& path);

}  // namespace platform
