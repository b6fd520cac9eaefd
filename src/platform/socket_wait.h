#pragma once

namespace platform {

// Waits up to `milliseconds` for `socket` to be ready to read (or to write). True when it is
// ready, or when the wait itself failed or was interrupted, so the caller looks for itself;
// false when the time ran out.
bool WaitForSocket(int socket, bool forWriting, long long milliseconds);

}  // namespace platform
