#pragma once

#include "data/backup.h"
#include "data/db_result.h"

// "数据恢复" puts a backup in place of the database every station works on: only an
// administrator may (session/roles.h). The long preparation runs on a thread of its own, which
// must not use the connection, so the operator's role is read on the thread that holds it, at
// the two steps that let go of the database in use.

// FinishRestore (data/backup.h) for the operator logged in: refused with the reason, and the
// prepared files removed, unless they may restore.
DbStatus FinishRestoreAsOperator(const RestorePlan& plan);

// Closes the server's database so its dump can be put back, unless the operator logged in may
// not restore; then it stays open and the reason is returned.
DbStatus CloseForServerRestore();
