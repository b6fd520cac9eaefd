#pragma once

#include <memory>

#include "support/cups_server.h"
#include "support/window_test.h"

// The base of window tests that print: the whole process prints to a private print server,
// never to the machine's printers, and each test function starts with it empty. A subclass that
// needs more set-up declares its own init() and calls PrintingTest::init() first.
class PrintingTest : public WindowTest {
    Q_OBJECT

protected:
    std::unique_ptr<CupsServer> cups_;

protected Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();
};
