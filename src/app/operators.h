#pragma once

#include <QString>
#include <QStringList>

#include "data/db_result.h"

// Operator accounts (user_table): the names the login offers, in stored order.
DbResult<QStringList> OperatorNames();

enum class Login { UnknownOperator, WrongPassword, Accepted };

// Whether some operator's password is still `password` (the seed operator's, say).
DbResult<bool> SomeOperatorHasPassword(const QString& password);

// Checks a typed password against the operator's stored one. With two operators of one name
// the first row's password counts. A password still kept as plain text is replaced by its hash
// once it has matched.
DbResult<Login> CheckLogin(const QString& name, const QString& password);

// Why an operator was not added, in the order the checks run: a blank name, a name already
// stored (matched exactly), an empty password or confirmation, or two passwords that differ
// (letter case counts). A password of blanks is a password.
enum class OperatorAdd { Added, NameEmpty, NameTaken, PasswordEmpty, ConfirmationEmpty, Mismatch };
DbResult<OperatorAdd> AddOperator(const QString& name, const QString& password,
                                  const QString& confirmation);

// Sets a new password for the operator of that name (the first row of the name, the one the
// login checks), in the order the checks run. No old password is asked for.
enum class PasswordChange { Changed, PasswordEmpty, ConfirmationEmpty, UnknownOperator, Mismatch };
DbResult<PasswordChange> ChangePassword(const QString& name, const QString& password,
                                        const QString& confirmation);
