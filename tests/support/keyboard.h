#pragma once

#include <QString>

class QWidget;

// Types text as a keyboard or an input method delivers it, Chinese characters included: one
// key event a character, carrying the character as its text.
void TypeText(QWidget* widget, const QString& text);

// The objectName of the widget that has the keyboard focus, or "<none>".
QString FocusName();
