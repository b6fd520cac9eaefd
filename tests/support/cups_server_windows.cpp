#include "support/cups_server.h"

// The private printing server is cupsd; on Windows it is never started, and the tests that need
// it are not built there.

namespace {

const QString kUnavailable = QStringLiteral("no private printing server on Windows");

}  // namespace

CupsServer::CupsServer() : message_(kUnavailable) {}

CupsServer::~CupsServer() = default;

QString CupsServer::socketPath() const {
    return {};
}

QString CupsServer::serverRoot() const {
    return {};
}

QString CupsServer::homeDir() const {
    return {};
}

bool CupsServer::addQueue(const QString&) {
    return false;
}

bool CupsServer::removeQueue(const QString&) {
    return false;
}

bool CupsServer::setServerDefault(const QString&) {
    return false;
}

bool CupsServer::reset() {
    return false;
}

QString CupsServer::outputFile(const QString&) const {
    return {};
}

QByteArray CupsServer::output(const QString&) const {
    return {};
}

bool CupsServer::waitForOutput(const QString&, int) {
    return false;
}

bool CupsServer::run(const QString&, const QStringList&, QString*) {
    return false;
}
