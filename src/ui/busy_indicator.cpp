#include "ui/busy_indicator.h"

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>
#include <algorithm>

#include "data/database.h"

namespace ui {

BusyIndicator::BusyIndicator(QWidget* parent)
    : QFrame(parent),
      label_(new QLabel(QStringLiteral("正在处理数据，请稍候......"), this)),
      progress_(new QProgressBar(this)) {
    Q_ASSERT(parent != nullptr);
    setObjectName(QStringLiteral("picLOAD"));
    label_->setObjectName(QStringLiteral("Label10"));
    label_->setAlignment(Qt::AlignCenter);
    setFrameStyle(QFrame::Panel | QFrame::Raised);
    setLineWidth(2);
    setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 16, 24, 16);
    layout->addWidget(label_);
    progress_->setObjectName(QStringLiteral("progress"));
    progress_->setMinimumWidth(280);
    progress_->hide();
    layout->addWidget(progress_);
    hide();
    parent->installEventFilter(this);
}

BusyIndicator::~BusyIndicator() {
    if (cursorOverridden_)
        QApplication::restoreOverrideCursor();
}

void BusyIndicator::showBusy() {
    centre();
    show();
    raise();
    if (!cursorOverridden_) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        cursorOverridden_ = true;
    }
    // A synchronous repaint, not an event loop: nothing the operator does runs in between.
    if (window()->isVisible())
        window()->repaint();
}

void BusyIndicator::setProgress(qsizetype done, qsizetype total) {
    if (done < 0) {
        progress_->hide();
        return;
    }
    // The bar counts in ints; a count beyond them is shown scaled, the text stays exact.
    const int scale = total > 1000000000 ? 1000 : 1;
    progress_->setRange(0, int(std::max<qsizetype>(total, 1) / scale));
    progress_->setValue(int(std::min(done, total) / scale));
    progress_->setFormat(QStringLiteral("%1 / %2（按 Esc 取消）").arg(done).arg(total));
    if (progress_->isHidden()) {
        progress_->show();
        centre();
    }
}

void BusyIndicator::hideBusy() {
    progress_->hide();
    hide();
    if (cursorOverridden_) {
        QApplication::restoreOverrideCursor();
        cursorOverridden_ = false;
    }
}

bool BusyIndicator::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget() && event->type() == QEvent::Resize && isBusy())
        centre();
    return QFrame::eventFilter(watched, event);
}

void BusyIndicator::centre() {
    const QSize size = sizeHint().expandedTo(minimumSizeHint());
    resize(size);
    const QRect area = parentWidget()->rect();
    move(area.center() - QPoint(size.width() / 2, size.height() / 2));
}

BusyGuard::BusyGuard(BusyIndicator* indicator)
    : indicator_(indicator), wasBusy_(indicator->isBusy()) {
    if (!wasBusy_)
        indicator_->showBusy();
}

BusyGuard::~BusyGuard() {
    if (!wasBusy_ && indicator_)
        indicator_->hideBusy();
}

void ShowBusyCursorWhileWaitingForDatabase() {
    Database::SetBusyWaitHook([](bool waiting) {
        if (waiting) {
            QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        } else {
            QGuiApplication::restoreOverrideCursor();
        }
    });
}

}  // namespace ui
