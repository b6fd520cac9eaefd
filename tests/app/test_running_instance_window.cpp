#include <QDir>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>
#include <future>

#include "app/running_instance.h"
#include "app/start_up.h"
#include "data/data_folder.h"
#include "support/message_script.h"
#include "support/window_test.h"

class TestRunningInstance : public WindowTest {
    Q_OBJECT
private slots:
    void namesFollowTheFolder();
    void secondStartBringsTheFirstForward();
    void aKilledProgramsSocketIsTakenOver();
    void withoutAListenerTheFolderIsInUse();
};

void TestRunningInstance::namesFollowTheFolder() {
    QTemporaryDir root;
    QVERIFY(QDir(root.path()).mkpath(QStringLiteral("shop/sub")));
    QVERIFY(
        QFile::link(root.filePath(QStringLiteral("shop")), root.filePath(QStringLiteral("link"))));
    const QString name = RunningInstanceName(root.filePath(QStringLiteral("shop")));
    // Not in the shared /tmp, where another user could take the name first.
    QVERIFY2(name.startsWith(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) +
                             QLatin1Char('/')),
             qPrintable(name));
    QCOMPARE(RunningInstanceName(root.filePath(QStringLiteral("shop/"))), name);
    QCOMPARE(RunningInstanceName(root.filePath(QStringLiteral("shop/sub/.."))), name);
    QCOMPARE(RunningInstanceName(root.filePath(QStringLiteral("link"))), name);
    QVERIFY(RunningInstanceName(root.filePath(QStringLiteral("shop/sub"))) != name);
    // A folder that does not exist yet still has a name of its own.
    QVERIFY(RunningInstanceName(root.filePath(QStringLiteral("new"))) != name);
}

// The program started again on a folder whose program is minimised: the first comes back and
// the second ends at once, without a message.
void TestRunningInstance::secondStartBringsTheFirstForward() {
    RunningInstanceListener listener(db_->dir());
    QVERIFY(listener.listening());
    QSignalSpy shown(&listener, &RunningInstanceListener::shown);
    QWidget window;
    window.resize(300, 200);
    window.showMinimized();
    QVERIFY(window.isMinimized());

    QProcess second;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    second.setProcessEnvironment(environment);
    second.start(QStringLiteral(RUVASO_PROGRAM), {QStringLiteral("--data-dir"), db_->dir()});
    QVERIFY(second.waitForStarted());
    // This event loop answers while the second program waits.
    QTRY_COMPARE_WITH_TIMEOUT(second.state(), QProcess::NotRunning, 30000);
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QCOMPARE(shown.size(), 1);
    QVERIFY(!window.isMinimized());
}

// A socket file left by a killed program must not keep the next one from listening.
void TestRunningInstance::aKilledProgramsSocketIsTakenOver() {
    RunningInstanceListener leftover(db_->dir());
    RunningInstanceListener next(db_->dir());
    QVERIFY(next.listening());
    QSignalSpy shown(&next, &RunningInstanceListener::shown);
    auto answered = std::async(std::launch::async,
                               [dir = db_->dir()] { return ShowRunningInstance(dir, 5000); });
    QTRY_VERIFY_WITH_TIMEOUT(
        answered.wait_for(std::chrono::seconds(0)) == std::future_status::ready, 10000);
    QVERIFY(answered.get());
    QCOMPARE(shown.size(), 1);
}

// A folder held by something that does not listen (an import from the command line) is said to
// be in use, as before.
void TestRunningInstance::withoutAListenerTheFolderIsInUse() {
    QTemporaryDir other;
    FolderLock held(other.path());
    QCOMPARE(held.outcome(), FolderLock::Outcome::Locked);
    QVERIFY(!ShowRunningInstance(other.path(), 500));

    MessageScript messages;
    messages.expect(QStringLiteral("该数据文件夹已被另一个Ruvaso程序使用。"));
    const StartUp started = StartProgram(other.path());
    QVERIFY(started.login == nullptr);
    QVERIFY(!started.handedOver);
    VERIFY_MESSAGES(messages);
}

QTEST_MAIN(TestRunningInstance)
#include "test_running_instance_window.moc"
