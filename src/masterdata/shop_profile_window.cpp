#include "masterdata/shop_profile_window.h"

#include <QLabel>
#include <QPushButton>

#include "masterdata/account_form.h"
#include "masterdata/shop_profile.h"
#include "ui/message_box.h"
#include "ui/named.h"

namespace {

const QString kHeading = QStringLiteral("店铺信息");
const QString kNameCaption = QStringLiteral("店铺名称:");
const QString kAddressCaption = QStringLiteral("地址:");
const QString kTelephoneCaption = QStringLiteral("电话:");
const QString kNameRequired = QStringLiteral("请填写店铺名称！");
const QString kSaved = QStringLiteral("保存成功！");

// Room for what a slip's line can show.
constexpr int kNameLength = 40;
constexpr int kAddressLength = 80;
constexpr int kTelephoneLength = 40;

}  // namespace

ShopProfileWindow::ShopProfileWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("frmShopProfile"));
    setWindowTitle(kHeading);
    setAttribute(Qt::WA_DeleteOnClose);

    Text1 = ui::Named(new ui::TextBox(this), QStringLiteral("Text1"));
    Text2 = ui::Named(new ui::TextBox(this), QStringLiteral("Text2"));
    Text3 = ui::Named(new ui::TextBox(this), QStringLiteral("Text3"));
    Text1->setMaxLength(kNameLength);
    Text2->setMaxLength(kAddressLength);
    Text3->setMaxLength(kTelephoneLength);
    for (ui::TextBox* box : {Text1, Text2, Text3}) {
        box->setMinimumWidth(320);
    }

    const AccountForm form = LayOutAccountForm(
        this, kHeading,
        {{{kNameCaption, Text1}, {kAddressCaption, Text2}, {kTelephoneCaption, Text3}}});
    Label1 = form.heading;
    Command1 = form.ok;
    Command2 = form.cancel;

    connect(Command1, &QPushButton::clicked, this, &ShopProfileWindow::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &ShopProfileWindow::Command2_Click);
    ui::CloseOnEscape(this, [this] { Command2_Click(); });
    // Enter walks the three boxes; in the last one it saves.
    connect(Text1, &ui::TextBox::KeyDown, this, [this](int key) {
        if (ui::IsEnterKey(key)) {
            Text2->setFocus(Qt::OtherFocusReason);
        }
    });
    connect(Text2, &ui::TextBox::KeyDown, this, [this](int key) {
        if (ui::IsEnterKey(key)) {
            Text3->setFocus(Qt::OtherFocusReason);
        }
    });
    connect(Text3, &ui::TextBox::KeyDown, this, [this](int key) {
        if (ui::IsEnterKey(key)) {
            Command1_Click();
        }
    });

    Form_Load();
    Text1->setFocus(Qt::OtherFocusReason);
}

void ShopProfileWindow::Form_Load() {
    const DbResult<ShopProfile> shop = ReadShopProfile();
    if (!shop) {
        ui::ShowDatabaseError(this, shop.error());
        return;
    }
    Text1->setText(shop->name);
    Text2->setText(shop->address);
    Text3->setText(shop->telephone);
}

void ShopProfileWindow::Command1_Click() {
    const ShopProfile profile{Text1->text().trimmed(), Text2->text().trimmed(),
                              Text3->text().trimmed()};
    if (ShopNameMissing(profile)) {
        ui::Stop(this, kNameRequired);
        Text1->setFocus(Qt::OtherFocusReason);
        return;
    }
    if (const DbStatus saved = SaveShopProfile(profile); !saved) {
        ui::ShowDatabaseError(this, saved.error());
        return;
    }
    ui::Information(this, kSaved);
    Q_EMIT profileSaved();
    close();
}

void ShopProfileWindow::Command2_Click() {
    close();
}
