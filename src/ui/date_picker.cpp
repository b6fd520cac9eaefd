#include "ui/date_picker.h"

#include <QKeyEvent>
#include <QPointer>

#include "core/clock.h"

namespace ui {

DatePicker::DatePicker(QWidget* parent) : QDateEdit(Today(), parent) {
    setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    setCalendarPopup(true);
    connect(this, &QDateEdit::dateChanged, this, [this] {
        if (!settingValue_)
            emit Change();
    });
}

void DatePicker::setValue(const QDate& value) {
    if (!value.isValid())
        return;
    settingValue_ = true;
    setDate(value);
    settingValue_ = false;
}

void DatePicker::keyPressEvent(QKeyEvent* event) {
    // A handler may close the window that owns the picker.
    const QPointer<DatePicker> alive(this);
    emit KeyDown(event->key());
    if (alive)
        QDateEdit::keyPressEvent(event);
}

}  // namespace ui
