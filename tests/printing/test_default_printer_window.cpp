#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <memory>

#include "masterdata/system_panel_window.h"
#include "printing/default_printer_window.h"
#include "printing/printers.h"
#include "support/cups_server.h"
#include "support/message_script.h"
#include "support/modal_driver.h"
#include "support/printing_test.h"
#include "support/window_test.h"
#include "ui/window_host.h"

namespace {

const PrinterRecord::Place kPlace{QStringLiteral("ruvaso-test"), QStringLiteral("window")};

const QString kRestoreTitle = QStringLiteral("Restore Original Default Printer?");
const QString kConfirmTitle = QStringLiteral("设置打印机?");

QStringList Texts(const QTreeWidget* list) {
    QStringList texts;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        texts << list->topLevelItem(i)->text(0);
    }
    return texts;
}

QStringList Checked(const QTreeWidget* list) {
    QStringList texts;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        if (list->topLevelItem(i)->checkState(0) != Qt::Unchecked) {
            texts << list->topLevelItem(i)->text(0);
        }
    }
    return texts;
}

QTreeWidgetItem* Item(const QTreeWidget* list, const QString& text) {
    const QList<QTreeWidgetItem*> found = list->findItems(text, Qt::MatchExactly);
    return found.isEmpty() ? nullptr : found.first();
}

QPoint Centre(const QTreeWidget* list, const QString& text) {
    return list->visualItemRect(Item(list, text)).center();
}

void ClickItem(QTreeWidget* list, const QString& text) {
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, Centre(list, text));
}

// A real double-click starts with a press on the same item.
void DoubleClickItem(QTreeWidget* list, const QString& text) {
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, Centre(list, text));
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, Centre(list, text));
}

void ClickHeader(QTreeWidget* list) {
    QHeaderView* header = list->header();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(0) + 20, header->height() / 2));
}

QSettings Stored() {
    return QSettings(kPlace.organization, kPlace.application);
}

}  // namespace

class TestDefaultPrinterWindow : public PrintingTest {
    Q_OBJECT

    QString text(const QString& name) const {
        return name + QStringLiteral(",Ruvaso Test Printer,file:") + cups_->outputFile(name);
    }

    void addQueues(const QStringList& names) {
        for (const QString& name : names) {
            QVERIFY2(cups_->addQueue(name), qPrintable(cups_->message()));
        }
    }

    void chooseAsUser(const QString& name) {
        QVERIFY2(cups_->run(QStringLiteral("lpoptions"), {QStringLiteral("-d"), name}),
                 qPrintable(cups_->message()));
    }

    // The default as any other program of the user sees it.
    QString lpstatDefault() {
        QString out;
        cups_->run(QStringLiteral("lpstat"), {QStringLiteral("-d")}, &out);
        return out.trimmed().section(QStringLiteral(": "), 1);
    }

    // alpha, Beta and gamma, with Beta the user's default.
    void threeQueues() {
        addQueues({QStringLiteral("gamma"), QStringLiteral("Beta"), QStringLiteral("alpha")});
        chooseAsUser(QStringLiteral("Beta"));
    }

    static DefaultPrinterWindow* Open() {
        auto* window = ui::WindowHost::instance<DefaultPrinterWindow>(kPlace);
        window->show();
        if (!QTest::qWaitForWindowActive(window)) {
            qWarning("window not active");
        }
        return window;
    }

    void recordCrash(const QString& saved) {
        QSettings settings = Stored();
        settings.setValue(QStringLiteral("Printer Name"), saved);
        settings.setValue(QStringLiteral("Shutdown Properly"), QStringLiteral("0"));
    }

private Q_SLOTS:
    void init() {
        PrintingTest::init();
        Stored().clear();
    }

