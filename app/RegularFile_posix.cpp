// SPDX-License-Identifier: GPL-3.0-or-later

#include "RegularFile.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

RegularFileRead failed(int error)
{
    if (error == ENOENT || error == ENOTDIR)
        return {RegularFileRead::Outcome::Missing, {}, {}};
    return {RegularFileRead::Outcome::Failed, {}, QString::fromLocal8Bit(std::strerror(error))};
}

class FileDescriptor
{
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return m_fd; }

private:
    int m_fd;
};

} // namespace

RegularFileRead readRegularFile(const QString& path, qsizetype maxBytes)
{
    using Outcome = RegularFileRead::Outcome;
    const QByteArray name = QFile::encodeName(path);
    // A device is not even opened where a look tells what it is: opening one
    // may do something (a tape rewinds, a watchdog starts).
    struct stat seen
    {
    };
    if (::stat(name.constData(), &seen) != 0)
        return failed(errno);
    if (!S_ISREG(seen.st_mode))
        return {Outcome::NotRegularFile, {}, {}};
    // Whatever the path names by the time it is opened, the open does not
    // wait: a FIFO put in the file's place would hold a plain open until
    // some writer came, and no stop request could end the wait.
    const FileDescriptor fd(::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd.get() < 0)
        return failed(errno);
    struct stat opened
    {
    };
    if (::fstat(fd.get(), &opened) != 0)
        return failed(errno);
    if (!S_ISREG(opened.st_mode))
        return {Outcome::NotRegularFile, {}, {}};

    // Room for the file as it is and a byte more: a read that fills it means
    // that the file has grown since, or is over the bound.
    QByteArray bytes(static_cast<qsizetype>(std::min<off_t>(opened.st_size, maxBytes)) + 1,
                     Qt::Uninitialized);
    qsizetype total = 0;
    for (;;) {
        if (total == bytes.size()) {
            if (total > maxBytes)
                return {Outcome::TooLarge, {}, {}};
            bytes.resize(std::min(2 * total, maxBytes + 1));
        }
        const ssize_t got =
            ::read(fd.get(), bytes.data() + total, static_cast<std::size_t>(bytes.size() - total));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return failed(errno);
        if (got == 0)
            break;
        total += got;
    }
    bytes.truncate(total);
    return {Outcome::Read, bytes, {}};
}
