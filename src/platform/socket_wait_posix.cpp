#include "platform/socket_wait.h"

#include <sys/select.h>

namespace platform {

bool WaitForSocket(int socket, bool forWriting, long long milliseconds) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(socket, &set);
    timeval wait{};
    wait.tv_sec = long(milliseconds / 1000);
    wait.tv_usec = long(milliseconds % 1000) * 1000;
    return select(socket + 1, forWriting ? nullptr : &set, forWriting ? &set : nullptr, nullptr,
                  &wait) != 0;
}

}  // namespace platform
