#include <QApplication>
#include <QLabel>
#include <QTest>

#include "ui/busy_indicator.h"

class TestBusyIndicator : public QObject {
    Q_OBJECT
private slots:
    void showsCentredOverWindow();
    void guardsNest();
};

void TestBusyIndicator::showsCentredOverWindow() {
    QWidget window;
    window.resize(800, 600);
    ui::BusyIndicator picLOAD(&window);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(!picLOAD.isVisible());

    picLOAD.showBusy();
    QVERIFY(picLOAD.isVisible());
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    auto* label = window.findChild<QLabel*>(QStringLiteral("Label10"));
    QVERIFY(label);
    QCOMPARE(label->text(), QStringLiteral("正在处理数据，请稍候......"));
    QCOMPARE(window.findChild<ui::BusyIndicator*>(QStringLiteral("picLOAD")), &picLOAD);
    QVERIFY(qAbs(picLOAD.geometry().center().x() - window.rect().center().x()) <= 1);
    QVERIFY(qAbs(picLOAD.geometry().center().y() - window.rect().center().y()) <= 1);
    QVERIFY(label->width() >= label->sizeHint().width());

    // Stays centred when the window changes size while busy.
    window.resize(1000, 700);
    QCoreApplication::processEvents();
    QVERIFY(qAbs(picLOAD.geometry().center().x() - window.rect().center().x()) <= 1);

    picLOAD.hideBusy();
    QVERIFY(!picLOAD.isVisible());
    QCOMPARE(QApplication::overrideCursor(), nullptr);
}

void TestBusyIndicator::guardsNest() {
    QWidget window;
    ui::BusyIndicator picLOAD(&window);
    {
        ui::BusyGuard outer(&picLOAD);
        QVERIFY(picLOAD.isBusy());
        { ui::BusyGuard inner(&picLOAD); }
        // The inner fill is done but the outer work is not.
        QVERIFY(picLOAD.isBusy());
    }
    QVERIFY(!picLOAD.isBusy());
    QCOMPARE(QApplication::overrideCursor(), nullptr);
}

QTEST_MAIN(TestBusyIndicator)
#include "test_busy_indicator.moc"
