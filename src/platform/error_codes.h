#pragma once

#include <cerrno>

// Windows' C library has no code for an exhausted quota; the number its sockets use for it stands
// in, so the messages for it can be written once.
#ifndef EDQUOT
#define EDQUOT 10069
#endif
