#pragma once

#include <memory>

class QPrinter;
class QWidget;

namespace ui {

// A printer on the user's default printer, or nothing after telling the operator that there is
// no default printer to print on.
std::unique_ptr<QPrinter> DefaultPrinter(QWidget* parent);

}  // namespace ui
