#pragma once

#include <QDate>
#include <QDateEdit>

namespace ui {

// A date without time of day, typed or picked from a calendar, shown as "yyyy-MM-dd".
// Change() is the operator's change only: setValue() from code stays silent, so a window can
// fill its pickers at load without running its own change handlers.
class DatePicker : public QDateEdit {
    Q_OBJECT
public:
    explicit DatePicker(QWidget* parent = nullptr);

    QDate value() const { return date(); }
    // An invalid date is ignored, as the picker always holds a date.
    void setValue(const QDate& value);

signals:
    void Change();
    // Every key pressed in the picker, before the picker acts on it.
    void KeyDown(int key);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool settingValue_ = false;
};

}  // namespace ui
