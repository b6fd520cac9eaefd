#include <QAccessible>
#include <QFile>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include <QTreeWidget>

#include "printing/default_printer_window.h"
#include "printing/printer_record.h"
#include "repairs/slip.h"
#include "repairs/slip_preview_window.h"
#include "repairs/slip_view.h"
#include "support/cups_server.h"
#include "support/message_script.h"
#include "support/modal_driver.h"
#include "support/pdf_text.h"
#include "support/printing_test.h"
#include "support/window_test.h"
#include "ui/file_dialog.h"
#include "ui/window_host.h"

namespace {

const QString kNoPrinter = QStringLiteral("没有默认打印机，请先选择打印机！");
const QString kPrintFailed = QStringLiteral("打印失败，请检查打印机后重试！");

Slip SampleSlip() {
    Slip slip;
    slip.title = SlipTitleFor(QStringLiteral("蓝天"));
    slip.shopAddress = QStringLiteral("人民路1号");
    slip.shopTelephone = QStringLiteral("0512-66668888");
    slip.orderNumber = QStringLiteral("20261206-001");
    slip.orderDate = QStringLiteral("2026-12-06");
    slip.owner = QStringLiteral("张三");
    slip.plate = QStringLiteral("苏E88A66");
    slip.model = QStringLiteral("捷达");
    slip.telephone = QStringLiteral("13800138000");
    slip.dateTime = QStringLiteral("2026-12-06 14:05:09");
    slip.operatorName = QStringLiteral("管理员");
    slip.technician = QStringLiteral("李师傅");
    slip.total = QStringLiteral("116.00");
    slip.lines[0] = {QStringLiteral("更换机油"), QStringLiteral("全合成"), QStringLiteral("1.00"),
                     QStringLiteral("68.00"), QStringLiteral("68.00")};
    slip.lines[2] = {QStringLiteral("洗车"), QStringLiteral("外观"), QStringLiteral("1.00"),
                     QStringLiteral("48.00"), QStringLiteral("48.00")};
    return slip;
}

struct AccessibleText {
    QString name;
    QString description;
    QRect rect;
};

QList<AccessibleText> AccessibleTexts(QWidget* widget) {
    QList<AccessibleText> texts;
    QAccessibleInterface* view = QAccessible::queryAccessibleInterface(widget);
    if (!view) {
        return texts;
    }
    for (int i = 0; i < view->childCount(); ++i) {
        QAccessibleInterface* child = view->child(i);
        if (child && child->role() == QAccessible::StaticText) {
            texts << AccessibleText{child->text(QAccessible::Name),
                                    child->text(QAccessible::Description), child->rect()};
        }
    }
    return texts;
}

QString NamedBy(const QList<AccessibleText>& texts, const QString& description) {
    for (const AccessibleText& text : texts) {
        if (text.description == description) {
            return text.name;
        }
    }
    return QStringLiteral("<none>");
}

SlipPreviewWindow* Open(const Slip& slip) {
    auto* window = ui::WindowHost::instance<SlipPreviewWindow>();
    window->load(slip);
    window->show();
    return window;
}

QString PdfPath(const QTemporaryDir& dir) {
    return dir.filePath(QStringLiteral("slip.pdf"));
}

void MakePdfPrinter(QPrinter& printer, const QString& path) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
}

}  // namespace

class TestSlipPreviewWindow : public PrintingTest {
    Q_OBJECT

    QTemporaryDir dir_;

private Q_SLOTS:
    void init() {
        PrintingTest::init();
        PrinterRecord().setSlipPaper(SlipPaper::A4);
    }

