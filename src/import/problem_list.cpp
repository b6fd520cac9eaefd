#include "import/problem_list.h"

#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

#include "import/audit.h"
#include "ui/named.h"

namespace {

const QString kCaption = QStringLiteral("问题列表");
const QString kFound = QStringLiteral("共发现 %1 个问题（双击一行可找到它的单元格）：");

constexpr int kRowRole = Qt::UserRole;
constexpr int kColumnRole = Qt::UserRole + 1;

}  // namespace

ProblemList::ProblemList(QWidget* parent)
    : QWidget(parent),
      lblProblems(ui::Named(new QLabel(this), QStringLiteral("lblProblems"))),
      lstProblems(ui::Named(new QListWidget(this), QStringLiteral("lstProblems"))) {
    setObjectName(QStringLiteral("problemList"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(lblProblems);
    layout->addWidget(lstProblems);
    lblProblems->setWordWrap(true);
    lblProblems->setBuddy(lstProblems);
    ui::SetAccessibleCaption(lstProblems, kCaption);
    lstProblems->setMaximumHeight(140);
    connect(lstProblems, &QListWidget::itemActivated, this,
            &ProblemList::lstProblems_ItemActivated);
    hide();
}

void ProblemList::show(const SheetProblems& problems, const QString& note) {
    lstProblems->clear();
    if (problems.empty() && note.isEmpty()) {
        hide();
        return;
    }
    QStringList heading;
    if (!problems.empty()) {
        heading << kFound.arg(problems.count());
    }
    if (!note.isEmpty()) {
        heading << note;
    }
    lblProblems->setText(heading.join(QLatin1Char('\n')));
    const QStringList lines = problems.lines();
    for (qsizetype i = 0; i < lines.size(); ++i) {
        auto* item = new QListWidgetItem(lines[i], lstProblems);
        // The last line may only count the problems not listed.
        if (i < qsizetype(problems.shown().size())) {
            const SheetProblem& problem = problems.shown()[size_t(i)];
            item->setData(kRowRole, qlonglong(problem.row));
            item->setData(kColumnRole, int(problem.column));
        }
    }
    lstProblems->setVisible(!problems.empty());
    QWidget::show();
}

void ProblemList::clear() {
    lstProblems->clear();
    hide();
}

void ProblemList::lstProblems_ItemActivated(QListWidgetItem* item) {
    const QVariant row = item->data(kRowRole);
    if (row.isValid()) {
        Q_EMIT cellChosen(row.toInt(), item->data(kColumnRole).toInt());
    }
}