    void listsEveryPrinterAndChecksTheDefault() {
        threeQueues();
        DefaultPrinterWindow* window = Open();
        QCOMPARE(window->objectName(), QStringLiteral("frmDefaultPrinter"));
        QCOMPARE(window->windowTitle(), QStringLiteral("默认打印机选择"));
        QCOMPARE(window->lblPrinters->text(), QStringLiteral("从下列选择一个有效的打印机:"));
        QCOMPARE(window->lblPrinters->buddy(), window->lvwPrinter);
        QCOMPARE(window->lvwPrinter->headerItem()->text(0), QStringLiteral("打印机"));
        QCOMPARE(window->lvwPrinter->columnCount(), 1);
        QCOMPARE(window->cmdSet->text(), QStringLiteral("设为默认"));
        QCOMPARE(window->cmdSet->toolTip(),
                 QStringLiteral("Click to set selected printer as default"));
        QCOMPARE(window->cmdExit->text(), QStringLiteral("退出(&E)"));
        QCOMPARE(window->chkConfirm->text(), QStringLiteral("设置默认之前确认"));
        QCOMPARE(window->chkRestore->text(), QStringLiteral("在退出程序恢复原先的默认"));
        QCOMPARE(window->chkRestore->toolTip(),
                 QStringLiteral(
                     "Return the default printer to what it was when this application started"));
        QVERIFY(!window->chkRestore->isChecked());
        QVERIFY(!window->chkConfirm->isChecked());

        QCOMPARE(Texts(window->lvwPrinter),
                 QStringList({text(QStringLiteral("alpha")), text(QStringLiteral("Beta")),
                              text(QStringLiteral("gamma"))}));
        QCOMPARE(Checked(window->lvwPrinter), QStringList{text(QStringLiteral("Beta"))});
        QCOMPARE(window->lvwPrinter->currentItem()->text(0), text(QStringLiteral("Beta")));
        QVERIFY(window->lvwPrinter->currentItem()->isSelected());
        QVERIFY(!window->cmdSet->isEnabled());
        QVERIFY(window->lvwPrinter->header()->isSortIndicatorShown());
        QCOMPARE(window->lvwPrinter->header()->sortIndicatorOrder(), Qt::AscendingOrder);
        QCOMPARE(window->originalDefault(), text(QStringLiteral("Beta")));

        // While the window is open its record says so.
        QCOMPARE(Stored().value(QStringLiteral("Printer Name")).toString(),
                 text(QStringLiteral("Beta")));
        QCOMPARE(Stored().value(QStringLiteral("Shutdown Properly")).toString(),
                 QStringLiteral("0"));
    }

    void fewPrinters_data() {
        QTest::addColumn<QStringList>("queues");
        QTest::addColumn<QString>("userDefault");
        QTest::addColumn<bool>("arrow");
        QTest::newRow("none") << QStringList() << "" << false;
        QTest::newRow("one") << QStringList({"solo"}) << "solo" << false;
        QTest::newRow("no default") << QStringList({"one", "two"}) << "" << true;
    }
    void fewPrinters() {
        QFETCH(QStringList, queues);
        QFETCH(QString, userDefault);
        QFETCH(bool, arrow);
        addQueues(queues);
        if (!userDefault.isEmpty()) {
            chooseAsUser(userDefault);
        }
        DefaultPrinterWindow* window = Open();
        QCOMPARE(window->lvwPrinter->topLevelItemCount(), queues.size());
        // Without any printer the window says how to add one.
        QCOMPARE(window->lblPrinters->text().startsWith(QStringLiteral("本机还没有安装打印机")),
                 queues.isEmpty());
        QCOMPARE(Checked(window->lvwPrinter),
                 userDefault.isEmpty() ? QStringList() : QStringList{text(userDefault)});
        QCOMPARE(window->lvwPrinter->header()->isSortIndicatorShown(), arrow);
        // Nothing is there to be made the default.
        QVERIFY(!window->cmdSet->isEnabled());
        window->cmdSet_Click();
        ClickHeader(window->lvwPrinter);
        QCOMPARE(lpstatDefault(), userDefault);
        QCOMPARE(window->lvwPrinter->header()->isSortIndicatorShown(), arrow);
    }