    void readsEveryValueToScreenReaders_data() {
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("name");
        QTest::newRow("title") << "标题"
                               << "蓝天汽车维修保养单";
        QTest::newRow("order number") << "单号"
                                      << "20261206-001";
        QTest::newRow("shop") << "店铺地址和电话"
                              << "地址：人民路1号    电话：0512-66668888";
        QTest::newRow("order date") << "开单日期"
                                    << "2026-12-06";
        QTest::newRow("plate") << "车牌号"
                               << "苏E88A66";
        QTest::newRow("model") << "车型"
                               << "捷达";
        QTest::newRow("telephone") << "联系电话"
                                   << "13800138000";
        QTest::newRow("owner") << "客户姓名"
                               << "张三";
        QTest::newRow("line 1 item") << "第01行 项目名称"
                                     << "更换机油";
        QTest::newRow("line 1 description") << "第01行 项目说明"
                                            << "全合成";
        QTest::newRow("line 3 item") << "第03行 项目名称"
                                     << "洗车";
        QTest::newRow("line 3 quantity") << "第03行 数量"
                                         << "1.00";
        QTest::newRow("line 3 price") << "第03行 单价"
                                      << "48.00";
        QTest::newRow("line 3 amount") << "第03行 金额"
                                       << "48.00";
        QTest::newRow("untouched line") << "第02行 项目名称"
                                        << "";
        QTest::newRow("total") << "合计"
                               << "116.00";
        QTest::newRow("date and time") << "维修时间"
                                       << "2026-12-06 14:05:09";
        QTest::newRow("technician") << "维修技师"
                                    << "李师傅";
        QTest::newRow("operator") << "操作人"
                                  << "管理员";
    }
    void readsEveryValueToScreenReaders() {
        QFETCH(QString, description);
        QFETCH(QString, name);
        SlipPreviewWindow* window = Open(SampleSlip());
        QCOMPARE(window->objectName(), QStringLiteral("Form22"));
        QCOMPARE(window->windowTitle(), QStringLiteral("打印预览"));
        QCOMPARE(NamedBy(AccessibleTexts(window->slipView), description), name);
    }

    void readsHeadingsWhereTheyAreDrawn() {
        SlipPreviewWindow* window = Open(SampleSlip());
        QVERIFY(QTest::qWaitForWindowExposed(window));
        const QList<AccessibleText> texts = AccessibleTexts(window->slipView);
        QStringList names;
        const QRect view(window->slipView->mapToGlobal(QPoint(0, 0)), window->slipView->size());
        for (const AccessibleText& text : texts) {
            names << text.name;
            QVERIFY2(view.contains(text.rect), qPrintable(text.name));
        }
        for (const char* heading :
             {"[单号]", "[客户姓名]", "[项目名称]", "[项目说明]", "[数  量]", "[单  价]",
              "[金  额]", "01", "[合  计]", "[下次保养日期]", "[维修时间]", "[维修技师]",
              "[操作人]", "[开单日期]", "[车牌号]", "[车型]", "[联系电话]", "客户签字："}) {
            QVERIFY2(names.contains(QString::fromUtf8(heading)), heading);
        }
        // The sample fills fewer than seven lines: the rows after its last carry no number.
        QVERIFY(!names.contains(QStringLiteral("07")));
    }

    void aNewSlipReplacesWhatIsRead() {
        SlipPreviewWindow* window = Open(SampleSlip());
        QCOMPARE(NamedBy(AccessibleTexts(window->slipView), QStringLiteral("客户姓名")),
                 QStringLiteral("张三"));
        Slip other = SampleSlip();
        other.owner = QStringLiteral("李四");
        window->load(other);
        QCOMPARE(NamedBy(AccessibleTexts(window->slipView), QStringLiteral("客户姓名")),
                 QStringLiteral("李四"));
    }

