#pragma once

#include <QObject>
#include <QString>

// Tells the open windows that stored data changed, so every list shows what is stored. The
// stores say so once a save has been committed, whichever window or command made it.
class DataChanges : public QObject {
    Q_OBJECT

public:
    static DataChanges* instance();

    // Said here, and on a server to the other stations, whose windows then refresh too.
    static void customersChanged();
    static void orderSaved(const QString& plate);

Q_SIGNALS:
    // Customers were added, edited, imported, called or given a new reminder date.
    void customers();
    // An order of the vehicle with this plate was saved; an empty plate: orders of any vehicle
    // may have changed.
    void order(const QString& plate);
    // The database server went away under this station, and came back: in between, the lists
    // may have gone stale, so everything that listens above is said again on return.
    void serverLost();
    void serverBack();

private:
    DataChanges() = default;
};
