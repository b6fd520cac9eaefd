#pragma once

#include <QString>
#include <QStringList>

#include "data/db_result.h"

// Operator accounts (user_table): the names the login offers, in stored order.
DbResult<QStringList> OperatorNames();

enum class Login { UnknownOperator, WrongPassword, Accepted };

// Checks a typed password against the operator's stored one. With two operators of one name
// the first row's password counts. A password still kept as plain text is replaced by its hash
// once it has matched.
DbResult<Login> CheckLogin(const QString& name, const QString& password);