    // The operator picks another printer from the preview, then prints: the slip goes to the
    // printer just chosen, as one page with its texts.
    void printsOnThePrinterChosenFromThePreview() {
        for (const QString& name : {QStringLiteral("front"), QStringLiteral("back")}) {
            QVERIFY2(cups_->addQueue(name), qPrintable(cups_->message()));
        }
        QVERIFY2(cups_->setServerDefault(QStringLiteral("front")), qPrintable(cups_->message()));
        SlipPreviewWindow* window = Open(SampleSlip());
        QCOMPARE(window->Command1->text(), QStringLiteral("打印机选择"));
        QString opened;
        {
            ScopedModalDriver driver([&](QWidget* shown) {
                auto* printers = qobject_cast<DefaultPrinterWindow*>(shown);
                QVERIFY(printers);
                opened = shown->objectName();
                QTreeWidget* list = printers->lvwPrinter;
                for (int i = 0; i < list->topLevelItemCount(); ++i) {
                    if (list->topLevelItem(i)->text(0).startsWith(QStringLiteral("back,"))) {
                        list->setCurrentItem(list->topLevelItem(i));
                    }
                }
                QTest::mouseClick(printers->cmdSet, Qt::LeftButton);
            });
            QTest::mouseClick(window->Command1, Qt::LeftButton);
        }
        QCOMPARE(opened, QStringLiteral("frmDefaultPrinter"));
        QVERIFY(window->isVisible());

        QTest::mouseClick(window->Command3, Qt::LeftButton);
        QVERIFY(!window->isVisible());
        QVERIFY2(cups_->waitForOutput(QStringLiteral("back")), qPrintable(cups_->message()));
        QVERIFY(cups_->output(QStringLiteral("front")).isEmpty());
        const QString printed = dir_.filePath(QStringLiteral("printed.pdf"));
        QFile file(printed);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(cups_->output(QStringLiteral("back")));
        file.close();
        const PdfText pdf = ReadPdfText(printed);
        QVERIFY2(pdf.ok, qPrintable(pdf.error));
        QCOMPARE(pdf.pages.size(), 1);
        for (const char* text : {"蓝天汽车维修保养单", "20261206-001", "张三", "更换机油", "全合成",
                                 "68.00", "洗车", "外观", "48.00", "116.00", "李师傅", "管理员"}) {
            QVERIFY2(pdf.words().contains(QString::fromUtf8(text)), text);
        }
    }

    void printingPutsTheSlipOnOnePageAndCloses() {
        // The preview is shown modally; the operator prints from inside it.
        const QString path = PdfPath(dir_);
        bool printed = false;
        ui::WindowHost::setModalDriver([&](QWidget* shown) {
            auto* window = qobject_cast<SlipPreviewWindow*>(shown);
            QVERIFY(window);
            QCOMPARE(window->Command3->text(), QStringLiteral("打印"));
            QPrinter printer(QPrinter::HighResolution);
            MakePdfPrinter(printer, path);
            printed = window->printOn(printer);
            QVERIFY(!window->isVisible());
        });
        ShowSlipPreview(SampleSlip());
        QVERIFY(printed);
        QVERIFY(!ui::WindowHost::find<SlipPreviewWindow>());

        const PdfText pdf = ReadPdfText(path);
        QVERIFY2(pdf.ok, qPrintable(pdf.error));
        QCOMPARE(pdf.pages.size(), 1);
        const QStringList words = pdf.words();
        for (const char* text : {"蓝天汽车维修保养单", "20261206-001", "张三", "更换机油", "全合成",
                                 "洗车", "116.00", "2026-12-06", "14:05:09", "李师傅", "管理员"}) {
            QVERIFY2(words.contains(QString::fromUtf8(text)), text);
        }
    }

