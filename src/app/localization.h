#pragma once

class QApplication;

// The screens speak Simplified Chinese, Qt's own dialogs and buttons included, and every
// window draws Chinese text with an installed CJK font whatever the system locale is.
void ApplyChineseLocale(QApplication& app);
