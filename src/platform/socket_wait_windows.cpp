#include "platform/socket_wait.h"

#include <winsock2.h>

namespace platform {

bool WaitForSocket(int socket, bool forWriting, long long milliseconds) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(SOCKET(socket), &set);
    timeval wait{};
    wait.tv_sec = long(milliseconds / 1000);
    wait.tv_usec = long(milliseconds % 1000) * 1000;
    // Winsock ignores the first argument.
    return select(0, forWriting ? nullptr : &set, forWriting ? &set : nullptr, nullptr, &wait) != 0;
}

}  // namespace platform