    void closingKeepsTheRecord_data() {
        QTest::addColumn<bool>("confirm");
        QTest::newRow("confirm off") << false;
        QTest::newRow("confirm on") << true;
    }
    void closingKeepsTheRecord() {
        QFETCH(bool, confirm);
        threeQueues();
        DefaultPrinterWindow* window = Open();
        if (confirm) {
            QTest::mouseClick(window->chkConfirm, Qt::LeftButton, {},
                              QPoint(10, window->chkConfirm->height() / 2));
        }
        QTest::mouseClick(window->cmdExit, Qt::LeftButton);
        QVERIFY(!window->isVisible());
        QCOMPARE(Stored().value(QStringLiteral("Shutdown Properly")).toString(),
                 QStringLiteral("1"));
        QCOMPARE(Stored().value(QStringLiteral("Confirm")).toString(),
                 confirm ? QStringLiteral("1") : QStringLiteral("0"));
        QCOMPARE(Stored().value(QStringLiteral("Printer Name")).toString(),
                 text(QStringLiteral("Beta")));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

        // The next opening starts with the box as it was left, and asks nothing.
        DefaultPrinterWindow* again = Open();
        QCOMPARE(again->chkConfirm->isChecked(), confirm);
        QVERIFY(!again->chkRestore->isChecked());
    }

    void offersTheDefaultBackAfterACrash_data() {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("expected");
        QTest::newRow("yes") << "yes"
                             << "alpha";
        QTest::newRow("no") << "no"
                            << "Beta";
    }
    void offersTheDefaultBackAfterACrash() {
        QFETCH(QString, answer);
        QFETCH(QString, expected);
        threeQueues();
        recordCrash(text(QStringLiteral("alpha")));
        MessageScript messages;
        messages.expect(
            kRestoreTitle,
            QStringLiteral("It appears that the rodevad idarave ziride zuvo crashed and "
                           "has saved\n%1\nas the original default printer.\n\nDo you "
                           "want to restore it now?")
                .arg(text(QStringLiteral("alpha"))),
            MessageScript::Icon::Question,
            answer == QStringLiteral("yes") ? MessageScript::Answer::Yes
                                            : MessageScript::Answer::No);
        DefaultPrinterWindow* window = Open();
        VERIFY_MESSAGES(messages);
        QCOMPARE(lpstatDefault(), expected);
        QCOMPARE(Checked(window->lvwPrinter), QStringList{text(expected)});
        QCOMPARE(window->originalDefault(), text(expected));
        QCOMPARE(Stored().value(QStringLiteral("Printer Name")).toString(), text(expected));
        QCOMPARE(Stored().value(QStringLiteral("Shutdown Properly")).toString(),
                 QStringLiteral("0"));
    }

    void asksNothingWithoutACrash_data() {
        QTest::addColumn<QString>("saved");
        QTest::addColumn<QString>("shutdown");
        QTest::newRow("closed properly") << "alpha"
                                         << "1";
        QTest::newRow("same default") << "Beta"
                                      << "0";
    }
    void asksNothingWithoutACrash() {
        QFETCH(QString, saved);
        QFETCH(QString, shutdown);
        threeQueues();
        recordCrash(text(saved));
        Stored().setValue(QStringLiteral("Shutdown Properly"), shutdown);
        DefaultPrinterWindow* window = Open();
        QCOMPARE(lpstatDefault(), QStringLiteral("Beta"));
        QCOMPARE(window->originalDefault(), text(QStringLiteral("Beta")));
    }

