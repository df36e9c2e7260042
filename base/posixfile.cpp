#include "base/posixfile.h"

#include <cstring>
#include <unistd.h>

std::optional<struct stat> lf::PosixFile::linkStatus(const QByteArray& path)
{
    struct stat info
    {
    };
    if (::lstat(path.constData(), &info) != 0)
        return std::nullopt;
    return info;
}

QByteArray lf::PosixFile::join(const QByteArray& folder, const QByteArray& name)
{
    return folder + '/' + name;
}

QString lf::PosixFile::systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

bool lf::PosixFile::writeAll(int fd, const char* data, qint64 size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, static_cast<size_t>(size));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        size -= written;
    }
    return true;
}
