#include "session/roles.h"

QString RefusalFor(Guarded) {
    return {};
}
