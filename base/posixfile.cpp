#include "base/posixfile.h"

#include <cstring>

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
