#include "data/compressed_file.h"

#include <zstd.h>

#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include "data/engine_error.h"

namespace compressed_file {

namespace {

// Both sides of a stream move in blocks of this size: the memory a copy takes.
constexpr qsizetype kBlock = 1 << 20;
const QString kStopped = QStringLiteral("备份已停止");

QString Native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

QString FileError(const QFile& file) {
    return errno ? DescribeSystemError(errno)
                 : QStringLiteral("读写文件出错（%1）").arg(file.errorString());
}

bool Stopped(const std::atomic<bool>* stop) {
    return stop && stop->load();
}

struct CCtxFree {
    void operator()(ZSTD_CCtx* ctx) const { ZSTD_freeCCtx(ctx); }
};
struct DCtxFree {
    void operator()(ZSTD_DCtx* ctx) const { ZSTD_freeDCtx(ctx); }
};

// The next block of `in` into `buffer`: its size, 0 at the end; a stop or a failed read as its
// reason.
DbResult<qint64> NextBlock(QFile& in, const QString& path, std::vector<char>& buffer,
                           const std::atomic<bool>* stop) {
    if (Stopped(stop)) {
        return DbResult<qint64>::failure(kStopped);
    }
    errno = 0;
    const qint64 got = in.read(buffer.data(), qint64(buffer.size()));
    if (got < 0) {
        return DbResult<qint64>::failure(
            QStringLiteral("无法读取“%1”：%2").arg(Native(path), FileError(in)));
    }
    return got;
}

QString Damaged(const QString& path, const QString& why) {
    return QStringLiteral("压缩文件“%1”已损坏（%2）").arg(Native(path), why);
}

// Decodes `path` block by block, handing each decoded block to `sink`, which returns an error
// text to end the walk.
DbStatus Decode(const QString& path, const std::atomic<bool>* stop, const Progress& progress,
                const std::function<QString(const char*, size_t)>& sink) {
    QFile in(path);
    errno = 0;
    if (!in.open(QIODevice::ReadOnly)) {
        return DbStatus::failure(
            QStringLiteral("无法读取“%1”：%2").arg(Native(path), FileError(in)));
    }
    const std::unique_ptr<ZSTD_DCtx, DCtxFree> ctx(ZSTD_createDCtx());
    if (!ctx) {
        return DbStatus::failure(QStringLiteral("内存不足"));
    }
    const qint64 total = in.size();
    std::vector<char> input(kBlock);
    std::vector<char> output(kBlock);
    qint64 done = 0;
    qint64 decoded = 0;
    int framesEnded = 0;
    size_t pending = 1;  // not yet at the end of a frame
    bool sawFrame = false;
    // What the file's header says it holds; the decoder itself does not hold it to that.
    const qint64 declared = DecodedSize(path);
    while (true) {
        const DbResult<qint64> read = NextBlock(in, path, input, stop);
        if (!read) {
            return DbStatus::failure(read.error());
        }
        const qint64 got = *read;
        if (got == 0) {
            break;
        }
        done += got;
        ZSTD_inBuffer from{input.data(), size_t(got), 0};
        while (from.pos < from.size) {
            ZSTD_outBuffer to{output.data(), output.size(), 0};
            pending = ZSTD_decompressStream(ctx.get(), &to, &from);
            if (ZSTD_isError(pending)) {
                return DbStatus::failure(
                    Damaged(path, QString::fromUtf8(ZSTD_getErrorName(pending))));
            }
            sawFrame = true;
            framesEnded += pending == 0 ? 1 : 0;
            decoded += qint64(to.pos);
            if (to.pos > 0) {
                if (const QString error = sink(output.data(), to.pos); !error.isEmpty()) {
                    return DbStatus::failure(error);
                }
            }
        }
        // A full output block may leave decoded bytes inside the context: drain them.
        while (pending != 0) {
            ZSTD_inBuffer none{nullptr, 0, 0};
            ZSTD_outBuffer to{output.data(), output.size(), 0};
            pending = ZSTD_decompressStream(ctx.get(), &to, &none);
            if (ZSTD_isError(pending)) {
                return DbStatus::failure(
                    Damaged(path, QString::fromUtf8(ZSTD_getErrorName(pending))));
            }
            framesEnded += pending == 0 ? 1 : 0;
            if (to.pos == 0) {
                break;
            }
            decoded += qint64(to.pos);
            if (const QString error = sink(output.data(), to.pos); !error.isEmpty()) {
                return DbStatus::failure(error);
            }
        }
        if (progress) {
            progress(done, total);
        }
    }
    if (!sawFrame || pending != 0) {
        return DbStatus::failure(Damaged(path, QStringLiteral("文件不完整")));
    }
    // A backup is one frame: its header's size must be the size it decodes to.
    if (framesEnded == 1 && declared >= 0 && declared != decoded) {
        return DbStatus::failure(Damaged(path, QStringLiteral("文件头记录的大小与内容不符")));
    }
    return DbOk();
}

}  // namespace

bool IsCompressed(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    // A frame of content; skippable frames alone hold none.
    return file.read(4) == QByteArrayLiteral("\x28\xB5\x2F\xFD");
}

qint64 DecodedSize(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return -1;
    }
    // The longest frame header the format allows.
    const QByteArray head = file.read(18);
    const unsigned long long size = ZSTD_getFrameContentSize(head.constData(), size_t(head.size()));
    return size == ZSTD_CONTENTSIZE_UNKNOWN || size == ZSTD_CONTENTSIZE_ERROR ? -1 : qint64(size);
}

