#include "printing/printers.h"

#include <cups/cups.h>

namespace {

// The destinations of one query, released with the object.
class Destinations {
public:
    Destinations() : count_(cupsGetDests2(CUPS_HTTP_DEFAULT, &dests_)) {}
    ~Destinations() { cupsFreeDests(count_, dests_); }
    Destinations(const Destinations&) = delete;
    Destinations& operator=(const Destinations&) = delete;

    int count() const { return count_; }
    cups_dest_t* data() const { return dests_; }
    cups_dest_t& operator[](int i) const { return dests_[i]; }

private:
    cups_dest_t* dests_ = nullptr;
    int count_ = 0;
};

QString Option(const cups_dest_t& dest, const char* name) {
    return QString::fromUtf8(cupsGetOption(name, dest.num_options, dest.options));
}

Printer Describe(const cups_dest_t& dest) {
    QString name = QString::fromUtf8(dest.name);
    if (dest.instance != nullptr) {
        name += QLatin1Char('/') + QString::fromUtf8(dest.instance);
    }
    return {name, Option(dest, "printer-make-and-model"), Option(dest, "device-uri")};
}

}  // namespace

QString Printer::text() const {
    return name + QLatin1Char(',') + makeAndModel + QLatin1Char(',') + deviceUri;
}

QList<Printer> ListPrinters() {
    const Destinations dests;
    QList<Printer> printers;
    printers.reserve(dests.count());
    for (int i = 0; i < dests.count(); ++i) {
        printers.append(Describe(dests[i]));
    }
    return printers;
}

QString DefaultPrinterText() {
    // Asked by itself, as lp and lpstat -d do: the list's own default mark is missed when the
    // user's options name a printer but no default.
    cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, nullptr, nullptr);
    if (dest == nullptr) {
        return QString();
    }
    const QString text = Describe(*dest).text();
    cupsFreeDests(1, dest);
    return text;
}

PrinterChange SetDefaultPrinter(const QString& text) {
    const Destinations dests;
    int chosen = -1;
    if (!text.isEmpty()) {
        for (int i = 0; i < dests.count() && chosen < 0; ++i) {
            if (Describe(dests[i]).text() == text) {
                chosen = i;
            }
        }
        if (chosen < 0) {
            return {false, QStringLiteral("打印机不存在：%1").arg(text)};
        }
    }
    if (dests.count() == 0) {
        return {true, QString()};  // no destination, so no choice of the user's to remove
    }
    // Written back as a whole, as lpoptions does, so that the user's saved options stay.
    for (int i = 0; i < dests.count(); ++i) {
        dests[i].is_default = i == chosen ? 1 : 0;
    }
    if (cupsSetDests2(CUPS_HTTP_DEFAULT, dests.count(), dests.data()) != 0) {
        return {false, QString::fromUtf8(cupsLastErrorString())};
    }
    return {true, QString()};
}