    void setsTheChosenPrinter_data() {
        QTest::addColumn<bool>("confirm");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("changed");
        QTest::newRow("button") << false << ""
                                << "button" << true;
        QTest::newRow("double-click") << false << ""
                                      << "double-click" << true;
        QTest::newRow("Enter") << false << ""
                               << "enter" << true;
        QTest::newRow("confirmed") << true << "yes"
                                   << "button" << true;
        QTest::newRow("not confirmed") << true << "no"
                                       << "button" << false;
        QTest::newRow("double-click not confirmed") << true << "no"
                                                    << "double-click" << false;
    }
    void setsTheChosenPrinter() {
        QFETCH(bool, confirm);
        QFETCH(QString, answer);
        QFETCH(QString, how);
        QFETCH(bool, changed);
        threeQueues();
        DefaultPrinterWindow* window = Open();
        QTreeWidget* list = window->lvwPrinter;
        window->chkConfirm->setChecked(confirm);
        const QString gamma = text(QStringLiteral("gamma"));
        ClickItem(list, gamma);
        QVERIFY(window->cmdSet->isEnabled());

        MessageScript messages;
        if (confirm) {
            messages.expect(
                kConfirmTitle,
                QStringLiteral("您设置了\n%1\n为默认打印机.\n\n您确定使用此打印机?").arg(gamma),
                MessageScript::Icon::None,
                answer == QStringLiteral("yes") ? MessageScript::Answer::Yes
                                                : MessageScript::Answer::No);
        }
        if (how == QStringLiteral("button")) {
            QTest::mouseClick(window->cmdSet, Qt::LeftButton);
        } else if (how == QStringLiteral("double-click")) {
            DoubleClickItem(list, gamma);
        } else {
            QTest::keyClick(list, Qt::Key_Return);
        }
        VERIFY_MESSAGES(messages);

        const QString now = changed ? QStringLiteral("gamma") : QStringLiteral("Beta");
        QCOMPARE(lpstatDefault(), now);
        QCOMPARE(DefaultPrinterText(), text(now));
        QCOMPARE(Checked(list), QStringList{text(now)});
        QCOMPARE(window->cmdSet->isEnabled(), !changed);
        QCOMPARE(list->currentItem()->text(0), gamma);
    }

    void doubleClickOnTheDefaultOnlySaysSo() {
        threeQueues();
        DefaultPrinterWindow* window = Open();
        const QString beta = text(QStringLiteral("Beta"));
        MessageScript messages;
        messages.expect(QStringLiteral("Default Printer Set"),
                        beta + QStringLiteral("\nis already set as the default printer."),
                        MessageScript::Icon::Exclamation);
        DoubleClickItem(window->lvwPrinter, beta);
        VERIFY_MESSAGES(messages);
        QCOMPARE(lpstatDefault(), QStringLiteral("Beta"));
        QCOMPARE(Checked(window->lvwPrinter), QStringList{beta});
    }

