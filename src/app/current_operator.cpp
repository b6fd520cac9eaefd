#include "app/current_operator.h"

namespace {
QString g_operator;
}

QString CurrentOperator() {
    return g_operator;
}

void SetCurrentOperator(const QString& name) {
    g_operator = name;
}
