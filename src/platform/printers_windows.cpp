#include <windows.h>
// The spooler's declarations need the types above first.
#include <winspool.h>
// <winspool.h> names SetDefaultPrinterW so; ours is the one printing/printers.h declares.
#undef SetDefaultPrinter

#include <vector>

#include "printing/printers.h"

namespace {

// Every printer of this PC and every shared one it is connected to, as the spooler lists them:
// the queue, its driver and its port.
QList<Printer> SpoolerPrinters() {
    const DWORD flags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
    DWORD needed = 0;
    DWORD count = 0;
    EnumPrintersW(flags, nullptr, 2, nullptr, 0, &needed, &count);
    if (needed == 0) {
        return {};
    }
    std::vector<BYTE> buffer(needed);
    if (!EnumPrintersW(flags, nullptr, 2, buffer.data(), needed, &needed, &count)) {
        return {};
    }
    const auto* info = reinterpret_cast<const PRINTER_INFO_2W*>(buffer.data());
    QList<Printer> printers;
    for (DWORD i = 0; i < count; ++i) {
        auto text = [](const wchar_t* value) {
            return value ? QString::fromWCharArray(value) : QString();
        };
        printers.append(
            {text(info[i].pPrinterName), text(info[i].pDriverName), text(info[i].pPortName)});
    }
    return printers;
}

QString DefaultPrinterName() {
    DWORD size = 0;
    GetDefaultPrinterW(nullptr, &size);
    if (size == 0) {
        return {};
    }
    std::vector<wchar_t> name(size);
    return GetDefaultPrinterW(name.data(), &size) ? QString::fromWCharArray(name.data())
                                                  : QString();
}

}  // namespace

QString Printer::text() const {
    return name + QLatin1Char(',') + makeAndModel + QLatin1Char(',') + deviceUri;
}

QList<Printer> ListPrinters() {
    return SpoolerPrinters();
}

QString DefaultPrinterText() {
    const QString name = DefaultPrinterName();
    if (name.isEmpty()) {
        return {};
    }
    for (const Printer& printer : SpoolerPrinters()) {
        if (printer.name.compare(name, Qt::CaseInsensitive) == 0) {
            return printer.text();
        }
    }
    return Printer{name, {}, {}}.text();
}

PrinterChange SetDefaultPrinter(const QString& text) {
    // Windows keeps one default per user and nothing beneath it to fall back to.
    if (text.isEmpty()) {
        return {true, QString()};
    }
    for (const Printer& printer : SpoolerPrinters()) {
        if (printer.text() == text) {
            if (!SetDefaultPrinterW(reinterpret_cast<LPCWSTR>(printer.name.utf16()))) {
                return {false, QStringLiteral("无法设置默认打印机：%1").arg(printer.name)};
            }
            return {true, QString()};
        }
    }
    return {false, QStringLiteral("打印机不存在：%1").arg(text)};
}
