#pragma once

#include <QString>
#include <QTemporaryDir>

// Points the user's settings at a folder of the test's own while it lives, so a test neither
// reads nor changes the settings of the person running it, and starts with none.
class ScratchSettings {
public:
    ScratchSettings();
    ScratchSettings(const ScratchSettings&) = delete;
    ScratchSettings& operator=(const ScratchSettings&) = delete;

private:
    QTemporaryDir dir_;
};

// A folder standing in for a USB stick or a network folder that can be made to misbehave: a
// small file system of its own (full after a few hundred kilobytes) or a read-only view of the
// folder, as a write-protected stick. Both need root, to mount; `ok()` says whether it worked.
class MountedFolder {
public:
    enum class Kind { Small, ReadOnly };
    MountedFolder(Kind kind, qint64 bytes = 0);
    ~MountedFolder();
    MountedFolder(const MountedFolder&) = delete;
    MountedFolder& operator=(const MountedFolder&) = delete;

    bool ok() const { return mounted_; }
    QString path() const { return dir_.path(); }
    // Where files go to appear in the read-only view.
    QString source() const { return source_.path(); }

private:
    QTemporaryDir dir_;
    QTemporaryDir source_;
    bool mounted_ = false;
};
