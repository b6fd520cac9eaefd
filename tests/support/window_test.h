#pragma once

#include <QObject>
#include <memory>

#include "support/database_fixture.h"
#include "ui/file_dialog.h"
#include "ui/input_box.h"
#include "ui/message_box.h"
#include "ui/window_host.h"

// The base of every window test: the screens speak Chinese, each test function starts with a
// fresh database, and no window or open statement outlives it. A message, a modal window or a
// file dialog that the test did not script fails the test at once instead of waiting for an answer
// that never comes. A subclass that needs more set-up declares its own init() and calls
// WindowTest::init() first.
class WindowTest : public QObject {
    Q_OBJECT

protected:
    std::unique_ptr<TestDatabase> db_;

private:
    ui::MessageBox::Handler previousHandler_;
    ui::WindowHost::ModalDriver previousDriver_;
    ui::FileDialog::Handler previousFileHandler_;
    ui::InputBox::Handler previousInputHandler_;

protected Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
};
