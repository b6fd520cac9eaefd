#pragma once

#include <QString>
#include <functional>

// The operator who logged in, for every window that records or prints who did something.
// The main window's operator label shows the same name.
QString CurrentOperator();
void SetCurrentOperator(const QString& name);

// What the shell does when a session ends under it (a restore replaced the data every window
// shows): ask for a login again. Features end the session through EndSession and never open
// the login themselves.
void SetSessionEndHandler(std::function<void()> handler);
// Logs the operator out and hands over to the shell's handler, when one is set.
void EndSession();
