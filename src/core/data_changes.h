#pragma once

#include <QObject>
#include <QString>

// Tells the open windows that stored data changed, so every list shows what is stored. The
// stores say so once a save has been committed, whichever window or command made it.
class DataChanges : public QObject {
    Q_OBJECT

public:
    static DataChanges* instance();

    static void customersChanged() { Q_EMIT instance()->customers(); }
    static void orderSaved(const QString& plate) { Q_EMIT instance()->order(plate); }

Q_SIGNALS:
    // Customers were added, edited, imported, called or given a new reminder date.
    void customers();
    // An order of the vehicle with this plate was saved.
    void order(const QString& plate);

private:
    DataChanges() = default;
};
