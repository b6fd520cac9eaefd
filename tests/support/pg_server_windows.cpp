#include "support/pg_server.h"

// The private server needs initdb and pg_ctl run as a system user over a Unix socket; on Windows
// it is never started, and the tests that need it are not built there.

namespace {

const QString kUnavailable = QStringLiteral("no private PostgreSQL server on Windows");

}  // namespace

PgServer::PgServer(Durability) : message_(kUnavailable) {}

PgServer::~PgServer() = default;

QString PgServer::processTag() const {
    return {};
}

QString PgServer::uri(const QString&) const {
    return {};
}

QString PgServer::createDatabase(const QString&) {
    return {};
}

bool PgServer::stop() {
    return false;
}

bool PgServer::start() {
    return false;
}

QStringList PgServer::processesTagged(const QString&) {
    return {};
}
