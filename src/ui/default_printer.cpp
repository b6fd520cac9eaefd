#include "ui/default_printer.h"

#include <QPrinter>
#include <QPrinterInfo>

#include "ui/message_box.h"

namespace ui {

std::unique_ptr<QPrinter> DefaultPrinter(QWidget* parent) {
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull()) {
        Stop(parent, QStringLiteral("没有默认打印机，请先选择打印机！"));
        return nullptr;
    }
    return std::make_unique<QPrinter>(info, QPrinter::HighResolution);
}

}  // namespace ui
