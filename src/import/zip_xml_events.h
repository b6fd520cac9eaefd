#pragma once

#include <QString>
#include <string_view>

#include "import/zip_archive.h"

// The elements of an XML part as a fast streaming parser finds them, for the parts that hold a
// workbook's bulk (a worksheet's cells, the shared strings). Names come without their namespace
// prefix; texts are UTF-8, a piece at a time. A handler returns false to end the parse: when
// that is for a fault it first fails the archive with the reason.
class ZipXmlEvents {
public:
    virtual ~ZipXmlEvents() = default;
    // `attributes` holds name and value in turn, ended by a null.
    virtual bool start(std::string_view name, const char** attributes) = 0;
    virtual bool end(std::string_view name) = 0;
    virtual bool text(std::string_view text) = 0;
};

// Parses the part `name` of the archive, handing its events over, within the archive's bounds.
// A malformed part, or one that declares a document type (which a workbook's parts never do, and
// whose entities could expand without end), damages the archive. False when there is no such
// part.
bool ParseZipXml(ZipArchive& archive, const QString& name, ZipXmlEvents& events);

// The value of the unprefixed attribute `name` in expat's list, or empty when absent.
std::string_view ExpatAttribute(const char** attributes, std::string_view name);
