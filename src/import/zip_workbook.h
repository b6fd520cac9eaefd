#pragma once

#include <QString>

#include "import/sheet_builder.h"
#include "import/zip_archive.h"

// The readers of the two zip-of-XML workbook formats, each on an archive that opened. Each puts
// the first visible worksheet's cells into `builder` and returns an empty text, or why the file
// cannot be read; a fault the archive noted (damage, a part too big) is the archive's status.
QString ReadXlsxArchive(ZipArchive& archive, SheetBuilder& builder);
QString ReadOdsArchive(ZipArchive& archive, SheetBuilder& builder);
