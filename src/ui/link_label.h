#pragma once

#include <QLabel>

namespace ui {

// A label that acts like a button: it opens something when clicked, and it can be reached with
// Tab and pressed with Enter or Space, so keyboard users get to it too.
class LinkLabel : public QLabel {
    Q_OBJECT

public:
    explicit LinkLabel(const QString& text, QWidget* parent = nullptr);

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
};

}  // namespace ui
