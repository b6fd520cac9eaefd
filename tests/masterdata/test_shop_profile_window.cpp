#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "masterdata/shop_profile_window.h"
#include "support/database_fixture.h"
#include "support/keyboard.h"
#include "support/message_script.h"
#include "support/window_test.h"
#include "ui/window_host.h"

namespace {

ShopProfileWindow* Open() {
    auto* window = ui::WindowHost::instance<ShopProfileWindow>();
    ui::WindowHost::show(window, ui::WindowHost::Mode::Modeless);
    QApplication::setActiveWindow(window);
    return window;
}

QString Stored() {
    return TestDatabase::scalar(QStringLiteral("select group_concat(re_name || '/' || re_address "
                                               "|| '/' || re_tele, ';') from regedit_table"))
        .toString();
}

// Replaces a box's text as a person would: select all, then type.
void Retype(QWidget* box, const QString& text) {
    box->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(box, Qt::Key_Delete);
    TypeText(box, text);
}

}  // namespace

class TestShopProfileWindow : public WindowTest {
    Q_OBJECT

private Q_SLOTS:
    void showsTheStoredProfile() {
        TestDatabase::exec(
            QStringLiteral("update regedit_table set re_name = '蓝天', re_address "
                           "= '人民路1号', re_tele = '0512-1234'"));
        ShopProfileWindow* window = Open();
        QCOMPARE(window->objectName(), QStringLiteral("frmShopProfile"));
        QCOMPARE(window->windowTitle(), QStringLiteral("店铺信息"));
        QCOMPARE(window->Label1->text(), QStringLiteral("店铺信息"));
        QCOMPARE(window->Text1->text(), QStringLiteral("蓝天"));
        QCOMPARE(window->Text2->text(), QStringLiteral("人民路1号"));
        QCOMPARE(window->Text3->text(), QStringLiteral("0512-1234"));
        QCOMPARE(window->Command1->text(), QStringLiteral("确 定"));
        QCOMPARE(window->Command2->text(), QStringLiteral("取 消"));
        for (auto [box, caption] :
             {std::pair{window->Text1, "店铺名称:"}, std::pair{window->Text2, "地址:"},
              std::pair{window->Text3, "电话:"}}) {
            bool labelled = false;
            for (QLabel* label : window->findChildren<QLabel*>()) {
                labelled = labelled ||
                           (label->buddy() == box && label->text() == QString::fromUtf8(caption));
            }
            QVERIFY2(labelled, caption);
        }
        QVERIFY(window->Text1->hasFocus());
    }

    // Enter walks the boxes and saves from the last; the click on "确 定" does the same.
    void savesAllThreeFields_data() {
        QTest::addColumn<bool>("byClick");
        QTest::newRow("Enter") << false;
        QTest::newRow("click") << true;
    }
    void savesAllThreeFields() {
        QFETCH(bool, byClick);
        ShopProfileWindow* window = Open();
        QPointer<ShopProfileWindow> open(window);
        QSignalSpy saved(window, &ShopProfileWindow::profileSaved);
        TypeText(window->Text1, QStringLiteral(" 蓝天'汽修 "));
        QTest::keyClick(window->Text1, Qt::Key_Return);
        QVERIFY(window->Text2->hasFocus());
        TypeText(window->Text2, QStringLiteral("人民路1号"));
        QTest::keyClick(window->Text2, Qt::Key_Return);
        QVERIFY(window->Text3->hasFocus());
        TypeText(window->Text3, QStringLiteral("0512-66668888"));
        MessageScript messages;
        messages.expect(QStringLiteral("系统提示"), QStringLiteral("保存成功！"),
                        MessageScript::Icon::Information);
        if (byClick) {
            QTest::mouseClick(window->Command1, Qt::LeftButton);
        } else {
            QTest::keyClick(window->Text3, Qt::Key_Return);
        }
        VERIFY_MESSAGES(messages);
        QCOMPARE(Stored(), QStringLiteral("蓝天'汽修/人民路1号/0512-66668888"));
        QCOMPARE(saved.count(), 1);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!open);
    }

    // Without a name nothing is saved, the address typed included.
    void aNameIsRequired() {
        TestDatabase::exec(QStringLiteral("update regedit_table set re_name = '蓝天'"));
        ShopProfileWindow* window = Open();
        Retype(window->Text1, QStringLiteral("   "));
        Retype(window->Text2, QStringLiteral("人民路1号"));
        MessageScript messages;
        messages.expect(QStringLiteral("系统提示"), QStringLiteral("请填写店铺名称！"),
                        MessageScript::Icon::Stop);
        QTest::mouseClick(window->Command1, Qt::LeftButton);
        VERIFY_MESSAGES(messages);
        QVERIFY(window->isVisible());
        QVERIFY(window->Text1->hasFocus());
        QCOMPARE(Stored(), QStringLiteral("蓝天//"));
    }

    void escapeAndCancelKeepTheStoredProfile_data() {
        QTest::addColumn<bool>("escape");
        QTest::newRow("Escape") << true;
        QTest::newRow("取 消") << false;
    }
    void escapeAndCancelKeepTheStoredProfile() {
        QFETCH(bool, escape);
        ShopProfileWindow* window = Open();
        TypeText(window->Text1, QStringLiteral("蓝天"));
        if (escape) {
            QTest::keyClick(window->Text1, Qt::Key_Escape);
        } else {
            QTest::mouseClick(window->Command2, Qt::LeftButton);
        }
        QVERIFY(!window->isVisible());
        QCOMPARE(Stored(), QStringLiteral("//"));
    }

    // A save the database refuses is told, and the window keeps what was typed.
    void aRefusedSaveKeepsTheWindow() {
        TestDatabase::exec(
            QStringLiteral("create trigger refuse before update on regedit_table "
                           "begin select raise(abort, 'refused'); end"));
        ShopProfileWindow* window = Open();
        TypeText(window->Text1, QStringLiteral("蓝天"));
        MessageScript messages;
        messages.expect(QStringLiteral("系统提示"),
                        QStringLiteral("数据库操作失败：数据库拒绝保存这些数据（refused）"),
                        MessageScript::Icon::Stop);
        QTest::mouseClick(window->Command1, Qt::LeftButton);
        VERIFY_MESSAGES(messages);
        QVERIFY(window->isVisible());
        QCOMPARE(window->Text1->text(), QStringLiteral("蓝天"));
        QCOMPARE(Stored(), QStringLiteral("//"));
    }
};

QTEST_MAIN(TestShopProfileWindow)
#include "test_shop_profile_window.moc"
