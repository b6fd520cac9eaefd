#pragma once

#include <QElapsedTimer>
#include <QObject>

#include "ui/busy_indicator.h"

namespace ui {

// Long work that counts rows (loading, auditing or importing a sheet): shows the window's busy
// picture with a bar and a count, keeps the screen painted, and lets Escape stop the work. Other
// input during the work is dropped, so no handler runs in the middle of it.
class WorkProgress : public QObject {
    Q_OBJECT
public:
    explicit WorkProgress(BusyIndicator* indicator);
    ~WorkProgress() override;

    // Shows how far the work is; false once the operator has pressed Escape.
    bool step(qsizetype done, qsizetype total);
    bool cancelled() const { return cancelled_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    BusyIndicator* indicator_;
    BusyGuard guard_;
    QElapsedTimer sincePainted_;
    bool cancelled_ = false;
};

}  // namespace ui
