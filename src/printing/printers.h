#pragma once

#include <QList>
#include <QString>

// One print destination as the printing system lists it. Its text, "name,make and model,device
// URI", is how the printer tool shows it and how it records which printer was the default.
struct Printer {
    QString name;  // the queue, or "queue/instance" for a saved instance
    QString makeAndModel;
    QString deviceUri;

    QString text() const;
};

// Every destination, in the order the printing system lists them; empty when there are none or
// the printing system cannot be reached.
QList<Printer> ListPrinters();

// The text of the user's default printer (the one `lpoptions -d` sets, else the system's), the
// one a print job without a named printer goes to; empty when there is none.
QString DefaultPrinterText();

struct PrinterChange {
    bool ok = false;
    QString error;  // why it failed, when it did
};

// Makes the destination whose text is `text` the user's default printer, as `lpoptions -d`
// does. An empty text removes the user's own choice, leaving the system's default in force. A
// text that matches no destination changes nothing and fails.
PrinterChange SetDefaultPrinter(const QString& text);
