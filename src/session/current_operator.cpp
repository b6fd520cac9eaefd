#include "session/current_operator.h"

namespace {
QString g_operator;
std::function<void()> g_sessionEnd;
}  // namespace

QString CurrentOperator() {
    return g_operator;
}

void SetCurrentOperator(const QString& name) {
    g_operator = name;
}

void SetSessionEndHandler(std::function<void()> handler) {
    g_sessionEnd = std::move(handler);
}

void EndSession() {
    g_operator.clear();
    if (g_sessionEnd) {
        g_sessionEnd();
    }
}
