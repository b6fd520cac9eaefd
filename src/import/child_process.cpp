#include "import/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

void PipeWriter::put(const void* data, size_t size) {
    buffer_.append(static_cast<const char*>(data), size);
    if (buffer_.size() >= 1 << 16) {
        flush();
    }
}

void PipeWriter::text(const char* utf8, size_t size) {
    put(quint32(size));
    put(utf8, size);
}

void PipeWriter::text(const QString& value) {
    const QByteArray utf8 = value.toUtf8();
    text(utf8.constData(), size_t(utf8.size()));
}

void PipeWriter::flush() {
    const char* p = buffer_.data();
    size_t left = buffer_.size();
    while (left > 0) {
        const ssize_t n = ::write(fd_, p, left);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            _exit(3);
        }
        p += n;
        left -= size_t(n);
    }
    buffer_.clear();
}

bool PipeReader::text(QString& value) {
    quint32 size = 0;
    if (!get(size) || at_ + qint64(size) > data_.size()) {
        return false;
    }
    value = QString::fromUtf8(data_.constData() + at_, qsizetype(size));
    at_ += size;
    return true;
}

namespace {

// Reads the child's whole report, or less when it stalls or sends more than it could mean.
bool ReadAll(int fd, pid_t child, qint64 maxBytes, int stallMs, QByteArray& data) {
    char chunk[1 << 16];
    for (;;) {
        pollfd wait{fd, POLLIN, 0};
        const int ready = ::poll(&wait, 1, stallMs);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            ::kill(child, SIGKILL);
            return false;
        }
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            ::kill(child, SIGKILL);
            return false;
        }
        if (n == 0) {
            return true;
        }
        if (data.size() + n > maxBytes) {
            ::kill(child, SIGKILL);
            return false;
        }
        data.append(chunk, n);
    }
}

}  // namespace

std::optional<QByteArray> RunInChild(const std::function<void(PipeWriter&)>& work, qint64 maxBytes,
                                     int stallMs) {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        return std::nullopt;
    }
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        return std::nullopt;
    }
    if (child == 0) {
        ::close(pipeFds[0]);
        // What the library or a checker says as it fails is for nobody: the file reads as damaged.
        if (const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC); null >= 0) {
            ::dup2(null, STDERR_FILENO);
        }
        {
            PipeWriter out(pipeFds[1]);
            work(out);
        }
        // No exit handlers: they belong to the parent.
        _exit(0);
    }
    ::close(pipeFds[1]);
    QByteArray data;
    const bool complete = ReadAll(pipeFds[0], child, maxBytes, stallMs, data);
    ::close(pipeFds[0]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!complete || !WIFEXITED(status) || WEXITSTATUS(status) != 0 || data.isEmpty()) {
        return std::nullopt;
    }
    return data;
}
