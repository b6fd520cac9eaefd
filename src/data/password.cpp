#include "data/password.h"

#include <sodium.h>

#include <QByteArray>

namespace {

bool SodiumReady() {
    static const bool ready = sodium_init() >= 0;
    return ready;
}

}  // namespace

bool IsPasswordHash(const QString& stored) {
    return stored.startsWith(QLatin1String(crypto_pwhash_STRPREFIX));
}

QString HashPassword(const QString& password) {
    if (!SodiumReady()) {
        return {};
    }
    const QByteArray utf8 = password.toUtf8();
    char hash[crypto_pwhash_STRBYTES] = {};
    if (crypto_pwhash_str(hash, utf8.constData(), quint64(utf8.size()),
                          crypto_pwhash_OPSLIMIT_INTERACTIVE,
                          crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0) {
        return {};
    }
    return QString::fromLatin1(hash);
}

PasswordCheck CheckPassword(const QString& stored, const QString& typed) {
    if (!IsPasswordHash(stored)) {
        return stored == typed ? PasswordCheck::MatchNeedsRehash : PasswordCheck::NoMatch;
    }
    if (!SodiumReady()) {
        return PasswordCheck::NoMatch;
    }
    const QByteArray hash = stored.toLatin1();
    const QByteArray utf8 = typed.toUtf8();
    if (crypto_pwhash_str_verify(hash.constData(), utf8.constData(), quint64(utf8.size())) != 0) {
        return PasswordCheck::NoMatch;
    }
    const int rehash = crypto_pwhash_str_needs_rehash(
        hash.constData(), crypto_pwhash_OPSLIMIT_INTERACTIVE, crypto_pwhash_MEMLIMIT_INTERACTIVE);
    return rehash == 0 ? PasswordCheck::Match : PasswordCheck::MatchNeedsRehash;
}