DbStatus Compress(QFile& in, const QString& toPath, int level, const std::atomic<bool>* stop) {
    const QString fromPath = in.fileName();
    QFile out(toPath);
    errno = 0;
    if (!in.seek(0)) {
        return DbStatus::failure(
            QStringLiteral("无法读取“%1”：%2").arg(Native(fromPath), FileError(in)));
    }
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        return DbStatus::failure(
            QStringLiteral("无法写入“%1”：%2").arg(Native(toPath), FileError(out)));
    }
    // Backups hold the shop's customers: for the owner's eyes only.
    out.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    const std::unique_ptr<ZSTD_CCtx, CCtxFree> ctx(ZSTD_createCCtx());
    if (!ctx) {
        return DbStatus::failure(QStringLiteral("内存不足"));
    }
    ZSTD_CCtx_setParameter(ctx.get(), ZSTD_c_compressionLevel, level);
    ZSTD_CCtx_setParameter(ctx.get(), ZSTD_c_checksumFlag, 1);
    // Without thread support in the library the setting fails and the copy runs on this thread.
    ZSTD_CCtx_setParameter(ctx.get(), ZSTD_c_nbWorkers, kBackupThreads);
    // The size in the header lets the free-space rule know a backup's ratio without reading it.
    ZSTD_CCtx_setPledgedSrcSize(ctx.get(), (unsigned long long)in.size());

    std::vector<char> input(kBlock);
    std::vector<char> output(ZSTD_CStreamOutSize() * 8);
    auto write = [&](const ZSTD_outBuffer& to) {
        errno = 0;
        return to.pos == 0 || out.write(output.data(), qint64(to.pos)) == qint64(to.pos);
    };
    auto writeFailed = [&] {
        return DbStatus::failure(
            QStringLiteral("无法写入“%1”：%2").arg(Native(toPath), FileError(out)));
    };
    while (true) {
        const DbResult<qint64> read = NextBlock(in, fromPath, input, stop);
        if (!read) {
            return DbStatus::failure(read.error());
        }
        const qint64 got = *read;
        const ZSTD_EndDirective mode = got == 0 ? ZSTD_e_end : ZSTD_e_continue;
        ZSTD_inBuffer from{input.data(), size_t(got), 0};
        size_t left = 0;
        do {
            ZSTD_outBuffer to{output.data(), output.size(), 0};
            left = ZSTD_compressStream2(ctx.get(), &to, &from, mode);
            if (ZSTD_isError(left)) {
                // The pledged size no longer holds: the file changed while it was read.
                return DbStatus::failure(
                    QStringLiteral("压缩“%1”失败：%2")
                        .arg(Native(fromPath), QString::fromUtf8(ZSTD_getErrorName(left))));
            }
            if (!write(to)) {
                return writeFailed();
            }
        } while (mode == ZSTD_e_end ? left != 0 : from.pos < from.size);
        if (got == 0) {
            break;
        }
    }
    if (!out.flush()) {
        return writeFailed();
    }
    return DbOk();
}

