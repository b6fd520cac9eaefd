#include "printing/printer_record.h"

#include <QSettings>

namespace {

const QString kPrinterName = QStringLiteral("Printer Name");
const QString kShutdownProperly = QStringLiteral("Shutdown Properly");
const QString kConfirm = QStringLiteral("Confirm");
const QString kSlipPaper = QStringLiteral("Slip Paper");
const QString kA5Landscape = QStringLiteral("A5 landscape");

}  // namespace

PrinterRecord::Place PrinterRecord::DefaultPlace() {
    return {QStringLiteral("ruvaso"), QStringLiteral("default-printer")};
}

PrinterRecord::PrinterRecord(Place place) : place_(std::move(place)) {}

QString PrinterRecord::read(const QString& key) const {
    const QSettings settings(place_.organization, place_.application);
    return settings.value(key).toString();
}

void PrinterRecord::write(const QString& key, const QString& value) {
    QSettings settings(place_.organization, place_.application);
    settings.setValue(key, value);
    settings.sync();
}

QString PrinterRecord::printerName() const {
    return read(kPrinterName);
}

void PrinterRecord::setPrinterName(const QString& text) {
    write(kPrinterName, text);
}

QString PrinterRecord::shutdownProperly() const {
    return read(kShutdownProperly);
}

void PrinterRecord::setShutdownProperly(bool properly) {
    write(kShutdownProperly, properly ? QStringLiteral("1") : QStringLiteral("0"));
}

bool PrinterRecord::confirm() const {
    // Anything that is not a number, a missing value included, counts as 0.
    return read(kConfirm).toInt() != 0;
}

void PrinterRecord::setConfirm(bool confirm) {
    write(kConfirm, confirm ? QStringLiteral("1") : QStringLiteral("0"));
}

SlipPaper PrinterRecord::slipPaper() const {
    return read(kSlipPaper) == kA5Landscape ? SlipPaper::A5Landscape : SlipPaper::A4;
}

void PrinterRecord::setSlipPaper(SlipPaper paper) {
    write(kSlipPaper, paper == SlipPaper::A5Landscape ? kA5Landscape : QStringLiteral("A4"));
}

QString PrinterRecord::printerToRestore(const QString& currentDefault) const {
    const QString saved = printerName();
    // An empty record names no printer to put back.
    if (saved.isEmpty() || saved == currentDefault || shutdownProperly() != QStringLiteral("0")) {
        return QString();
    }
    return saved;
}
