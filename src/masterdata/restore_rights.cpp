#include "masterdata/restore_rights.h"

#include <QFile>

#include "data/database.h"
#include "session/roles.h"

DbStatus FinishRestoreAsOperator(const RestorePlan& plan) {
    if (const QString refusal = RefusalFor(Guarded::Restore); !refusal.isEmpty()) {
        for (const QString& draft : {plan.staged, plan.safetyDraft}) {
            if (!draft.isEmpty()) {
                QFile::remove(draft);
            }
        }
        return DbStatus::failure(refusal);
    }
    return FinishRestore(plan);
}

DbStatus CloseForServerRestore() {
    if (const QString refusal = RefusalFor(Guarded::Restore); !refusal.isEmpty()) {
        return DbStatus::failure(refusal);
    }
    Database::Close();
    return DbOk();
}
