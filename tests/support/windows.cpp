#include "support/windows.h"

#include <QApplication>
#include <QPointer>
#include <QWidget>

void CloseAllWindows() {
    QList<QPointer<QWidget>> windows;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (!w->parentWidget()) {
            windows << w;
        }
    }
    for (const QPointer<QWidget>& w : windows) {
        delete w.data();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