    // The paper chosen in the printer choice, opened from the preview, is the page the slip
    // prints on; every field reads back from it.
    void printsOnThePaperChosen_data() {
        QTest::addColumn<bool>("a5");
        QTest::addColumn<QSizeF>("pageSize");
        QTest::newRow("A5 landscape") << true << QSizeF(595, 420);
        QTest::newRow("A4") << false << QSizeF(595, 842);
    }
    void printsOnThePaperChosen() {
        QFETCH(bool, a5);
        QFETCH(QSizeF, pageSize);
        PrinterRecord().setSlipPaper(a5 ? SlipPaper::A4 : SlipPaper::A5Landscape);
        SlipPreviewWindow* window = Open(SampleSlip());
        {
            ScopedModalDriver driver([&](QWidget* shown) {
                auto* printers = qobject_cast<DefaultPrinterWindow*>(shown);
                QVERIFY(printers);
                QTest::mouseClick(a5 ? printers->optA5 : printers->optA4, Qt::LeftButton);
                QTest::keyClick(printers, Qt::Key_Escape);
            });
            QTest::mouseClick(window->Command1, Qt::LeftButton);
        }
        const QString path = PdfPath(dir_);
        QPrinter printer(QPrinter::HighResolution);
        MakePdfPrinter(printer, path);
        QVERIFY(window->printOn(printer));

        const PdfText pdf = ReadPdfText(path);
        QVERIFY2(pdf.ok, qPrintable(pdf.error));
        QCOMPARE(pdf.pages.size(), 1);
        QVERIFY(qAbs(pdf.pages.first().size.width() - pageSize.width()) < 1);
        QVERIFY(qAbs(pdf.pages.first().size.height() - pageSize.height()) < 1);
        const QStringList words = pdf.words();
        for (const char* text : {"蓝天汽车维修保养单", "地址：人民路1号", "电话：0512-66668888",
                                 "20261206-001", "2026-12-06", "张三", "苏E88A66", "捷达",
                                 "13800138000", "68.00", "116.00", "客户签字："}) {
            QVERIFY2(words.contains(QString::fromUtf8(text)), text);
        }
    }

    void savesTheSlipAsPdf() {
        SlipPreviewWindow* window = Open(SampleSlip());
        QCOMPARE(window->Command2->text(), QStringLiteral("另存为PDF"));
        const QString chosen = dir_.filePath(QStringLiteral("单据"));
        QString suggested;
        ui::FileDialog::setScriptHandler([&](const ui::FileDialog::Request& request) {
            suggested = request.suggested;
            return chosen;
        });
        MessageScript messages;
        messages.expect(QStringLiteral("PDF文件已保存：") + chosen + QStringLiteral(".pdf"));
        window->Command2->click();
        VERIFY_MESSAGES(messages);
        QCOMPARE(suggested, QStringLiteral("20261206-001.pdf"));
        QVERIFY(window->isVisible());
        const PdfText pdf = ReadPdfText(chosen + QStringLiteral(".pdf"));
        QVERIFY2(pdf.ok, qPrintable(pdf.error));
        QVERIFY(pdf.words().contains(QStringLiteral("蓝天汽车维修保养单")));

        // Cancelling the file choice writes nothing and says nothing.
        ui::FileDialog::setScriptHandler([](const ui::FileDialog::Request&) { return QString(); });
        window->Command2->click();
    }

    void aFailedPrintIsToldAndTheSlipStays() {
        SlipPreviewWindow* window = Open(SampleSlip());
        QPrinter printer(QPrinter::HighResolution);
        MakePdfPrinter(printer, dir_.filePath(QStringLiteral("no/such/folder/slip.pdf")));
        MessageScript messages;
        messages.expect(QStringLiteral("系统提示"), kPrintFailed, MessageScript::Icon::Stop);
        QTest::ignoreMessage(QtWarningMsg, "QPainter::begin(): Returned false");
        QVERIFY(!window->printOn(printer));
        VERIFY_MESSAGES(messages);
        QVERIFY(window->isVisible());
    }

    void printingWithoutAPrinterIsToldAndTheSlipStays() {
        QVERIFY(QPrinterInfo::defaultPrinter().isNull());
        SlipPreviewWindow* window = Open(SampleSlip());
        MessageScript messages;
        messages.expect(QStringLiteral("系统提示"), kNoPrinter, MessageScript::Icon::Stop);
        QTest::mouseClick(window->Command3, Qt::LeftButton);
        VERIFY_MESSAGES(messages);
        QVERIFY(window->isVisible());
    }
};

QTEST_MAIN(TestSlipPreviewWindow)
#include "test_slip_preview_window.moc"
