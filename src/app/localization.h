#pragma once

class QApplication;

// The screens speak Simplified Chinese, Qt's own dialogs and buttons included, and every
// window draws Chinese text with an installed CJK font whatever the system locale is. Every
// window also carries the program's icon.
void ApplyChineseLocale(QApplication& app);
