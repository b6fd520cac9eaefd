#include "support/read_only_view.h"

#include <QProcess>

#include "data/database.h"

namespace {

bool Run(const QString& program, const QStringList& args) {
    return QProcess::execute(program, args) == 0;
}

}  // namespace

ReadOnlyView::ReadOnlyView(const QString& dir) {
    mounted_ = Run(QStringLiteral("mount"), {QStringLiteral("--bind"), dir, path()}) &&
               Run(QStringLiteral("mount"),
                   {QStringLiteral("-o"), QStringLiteral("remount,bind,ro"), path()});
}

ReadOnlyView::~ReadOnlyView() {
    Database::Close();
    Run(QStringLiteral("umount"), {path()});
}
