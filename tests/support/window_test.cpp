#include "support/window_test.h"

#include <QApplication>
#include <QTest>
#include <QWidget>

#include "app/localization.h"
#include "support/windows.h"

void WindowTest::initTestCase() {
    ApplyChineseLocale(*qApp);
}

void WindowTest::init() {
    previousHandler_ = ui::MessageBox::setScriptHandler([](const ui::MessageBox::Message& m) {
        QTest::qFail(qPrintable(QStringLiteral("unexpected message: %1 (%2)").arg(m.text, m.title)),
                     __FILE__, __LINE__);
        return ui::MessageBox::escapeAnswer(m.buttons);
    });
    previousFileHandler_ = ui::FileDialog::setScriptHandler([](const ui::FileDialog::Request& r) {
        QTest::qFail(qPrintable(QStringLiteral("unexpected file dialog: %1").arg(r.caption)),
                     __FILE__, __LINE__);
        return QString();
    });
    previousInputHandler_ = ui::InputBox::setScriptHandler([](const ui::InputBox::Request& r) {
        QTest::qFail(qPrintable(QStringLiteral("unexpected input box: %1").arg(r.prompt)), __FILE__,
                     __LINE__);
        return QString();
    });
    previousDriver_ = ui::WindowHost::setModalDriver([](QWidget* window) {
        QTest::qFail(
            qPrintable(QStringLiteral("unexpected modal window %1").arg(window->objectName())),
            __FILE__, __LINE__);
    });
    db_ = std::make_unique<TestDatabase>();
    QVERIFY2(db_->ok(), qPrintable(db_->message()));
}

void WindowTest::cleanup() {
    CloseAllWindows();
    db_.reset();
    ui::MessageBox::setScriptHandler(std::move(previousHandler_));
    ui::WindowHost::setModalDriver(std::move(previousDriver_));
    ui::FileDialog::setScriptHandler(std::move(previousFileHandler_));
    ui::InputBox::setScriptHandler(std::move(previousInputHandler_));
}
