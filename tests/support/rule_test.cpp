#include "support/rule_test.h"

#include <QTest>

void RuleTest::init() {
    db_ = std::make_unique<TestDatabase>();
    QVERIFY2(db_->ok(), qPrintable(db_->message()));
}

void RuleTest::cleanup() {
    db_.reset();
}