    void onlyTheWindowMovesCheckMarks_data() {
        QTest::addColumn<QString>("action");
        QTest::newRow("click the box") << "box";
        QTest::newRow("space") << "space";
        QTest::newRow("rename") << "F2";
    }
    void onlyTheWindowMovesCheckMarks() {
        QFETCH(QString, action);
        threeQueues();
        DefaultPrinterWindow* window = Open();
        QTreeWidget* list = window->lvwPrinter;
        const QString alpha = text(QStringLiteral("alpha"));
        const QString beta = text(QStringLiteral("Beta"));
        for (const QString& target : {alpha, beta}) {
            ClickItem(list, target);
            if (action == QStringLiteral("box")) {
                // The check box sits at the start of the row.
                const QRect row = list->visualItemRect(Item(list, target));
                QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                                  QPoint(row.left() + 10, row.center().y()));
            } else if (action == QStringLiteral("space")) {
                QTest::keyClick(list, Qt::Key_Space);
            } else {
                QTest::keyClick(list, Qt::Key_F2);
                QVERIFY(!list->isPersistentEditorOpen(Item(list, target)));
                QCOMPARE(QApplication::focusWidget(), list);
            }
            QCOMPARE(Checked(list), QStringList{beta});
            QCOMPARE(Texts(list).size(), 3);
        }
        QCOMPARE(lpstatDefault(), QStringLiteral("Beta"));
    }

    void sortsByTheHeader() {
        threeQueues();
        DefaultPrinterWindow* window = Open();
        QTreeWidget* list = window->lvwPrinter;
        const QString alpha = text(QStringLiteral("alpha"));
        const QString beta = text(QStringLiteral("Beta"));
        const QString gamma = text(QStringLiteral("gamma"));
        ClickItem(list, gamma);
        window->cmdExit->setFocus();
        // Ascending from the start, so the first click gives descending; case does not count.
        ClickHeader(list);
        QCOMPARE(Texts(list), QStringList({gamma, beta, alpha}));
        QCOMPARE(list->header()->sortIndicatorOrder(), Qt::DescendingOrder);
        QCOMPARE(list->currentItem()->text(0), gamma);
        QVERIFY(list->currentItem()->isSelected());
        QCOMPARE(QApplication::focusWidget(), list);
        ClickHeader(list);
        QCOMPARE(Texts(list), QStringList({alpha, beta, gamma}));
        QCOMPARE(list->header()->sortIndicatorOrder(), Qt::AscendingOrder);
        QCOMPARE(Checked(list), QStringList{beta});
    }

    void restoresTheOriginalOnClosing_data() {
        QTest::addColumn<bool>("restore");
        QTest::addColumn<QString>("after");
        QTest::newRow("restore") << true << "Beta";
        QTest::newRow("keep") << false << "alpha";
    }
    void restoresTheOriginalOnClosing() {
        QFETCH(bool, restore);
        QFETCH(QString, after);
        threeQueues();
        DefaultPrinterWindow* window = Open();
        ClickItem(window->lvwPrinter, text(QStringLiteral("alpha")));
        QTest::mouseClick(window->cmdSet, Qt::LeftButton);
        QCOMPARE(lpstatDefault(), QStringLiteral("alpha"));
        window->chkRestore->setChecked(restore);
        window->close();
        QCOMPARE(lpstatDefault(), after);
        QCOMPARE(Stored().value(QStringLiteral("Shutdown Properly")).toString(),
                 QStringLiteral("1"));
    }

    void aRefusedChangeIsNotShownAsMade() {
        threeQueues();
        DefaultPrinterWindow* window = Open();
        const QString alpha = text(QStringLiteral("alpha"));
        ClickItem(window->lvwPrinter, alpha);
        // Someone removes the printer while the window is open.
        QVERIFY(cups_->removeQueue(QStringLiteral("alpha")));
        MessageScript messages;
        messages.expect(QStringLiteral("系统提示"),
                        QStringLiteral("设置默认打印机失败：打印机不存在：%1").arg(alpha),
                        MessageScript::Icon::Stop);
        QTest::mouseClick(window->cmdSet, Qt::LeftButton);
        VERIFY_MESSAGES(messages);
        QCOMPARE(Checked(window->lvwPrinter), QStringList{text(QStringLiteral("Beta"))});
        QCOMPARE(lpstatDefault(), QStringLiteral("Beta"));
    }

    void worksFromTheKeyboardWhenShownModally() {
        threeQueues();
        auto* window = ui::WindowHost::instance<DefaultPrinterWindow>(kPlace);
        bool drove = false;
        ScopedModalDriver driver([&](QWidget* shown) {
            QCOMPARE(shown, window);
            QVERIFY(QTest::qWaitForWindowActive(window));
            QCOMPARE(QApplication::focusWidget(), window->lvwPrinter);
            // Beta is current; one step down is gamma.
            QTest::keyClick(window->lvwPrinter, Qt::Key_Down);
            QVERIFY(window->cmdSet->isEnabled());
            QTest::keyClick(window->lvwPrinter, Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), window->cmdSet);
            QTest::keyClick(window->cmdSet, Qt::Key_Space);
            QCOMPARE(lpstatDefault(), QStringLiteral("gamma"));
            // The button that was pressed is now disabled; the focus has moved on.
            QCOMPARE(QApplication::focusWidget(), window->cmdExit);
            const QPointer<QWidget> open(window);
            QTest::keyClick(window, Qt::Key_E, Qt::AltModifier);
            QTRY_VERIFY(open.isNull() || !open->isVisible());
            drove = true;
        });
        ui::WindowHost::show(window, ui::WindowHost::Mode::Modal);
        QVERIFY(drove);
        QCOMPARE(Stored().value(QStringLiteral("Shutdown Properly")).toString(),
                 QStringLiteral("1"));
    }

    void printsOnTheNewDefault() {
        threeQueues();
        DefaultPrinterWindow* window = Open();
        ClickItem(window->lvwPrinter, text(QStringLiteral("gamma")));
        QTest::mouseClick(window->cmdSet, Qt::LeftButton);
        window->close();

        QPrinter printer;
        QCOMPARE(printer.printerName(), QStringLiteral("gamma"));
        QPainter painter;
        QVERIFY(painter.begin(&printer));
        painter.drawText(QPoint(100, 100), QStringLiteral("维修保养单"));
        QVERIFY(painter.end());
        QVERIFY2(cups_->waitForOutput(QStringLiteral("gamma")), qPrintable(cups_->message()));
        QVERIFY(cups_->output(QStringLiteral("gamma")).startsWith("%PDF"));
        QVERIFY(cups_->output(QStringLiteral("Beta")).isEmpty());
    }

    // The slip's paper is chosen with the keyboard or the mouse, kept at once and shown again
    // the next time; a record without a choice means A4.
    void choosesTheSlipsPaper() {
        DefaultPrinterWindow* window = Open();
        QCOMPARE(window->lblPaper->text(), QStringLiteral("维修单纸张:"));
        QCOMPARE(window->lblPaper->buddy(), window->optA4);
        QCOMPARE(window->optA5->text(), QStringLiteral("A5横向"));
        QVERIFY(window->optA4->isChecked());
        QCOMPARE(PrinterRecord(kPlace).slipPaper(), SlipPaper::A4);

        QTest::mouseClick(window->optA5, Qt::LeftButton);
        QCOMPARE(PrinterRecord(kPlace).slipPaper(), SlipPaper::A5Landscape);
        QCOMPARE(Stored().value(QStringLiteral("Slip Paper")).toString(),
                 QStringLiteral("A5 landscape"));
        window->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

        window = Open();
        QVERIFY(window->optA5->isChecked());
        window->optA4->setFocus(Qt::TabFocusReason);
        QTest::keyClick(window->optA4, Qt::Key_Space);
        QVERIFY(window->optA4->isChecked());
        QCOMPARE(PrinterRecord(kPlace).slipPaper(), SlipPaper::A4);
    }

    // The system panel opens the same printer choice as the slip preview.
    void opensFromTheSystemPanel() {
        threeQueues();
        auto* panel = ui::WindowHost::instance<SystemPanelWindow>();
        panel->show();
        QCOMPARE(panel->printerLabel->text(), QStringLiteral("打印机选择"));
        QCOMPARE(panel->printerLabel->buddy(), panel->printerPicture);
        panel->printerPicture->click();
        auto* window = ui::WindowHost::find<DefaultPrinterWindow>();
        QVERIFY(window && window->isVisible());
        QCOMPARE(window->objectName(), QStringLiteral("frmDefaultPrinter"));
        QCOMPARE(Checked(window->lvwPrinter), QStringList{text(QStringLiteral("Beta"))});
    }
};

QTEST_MAIN(TestDefaultPrinterWindow)
#include "test_default_printer_window.moc"
