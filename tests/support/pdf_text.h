#pragma once

#include <QList>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QStringList>

// The text of a PDF file as a reader gets it back, read with pdftotext from poppler-utils.
struct PdfWord {
    QString text;
    QRectF box;  // in points from the page's top-left corner
};

struct PdfPage {
    QSizeF size;  // in points
    QList<PdfWord> words;
};

struct PdfText {
    bool ok = false;
    QString error;  // why the file could not be read
    QList<PdfPage> pages;

    QStringList words() const;
};

PdfText ReadPdfText(const QString& path);

// The names of the fonts the PDF uses, as pdffonts lists them.
QStringList PdfFontNames(const QString& path);
