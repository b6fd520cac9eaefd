#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace ui {

// The one entry point for asking the operator for a file name. Tests script the answers, as
// they do for messages.
class FileDialog {
public:
    struct Request {
        bool saving = false;
        QString caption;
        QString suggested;    // a file name or folder to start from
        QString filter;       // "PDF 文件 (*.pdf)"
        bool folder = false;  // a folder is asked for, not a file
    };
    using Handler = std::function<QString(const Request&)>;

    // The chosen file, or an empty text when the operator cancelled.
    static QString saveFileName(QWidget* parent, const QString& caption, const QString& suggested,
                                const QString& filter);
    static QString openFileName(QWidget* parent, const QString& caption, const QString& suggested,
                                const QString& filter);
    // An existing folder, or an empty text when the operator cancelled.
    static QString folderName(QWidget* parent, const QString& caption, const QString& suggested);

    // For tests: while a handler is installed it answers instead of a dialog. Returns the handler
    // installed before.
    static Handler setScriptHandler(Handler handler);
};

}  // namespace ui
