#pragma once

#include <QComboBox>
#include <QString>

namespace ui {

// Gives a new control its form name as objectName, so tests and screen readers find it by the
// name the windows use for it: `Text1 = Named(new QLineEdit(this), QStringLiteral("Text1"));`
template <class T>
T* Named(T* widget, const QString& name) {
    widget->setObjectName(name);
    return widget;
}

// Tells screen readers what a control is for. A list box's name is what it reads out as its
// value, the item chosen, so its caption goes into the description; every other control is
// named by its caption.
inline void SetAccessibleCaption(QWidget* control, const QString& caption) {
    if (qobject_cast<QComboBox*>(control)) {
        control->setAccessibleName(QString());
        control->setAccessibleDescription(caption);
    } else {
        control->setAccessibleName(caption);
    }
}

}  // namespace ui
