#pragma once

#include <QString>

// Operators' passwords are stored as argon2id hashes. Older rows may still hold the password
// as plain text; those are compared exactly and should be rehashed once they have matched.
enum class PasswordCheck { NoMatch, Match, MatchNeedsRehash };

QString HashPassword(const QString& password);
PasswordCheck CheckPassword(const QString& stored, const QString& typed);
bool IsPasswordHash(const QString& stored);
