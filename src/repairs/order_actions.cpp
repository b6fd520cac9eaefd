#include "repairs/order_actions.h"

#include <optional>

#include "core/order_number_text.h"
#include "repairs/order_correction.h"
#include "repairs/order_correction_window.h"
#include "repairs/order_history.h"
#include "session/current_operator.h"
#include "ui/input_box.h"
#include "ui/message_box.h"

namespace {

const QString kVoid = QStringLiteral("作废");
// %1 the order number.
const QString kAskReason = QStringLiteral("请输入作废维修单 %1 的原因：");
const QString kReasonRequired = QStringLiteral("作废原因不能为空！");
const QString kVoided = QStringLiteral("维修单已作废。");
const QString kAlreadyVoided = QStringLiteral("该维修单已作废！");
const QString kGone = QStringLiteral("该维修单已不存在！");
const QString kChangedElsewhere =
    QStringLiteral("该维修单已被其他工作站修改或作废，请关闭后重新打开。");

}  // namespace

void CorrectListedOrder(QWidget* parent, const Order& listed) {
    const DbResult<std::optional<Order>> stored = FindOrder(listed.number);
    if (!stored) {
        ui::ShowDatabaseError(parent, stored.error());
        return;
    }
    if (!*stored) {
        ui::Stop(parent, kGone);
        return;
    }
    // Corrected against the version listed: one changed since is refused at the save.
    Order order = **stored;
    order.revision = listed.revision;
    order.voided = order.voided || listed.voided;
    OpenOrderCorrection(parent, order);
}

bool VoidListedOrder(QWidget* parent, const Order& listed) {
    if (listed.voided) {
        ui::Stop(parent, kAlreadyVoided);
        return false;
    }
    const QString reason =
        ui::InputBox::ask(parent, kAskReason.arg(OrderNumberText(listed.number)), kVoid, QString());
    if (reason.trimmed().isEmpty()) {
        // Cancel gives an empty text too; a blank reason is said to be missing only when typed.
        if (!reason.isEmpty()) {
            ui::Stop(parent, kReasonRequired);
        }
        return false;
    }
    const DbResult<OrderChangeOutcome> voided =
        VoidOrder(listed.number, listed.revision, reason, CurrentOperator());
    if (!voided) {
        ui::ShowDatabaseError(parent, voided.error());
        return false;
    }
    switch (voided->outcome) {
        case OrderChange::Changed:
            ui::Information(parent, kVoided);
            return true;
        case OrderChange::Refused:
            ui::Stop(parent, voided->refusal);
            return false;
        case OrderChange::NoReason:
            ui::Stop(parent, kReasonRequired);
            return false;
        case OrderChange::Gone:
            ui::Stop(parent, kGone);
            return false;
        case OrderChange::AlreadyVoided:
            ui::Stop(parent, kAlreadyVoided);
            return false;
        case OrderChange::ChangedElsewhere:
        case OrderChange::CustomerNotFound:
            break;
    }
    ui::Stop(parent, kChangedElsewhere);
    return false;
}