DbStatus Decompress(const QString& fromPath, const QString& toPath, const std::atomic<bool>* stop,
                    const Progress& progress) {
    QFile out(toPath);
    errno = 0;
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        return DbStatus::failure(
            QStringLiteral("无法写入“%1”：%2").arg(Native(toPath), FileError(out)));
    }
    // Backups hold the shop's customers: for the owner's eyes only.
    out.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return Decode(fromPath, stop, progress, [&](const char* data, size_t size) {
        errno = 0;
        if (out.write(data, qint64(size)) != qint64(size)) {
            return QStringLiteral("无法写入“%1”：%2").arg(Native(toPath), FileError(out));
        }
        return QString();
    });
}

DbStatus DecodesTo(const QString& compressed, QFile& plain, const std::atomic<bool>* stop) {
    const QString plainPath = plain.fileName();
    errno = 0;
    if (!plain.seek(0)) {
        return DbStatus::failure(
            QStringLiteral("无法读取“%1”：%2").arg(Native(plainPath), FileError(plain)));
    }
    const QString differs = QStringLiteral("压缩文件“%1”与原文件不符").arg(Native(compressed));
    std::vector<char> expected(kBlock);
    const DbStatus decoded = Decode(compressed, stop, {}, [&](const char* data, size_t size) {
        while (size > 0) {
            const qint64 want = qint64(std::min<size_t>(size, size_t(kBlock)));
            if (plain.read(expected.data(), want) != want ||
                std::memcmp(expected.data(), data, size_t(want)) != 0) {
                return differs;
            }
            data += want;
            size -= size_t(want);
        }
        return QString();
    });
    if (!decoded) {
        return decoded;
    }
    // The plain file must not go on past what the compressed one holds.
    if (!plain.atEnd()) {
        return DbStatus::failure(differs);
    }
    return DbOk();
}

DbStatus Verify(const QString& path, const std::atomic<bool>* stop) {
    return Decode(path, stop, {}, [](const char*, size_t) { return QString(); });
}

DbStatus SameBytes(const QString& aPath, const QString& bPath) {
    QFile a(aPath);
    QFile b(bPath);
    errno = 0;
    if (!a.open(QIODevice::ReadOnly) || !b.open(QIODevice::ReadOnly)) {
        const QFile& failed = a.isOpen() ? b : a;
        return DbStatus::failure(
            QStringLiteral("无法读取“%1”：%2").arg(Native(failed.fileName()), FileError(failed)));
    }
    const QString differs = QStringLiteral("“%1”与“%2”不符").arg(Native(aPath), Native(bPath));
    if (a.size() != b.size()) {
        return DbStatus::failure(differs);
    }
    while (true) {
        const QByteArray blockA = a.read(kBlock);
        const QByteArray blockB = b.read(kBlock);
        if (blockA != blockB) {
            return DbStatus::failure(differs);
        }
        if (blockA.isEmpty()) {
            return a.error() == QFileDevice::NoError && b.error() == QFileDevice::NoError
                       ? DbOk()
                       : DbStatus::failure(differs);
        }
    }
}

}  // namespace compressed_file
