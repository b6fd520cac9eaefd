#include "import/import_help_window.h"

#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/key_controls.h"
#include "ui/named.h"

namespace {

const QString kTitle = QStringLiteral("导入格式说明");
const QString kClose = QStringLiteral("关闭");

QString HelpText() {
    const QStringList lines = {
        QString(22, QLatin1Char(' ')) + QStringLiteral("从EXCEL导入数据库格式说明书"),
        QStringLiteral("操作步骤:"),
        QStringLiteral("[从Excel导入...] -> [数据审核] -> [导入到数据库中]"),
        QStringLiteral("注意事项："),
        QStringLiteral("Excel 表格中的列内容必须与此表格列相对应。"),
        QStringLiteral("[提醒日期] 如果EXCEL表中对应提醒日期为空时，系统默认为当前日期。"),
        QStringLiteral("[车牌号]   为必填项，如果不填写此条记录将不导入数据库中。"),
        QStringLiteral("[车主姓名] 为必填项，如果不填写此条记录将不导入数据库中。"),
        QStringLiteral("[登记日期] 如果EXCEL表中对应登记日期为空时，系统默认为当前日期。"),
        QStringLiteral("[性别]     只允许填写先生、女士。"),
        QStringLiteral("[联系电话] 无要求"),
        QStringLiteral("[身份证号] 无要求"),
        QStringLiteral("[车型]     无要求"),
        // What reading by heading and 男/女 add to the rules above.
        QStringLiteral("[性别]     也可填写男、女，导入为先生、女士。"),
        QStringLiteral(
            "表格的第一行（或标题下的一行）是表头时，按表头中的列名找到各列，列的顺序不限；"
            "也认得常用的列名，如车牌、车牌号码、姓名、客户姓名、手机、手机号、"
            "下次保养日期、建档日期、车辆型号等。表头中必须有车牌号、车主姓名和性别，"
            "不认识的列不导入。"),
        QStringLiteral("数据审核会列出所有问题（行、列、内容、原因和可以填写的内容）。"),
    };
    QString text;
    for (const QString& line : lines) {
        text += line + QStringLiteral("\n\n");
    }
    return text;
}

}  // namespace

ImportHelpWindow::ImportHelpWindow(QWidget* parent)
    : QWidget(parent, Qt::Window),
      Text1(ui::Named(new QPlainTextEdit(this), QStringLiteral("Text1"))),
      Command1(ui::Named(new QPushButton(kClose, this), QStringLiteral("Command1"))) {
    setObjectName(QStringLiteral("Form21"));
    setWindowTitle(kTitle);
    setAttribute(Qt::WA_DeleteOnClose);
    Text1->setPlainText(HelpText());
    Text1->setReadOnly(true);
    Text1->setAccessibleName(kTitle);
    Text1->setLineWrapMode(QPlainTextEdit::NoWrap);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Command1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Text1);
    layout->addLayout(buttons);
    resize(580, 620);

    connect(Command1, &QPushButton::clicked, this, &ImportHelpWindow::Command1_Click);
    ui::CloseOnEscape(this, [this] { Command1_Click(); });
}

void ImportHelpWindow::Command1_Click() {
    close();
}
