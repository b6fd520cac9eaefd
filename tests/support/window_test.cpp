#include "support/window_test.h"

#include <QApplication>
#include <QTest>

#include "app/localization.h"
#include "support/windows.h"

void WindowTest::initTestCase() {
    ApplyChineseLocale(*qApp);
}

void WindowTest::init() {
    db_ = std::make_unique<TestDatabase>();
    QVERIFY2(db_->ok(), qPrintable(db_->message()));
}

void WindowTest::cleanup() {
    CloseAllWindows();
    db_.reset();
}
