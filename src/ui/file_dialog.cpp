#include "ui/file_dialog.h"

#include <QFileDialog>
#include <utility>

namespace ui {

namespace {

FileDialog::Handler& ScriptHandler() {
    static FileDialog::Handler handler;
    return handler;
}

QString Ask(QWidget* parent, const FileDialog::Request& request) {
    if (ScriptHandler()) {
        const FileDialog::Handler handler = ScriptHandler();
        return handler(request);
    }
    if (request.folder) {
        return QFileDialog::getExistingDirectory(parent, request.caption, request.suggested);
    }
    return request.saving ? QFileDialog::getSaveFileName(parent, request.caption, request.suggested,
                                                         request.filter)
                          : QFileDialog::getOpenFileName(parent, request.caption, request.suggested,
                                                         request.filter);
}

}  // namespace

QString FileDialog::saveFileName(QWidget* parent, const QString& caption, const QString& suggested,
                                 const QString& filter) {
    return Ask(parent, {true, caption, suggested, filter});
}

QString FileDialog::openFileName(QWidget* parent, const QString& caption, const QString& suggested,
                                 const QString& filter) {
    return Ask(parent, {false, caption, suggested, filter});
}

QString FileDialog::folderName(QWidget* parent, const QString& caption, const QString& suggested) {
    return Ask(parent, {false, caption, suggested, QString(), true});
}

FileDialog::Handler FileDialog::setScriptHandler(Handler handler) {
    return std::exchange(ScriptHandler(), std::move(handler));
}

}  // namespace ui
