#pragma once

#include <QString>

// The paper the slip is printed on. Both are as wide as the slip: an A4 page upright, or an A5
// page turned sideways, which the slip fills.
enum class SlipPaper { A4, A5Landscape };

// The printer tool's own record, kept across runs in the user's settings: the default printer
// in force when its window last opened, whether that window closed properly, whether the
// operator wants to confirm each change, and the paper the slip is printed on. A window that never
// closed (the program ended under it) leaves "Shutdown Properly" at "0", which the next opening
// takes as the sign to offer the recorded printer back.
class PrinterRecord {
public:
    // Where the record lives: QSettings' organisation and application names.
    struct Place {
        QString organization;
        QString application;
    };
    static Place DefaultPlace();

    explicit PrinterRecord(Place place = DefaultPlace());

    // Each value is read from and written to the store at once, so that a program that ends
    // without warning leaves the record as it was last written. Missing values read as empty.
    QString printerName() const;
    void setPrinterName(const QString& text);
    QString shutdownProperly() const;
    void setShutdownProperly(bool properly);
    bool confirm() const;
    void setConfirm(bool confirm);
    // A4 unless A5 was chosen.
    SlipPaper slipPaper() const;
    void setSlipPaper(SlipPaper paper);

    // The printer that a window which never closed recorded as the default before it, when it
    // is not the default now; empty when there is nothing to offer back.
    QString printerToRestore(const QString& currentDefault) const;

private:
    QString read(const QString& key) const;
    void write(const QString& key, const QString& value);

    Place place_;
};
