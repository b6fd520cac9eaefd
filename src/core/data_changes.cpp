#include "core/data_changes.h"

#include "data/server_notices.h"

namespace {

const QString kCustomers = QStringLiteral("customers");
const QString kOrder = QStringLiteral("order:");

}  // namespace

DataChanges* DataChanges::instance() {
    static DataChanges* changes = [] {
        auto* made = new DataChanges;
        // Other stations' saves reach the windows as this station's own do.
        QObject::connect(ServerNotices::instance(), &ServerNotices::received, made,
                         [made](const QString& topic) {
                             if (topic == kCustomers) {
                                 Q_EMIT made->customers();
                             } else if (topic.startsWith(kOrder)) {
                                 Q_EMIT made->order(topic.mid(kOrder.size()));
                             }
                         });
        QObject::connect(ServerNotices::instance(), &ServerNotices::connectionLost, made,
                         &DataChanges::serverLost);
        QObject::connect(ServerNotices::instance(), &ServerNotices::connectionRestored, made,
                         [made] {
                             Q_EMIT made->serverBack();
                             Q_EMIT made->customers();
                             Q_EMIT made->order(QString());
                         });
        return made;
    }();
    return changes;
}

void DataChanges::customersChanged() {
    Q_EMIT instance()->customers();
    ServerNotices::announce(kCustomers);
}

void DataChanges::orderSaved(const QString& plate) {
    Q_EMIT instance()->order(plate);
    ServerNotices::announce(kOrder + plate);
}
