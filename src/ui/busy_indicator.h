#pragma once

#include <QFrame>
#include <QPointer>

class QLabel;
class QProgressBar;

namespace ui {

// The busy picture a window shows while it fills a list, builds a report or imports: a framed
// panel centred over the window with "正在处理数据，请稍候......". Windows name their member
// picLOAD, like the panel's objectName; its label is Label10.
class BusyIndicator : public QFrame {
    Q_OBJECT
public:
    explicit BusyIndicator(QWidget* parent);
    ~BusyIndicator() override;

    // Shows the panel and paints the window once, so the operator sees it before the work
    // starts. No input is processed: the work that follows runs to completion first.
    void showBusy();
    void hideBusy();
    // Adds a bar with "done / total" below the text while work that Escape stops counts rows; a
    // negative `done` takes the bar away. Hiding the panel takes it away too.
    void setProgress(qsizetype done, qsizetype total);
    // Shown, even while the window itself is not yet on screen.
    bool isBusy() const { return !isHidden(); }

    QLabel* label() const { return label_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void centre();

    QLabel* label_;
    QProgressBar* progress_;
    bool cursorOverridden_ = false;
};

// Shows the indicator for the guard's lifetime. Nested guards leave it to the outer one.
class BusyGuard {
public:
    explicit BusyGuard(BusyIndicator* indicator);
    ~BusyGuard();
    BusyGuard(const BusyGuard&) = delete;
    BusyGuard& operator=(const BusyGuard&) = delete;

private:
    QPointer<BusyIndicator> indicator_;
    bool wasBusy_;
};

// While a save waits for another program's write to finish, the busy cursor shows.
void ShowBusyCursorWhileWaitingForDatabase();

}  // namespace ui
