#pragma once

#include <QObject>
#include <memory>

#include "support/database_fixture.h"

// The base of every rule test: each test function starts with a fresh database of its own. A
// subclass that needs more set-up declares its own init() and calls RuleTest::init() first.
class RuleTest : public QObject {
    Q_OBJECT

protected:
    std::unique_ptr<TestDatabase> db_;

protected Q_SLOTS:
    void init();
    void cleanup();
};
