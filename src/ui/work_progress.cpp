#include "ui/work_progress.h"

#include <QApplication>
#include <QKeyEvent>

namespace ui {

namespace {

// Often enough for a smooth bar, rarely enough to cost the work nothing.
constexpr qint64 kRepaintMs = 50;

bool IsInput(QEvent::Type type) {
    switch (type) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::ContextMenu:
        case QEvent::Close:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
            return true;
        default:
            return false;
    }
}

}  // namespace

WorkProgress::WorkProgress(BusyIndicator* indicator) : indicator_(indicator), guard_(indicator) {
    qApp->installEventFilter(this);
}

WorkProgress::~WorkProgress() {
    qApp->removeEventFilter(this);
    indicator_->setProgress(-1, 0);
}

bool WorkProgress::step(qsizetype done, qsizetype total) {
    if (sincePainted_.isValid() && sincePainted_.elapsed() < kRepaintMs && done < total) {
        return !cancelled_;
    }
    sincePainted_.start();
    indicator_->setProgress(done, total);
    QApplication::processEvents();
    return !cancelled_;
}

bool WorkProgress::eventFilter(QObject* watched, QEvent* event) {
    if (!IsInput(event->type())) {
        return QObject::eventFilter(watched, event);
    }
    // A window whose Escape is a shortcut (close) sees the key first as a shortcut override,
    // and the key press never comes once the override is refused.
    if ((event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride) &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        cancelled_ = true;
    }
    event->ignore();
    return true;
}

}  // namespace ui
