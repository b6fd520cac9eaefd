#pragma once

#include <QWidget>

#include "session/roles.h"

class QLabel;
class QToolButton;

// Form5: the system panel. Each entry is a picture that opens a maintenance window or runs the
// backup, with its caption below; the captions themselves do nothing. An entry the operator's
// role may not use is shown unavailable, with the reason as its tip.
class SystemPanelWindow : public QWidget {
    Q_OBJECT

public:
    explicit SystemPanelWindow(QWidget* parent = nullptr);

    QToolButton* Picture1;
    QLabel* Label1;
    QToolButton* Picture2;
    QLabel* Label2;
    QToolButton* Picture21;
    QLabel* Label11;
    QToolButton* Picture22;
    QLabel* Label21;
    QToolButton* Picture29;
    QLabel* Label30;
    QToolButton* Picture30;
    QLabel* Label37;
    QToolButton* Picture60;
    QLabel* Label56;
    QToolButton* restorePicture;
    QLabel* restoreLabel;
    QToolButton* shopPicture;
    QLabel* shopLabel;
    QToolButton* printerPicture;
    QLabel* printerLabel;
    QToolButton* connectionPicture;
    QLabel* connectionLabel;
    QToolButton* operatorsPicture;
    QLabel* operatorsLabel;

    void Picture1_Click();
    void Picture2_Click();
    void Picture21_Click();
    void Picture22_Click();
    void Picture29_Click();
    void Picture30_Click();
    void Picture60_Click();
    void restorePicture_Click();
    void shopPicture_Click();
    void printerPicture_Click();
    void connectionPicture_Click();
    void operatorsPicture_Click();

private:
    // Whether the operator may use the entry for `action`; says why not when they may not.
    bool allowed(Guarded action);
};
