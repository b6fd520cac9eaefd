#include "customers/customer_edit_window.h"

#include <QLabel>
#include <QPalette>
#include <QPushButton>

#include "data/run_sql.h"
#include "ui/date_picker.h"
#include "ui/message_box.h"

namespace {

const QString kHeading = QStringLiteral("客户信息修改");
const QString kNote = QStringLiteral("“*” 为不可修改项");
const QString kSaved = QStringLiteral("修改成功！");
const QString kGone = QStringLiteral("该客户信息已不存在，可能已被删除！");

const QString kUpdate = QStringLiteral(
    "update kh_table set kh_czname=?, kh_tele=?, kh_djdate=?, kh_txdate=?, kh_sfzh=?, kh_cx=?, "
    "kh_xb=? where kh_code=?");
// With neither option button on, the stored sex stays as it is.
const QString kUpdateKeepingSex = QStringLiteral(
    "update kh_table set kh_czname=?, kh_tele=?, kh_djdate=?, kh_txdate=?, kh_sfzh=?, kh_cx=? "
    "where kh_code=?");

}  // namespace

CustomerEditWindow::CustomerEditWindow(QWidget* parent)
    : CustomerForm({"Form13", kHeading, kNote, {0}}, parent) {
    kh_code = new QLabel(this);
    kh_code->setObjectName(QStringLiteral("kh_code"));
    kh_code->hide();
    Text[0]->setReadOnly(true);
    // A locked box looks locked: the window's colour instead of the writing colour.
    QPalette locked = Text[0]->palette();
    locked.setColor(QPalette::Base, locked.color(QPalette::Window));
    Text[0]->setPalette(locked);

    connect(Command1, &QPushButton::clicked, this, &CustomerEditWindow::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &CustomerEditWindow::Command2_Click);

    // The plate cannot change, so the owner's name is where editing starts.
    Text[1]->setFocus(Qt::OtherFocusReason);
}

void CustomerEditWindow::Command1_Click() {
    QVariantList values = {Text[1]->text(),    Text[2]->text(), DTPicker1->value(),
                           DTPicker2->value(), Text[3]->text(), Text[4]->text()};
    const QString chosenSex = sex();
    if (!chosenSex.isEmpty()) {
        values << chosenSex;
    }
    values << kh_code->text();
    const Recordset saved = RunSql(chosenSex.isEmpty() ? kUpdateKeepingSex : kUpdate, values);
    if (saved.isNull()) {
        // Nothing was written; the window stays open so the operator can try again.
        ui::ShowDatabaseError(this);
        return;
    }
    if (saved.rowsAffected() == 0) {
        // Deleted since the window opened: there is nothing left to correct.
        ui::Stop(this, kGone);
        close();
        return;
    }
    ui::Information(this, kSaved);
    close();
}

void CustomerEditWindow::Command2_Click() {
    close();
}
