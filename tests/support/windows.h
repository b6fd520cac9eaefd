#pragma once

// Deletes every top-level window a test left open (and anything waiting for deferred
// deletion), so the next test starts with no window and no open recordset.
void CloseAllWindows();
