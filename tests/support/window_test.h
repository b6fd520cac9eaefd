#pragma once

#include <QObject>
#include <memory>

#include "support/database_fixture.h"

// The base of every window test: the screens speak Chinese, each test function starts with a
// fresh database, and no window or open statement outlives it. A subclass that needs more
// set-up declares its own init() and calls WindowTest::init() first.
class WindowTest : public QObject {
    Q_OBJECT

protected:
    std::unique_ptr<TestDatabase> db_;

protected Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
};
