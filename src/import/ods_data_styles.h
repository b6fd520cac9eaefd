#pragma once

#include <QHash>
#include <QString>
#include <vector>

#include "import/number_format.h"
#include "import/zip_archive.h"

// The data styles of an OpenDocument spreadsheet (how a cell style shows its numbers), read from
// styles.xml and content.xml as format codes for the number format engine.
class OdsDataStyles {
public:
    // Whether the element just started is a data style; if so, reads it to its end.
    bool read(ZipXmlPart& xml);
    // Notes the data style of the cell style just started (a style:style element).
    void noteCellStyle(const QXmlStreamAttributes& attributes);

    // The number format of cell style `style`; nullptr when it has none, or it shows numbers as
    // the General format does.
    const NumberFormat* format(const QString& style);

private:
    struct Map {
        QString condition;  // as written: "value()>=0"
        QString style;
    };
    struct DataStyle {
        QString code;  // this style's own section
        std::vector<Map> maps;
    };

    QString code(const QString& dataStyle, int depth) const;

    QHash<QString, DataStyle> dataStyles_;
    QHash<QString, QString> cellStyles_;  // cell style → data style
    QHash<QString, NumberFormat> formats_;
};
