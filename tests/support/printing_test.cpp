#include "support/printing_test.h"

#include <QTest>

void PrintingTest::initTestCase() {
    WindowTest::initTestCase();
    cups_ = std::make_unique<CupsServer>();
    QVERIFY2(cups_->ok(), qPrintable(cups_->message()));
}

void PrintingTest::cleanupTestCase() {
    cups_.reset();
}

void PrintingTest::init() {
    WindowTest::init();
    QVERIFY2(cups_->reset(), qPrintable(cups_->message()));
}
