#include "support/pdf_text.h"

#include <QProcess>
#include <QRegularExpression>

#include "support/host_tool.h"

namespace {

QString RunTool(const QString& tool, const QStringList& arguments, QString* error) {
    QProcess process;
    process.start(HostProgram(tool), arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        *error = tool + QStringLiteral(" failed: ") + process.errorString() + QLatin1Char(' ') +
                 QString::fromUtf8(process.readAllStandardError());
        return QString();
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

QString Unescape(QString text) {
    text.replace(QStringLiteral("&lt;"), QStringLiteral("<"));
    text.replace(QStringLiteral("&gt;"), QStringLiteral(">"));
    text.replace(QStringLiteral("&quot;"), QStringLiteral("\""));
    text.replace(QStringLiteral("&apos;"), QStringLiteral("'"));
    text.replace(QStringLiteral("&#39;"), QStringLiteral("'"));
    text.replace(QStringLiteral("&amp;"), QStringLiteral("&"));
    return text;
}

}  // namespace

QStringList PdfText::words() const {
    QStringList all;
    for (const PdfPage& page : pages) {
        for (const PdfWord& word : page.words) {
            all << word.text;
        }
    }
    return all;
}

PdfText ReadPdfText(const QString& path) {
    PdfText result;
    const QString html = RunTool(QStringLiteral("pdftotext"),
                                 {QStringLiteral("-bbox"), QStringLiteral("-enc"),
                                  QStringLiteral("UTF-8"), HostPath(path), QStringLiteral("-")},
                                 &result.error);
    if (!result.error.isEmpty()) {
        return result;
    }
    static const QRegularExpression page(
        QStringLiteral(R"re(<page width="([\d.]+)" height="([\d.]+)">)re"));
    static const QRegularExpression word(QStringLiteral(
        R"re(<word xMin="([\d.-]+)" yMin="([\d.-]+)" xMax="([\d.-]+)" yMax="([\d.-]+)">(.*?)</word>)re"));
    for (const QString& line : html.split(QLatin1Char('\n'))) {
        if (const auto m = page.match(line); m.hasMatch()) {
            result.pages << PdfPage{QSizeF(m.captured(1).toDouble(), m.captured(2).toDouble()), {}};
        } else if (const auto w = word.match(line); w.hasMatch() && !result.pages.isEmpty()) {
            const QPointF topLeft(w.captured(1).toDouble(), w.captured(2).toDouble());
            const QPointF bottomRight(w.captured(3).toDouble(), w.captured(4).toDouble());
            result.pages.last().words
                << PdfWord{Unescape(w.captured(5)), QRectF(topLeft, bottomRight)};
        }
    }
    result.ok = true;
    return result;
}

QStringList PdfFontNames(const QString& path) {
    QString error;
    const QString listing = RunTool(QStringLiteral("pdffonts"), {HostPath(path)}, &error);
    QStringList names;
    // Two heading lines, then one font a line with its name first.
    const QStringList lines = listing.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (qsizetype i = 2; i < lines.size(); ++i) {
        names << lines[i].section(QLatin1Char(' '), 0, 0, QString::SectionSkipEmpty);
    }
    return names;
}
