#include "repairs/order_correction_window.h"

#include <QLabel>
#include <QStringListModel>

#include "core/number_text.h"
#include "core/order_number_text.h"
#include "repairs/order_correction.h"
#include "session/current_operator.h"
#include "ui/date_picker.h"
#include "ui/message_box.h"
#include "ui/window_host.h"

namespace {

const QString kHeading = QStringLiteral("修改维修单");
const QString kCorrected = QStringLiteral("修改成功！");
const QString kPlateNotFound = QStringLiteral("没有找到车牌号！");
const QString kChangedElsewhere =
    QStringLiteral("该维修单已被其他工作站修改或作废，请关闭后重新打开。");
const QString kGone = QStringLiteral("该维修单已不存在！");
const QString kVoided = QStringLiteral("该维修单已作废，不能修改！");
// %1 the number of lines, %2 how many the window holds.
const QString kTooManyLines =
    QStringLiteral("该维修单有 %1 行明细，超过了窗口的 %2 行，不能在此修改。");
const QString kAmountFormat = QStringLiteral("#######0.00");
const QString kTotalFormat = QStringLiteral("########0.00");
// The date part of a number this program gave: a space and eight digits.
constexpr int kDatePart = 9;

}  // namespace

OrderCorrectionWindow::OrderCorrectionWindow(const Order& stored, QWidget* parent)
    : OrderEntryWindow(parent), stored_(stored) {
    setObjectName(QStringLiteral("frmOrderCorrection"));
    setWindowTitle(kHeading);
    Label1->setText(kHeading);

    // The number is shown whole in the date-part box, which nobody types into.
    const bool dated = stored.number.size() > kDatePart && stored.number.front() == u' ';
    Text6->setText(dated ? stored.number.left(kDatePart) : stored.number);
    Text7->setText(dated ? stored.number.mid(kDatePart) : QString());
    Text7->setReadOnly(true);
    Text7->setFocusPolicy(Qt::ClickFocus);
    Text4->setText(stored.plate);
    Text5->setText(stored.owner);
    Text8->setText(stored.model);
    Text10->setText(stored.telephone);
    if (stored.nextReminder.isValid()) {
        DTPicker1->setValue(stored.nextReminder);
    }
    Combo2->setEditText(stored.technician);
    // An item renamed or taken off the price list since is still the line's item. The lines
    // share one list, and a changed list forgets every choice, so it is completed first.
    if (auto* model = qobject_cast<QStringListModel*>(Combo1[0]->model())) {
        QStringList items = model->stringList();
        for (const OrderLine& line : stored.lines) {
            if (!items.contains(line.item)) {
                items << line.item;
            }
        }
        model->setStringList(items);
    }
    for (int i = 0; i < kLines && i < stored.lines.size(); ++i) {
        const OrderLine& line = stored.lines[i];
        Combo1[i]->setCurrentIndex(Combo1[i]->findText(line.item));
        Text[i]->setText(line.description);
        Text1[i]->setText(FormatAmount(line.quantity, kAmountFormat));
        Text2[i]->setText(FormatAmount(line.unitPrice, kAmountFormat));
        Text3[i]->setText(FormatAmount(line.amount, kTotalFormat));
    }
    Text9->setText(FormatAmount(stored.total, kTotalFormat));
    Text4->setFocus(Qt::OtherFocusReason);
}

Order OrderCorrectionWindow::corrected() const {
    Order order = OrderEntryWindow::order();
    order.key = stored_.key;
    order.number = stored_.number;
    order.date = stored_.date;
    order.operatorName = stored_.operatorName;
    order.revision = stored_.revision;
    return order;
}

void OrderCorrectionWindow::Command1_Click() {
    if (!requiredFieldsFilled(false)) {
        return;
    }
    const DbResult<OrderChangeOutcome> saved = CorrectOrder(corrected(), CurrentOperator());
    if (!saved) {
        ui::ShowDatabaseError(this, saved.error());
        return;
    }
    switch (saved->outcome) {
        case OrderChange::Changed:
            ui::Information(this, kCorrected);
            close();
            return;
        case OrderChange::Refused:
            ui::Stop(this, saved->refusal);
            return;
        case OrderChange::CustomerNotFound:
            refuse(kPlateNotFound, Text4);
            return;
        case OrderChange::Gone:
            ui::Stop(this, kGone);
            return;
        case OrderChange::AlreadyVoided:
            ui::Stop(this, kVoided);
            return;
        case OrderChange::ChangedElsewhere:
        case OrderChange::NoReason:
            ui::Stop(this, kChangedElsewhere);
            return;
    }
}

void OpenOrderCorrection(QWidget* parent, const Order& order) {
    if (order.voided) {
        ui::Stop(parent, kVoided);
        return;
    }
    if (order.lines.size() > OrderEntryWindow::kLines) {
        ui::Stop(parent, kTooManyLines.arg(order.lines.size()).arg(OrderEntryWindow::kLines));
        return;
    }
    // A window of its own, beside any new order being typed; it deletes itself when closed.
    auto* window = new OrderCorrectionWindow(order);
    ui::WindowHost::show(window, ui::WindowHost::Mode::Modal);
}
