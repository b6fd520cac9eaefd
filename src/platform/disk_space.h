#pragma once

#include <QString>

namespace platform {

// The size of the disk holding `path` and the room left on it for this user, in bytes; zeros
// when the system cannot tell.
struct VolumeSpace {
    qint64 total = 0;
    qint64 available = 0;
};
VolumeSpace SpaceOf(const QString& path);

// Whether two existing paths are on one disk, so a copy from one to the other would not survive
// that disk failing.
bool SameVolume(const QString& a, const QString& b);

}  // namespace platform
