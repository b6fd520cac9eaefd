#pragma once

#include <QString>

namespace ui {

// Gives a new control its form name as objectName, so tests and screen readers find it by the
// name the windows use for it: `Text1 = Named(new QLineEdit(this), QStringLiteral("Text1"));`
template <class T>
T* Named(T* widget, const QString& name) {
    widget->setObjectName(name);
    return widget;
}

}  // namespace ui
