#pragma once

#include <QFile>
#include <QString>
#include <atomic>
#include <functional>

#include "data/db_result.h"

// Whole files in the zstd format, streamed through fixed buffers so that memory stays the same
// whatever the file's size. Every frame written carries its content size and checksum, so any
// damaged byte is found when the file is read back.
namespace compressed_file {

// The level backups are written at. Measured on a shop of 89 MB: level 3 keeps a third
// (23 backups and the database take 8.2 times the database), level 6 a little less (7.8 times)
// and still keeps pace with the engine's check when it has two threads of its own; higher
// levels gain little for many times the time.
constexpr int kBackupLevel = 6;
// Compression threads of their own, beside the one that reads and writes.
constexpr int kBackupThreads = 2;

// Whether the file starts like a zstd frame (its magic number), whatever its name.
bool IsCompressed(const QString& path);

// The size of what the file holds once decompressed, from its first frame's header; -1 when the
// header does not say or the file is no zstd file.
qint64 DecodedSize(const QString& path);

using Progress = std::function<void(qint64 done, qint64 total)>;

// Compresses the whole of the open file `from` into the file `to` (created or truncated).
// Setting `stop` ends it early as a failure.
DbStatus Compress(QFile& from, const QString& to, int level,
                  const std::atomic<bool>* stop = nullptr);

// Decompresses `from` into the file `to` (created or truncated), reporting the compressed bytes
// read. Fails on any damage, on a truncated file and on bytes after the last frame.
DbStatus Decompress(const QString& from, const QString& to, const std::atomic<bool>* stop = nullptr,
                    const Progress& progress = {});

// Whether `compressed` decodes, checksums and all, to exactly the bytes of the open file `plain`.
DbStatus DecodesTo(const QString& compressed, QFile& plain,
                   const std::atomic<bool>* stop = nullptr);

// Whether the file decodes whole, every frame's checksum holding.
DbStatus Verify(const QString& path, const std::atomic<bool>* stop = nullptr);

// Whether two files hold the same bytes.
DbStatus SameBytes(const QString& a, const QString& b);

}  // namespace compressed_file
