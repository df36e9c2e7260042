#include "base/atomicfile.h"

#include "base/posixfile.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
using lf::PosixFile::systemError;
} // namespace

bool lf::writeFileAtomically(const QString& path, const QByteArray& bytes)
{
    const QFileInfo target(path);
    // A new name in the same folder, so the rename stays on one file system;
    // mkostemp() creates it exclusively and owner-only.
    QByteArray temporary = QFile::encodeName(target.path() + QStringLiteral("/.%1.XXXXXX").arg(target.fileName()));
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        qDebug().noquote() << "not written:" << path << systemError(errno);
        return false;
    }
    bool written = lf::PosixFile::writeAll(fd, bytes.constData(), bytes.size()) && ::fsync(fd) == 0;
    int error = errno;
    if (::close(fd) != 0 && written) {
        written = false;
        error = errno;
    }
    if (written && ::rename(temporary.constData(), QFile::encodeName(path).constData()) != 0) {
        written = false;
        error = errno;
    }
    if (!written) {
        ::unlink(temporary.constData());
        qDebug().noquote() << "not written:" << path << systemError(error);
    }
    return written;
}

lf::OwnFileOpen lf::openOwnFile(const QString& path, QFile* file, QString* reason)
{
    // O_NONBLOCK: a pipe planted at the name must not hold the open up.
    const int fd
        = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        const int error = errno;
        // ELOOP is a link at the name: not one of ours, so no file at all.
        if (error == ENOENT || error == ELOOP || error == ENOTDIR)
            return OwnFileOpen::Missing;
        if (reason)
            *reason = systemError(error);
        return OwnFileOpen::Failed;
    }
    struct stat info
    {
    };
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        if (reason)
            *reason = QStringLiteral("not a regular file");
        return OwnFileOpen::Failed;
    }
    if (!file->open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        if (reason)
            *reason = file->errorString();
        return OwnFileOpen::Failed;
    }
    return OwnFileOpen::Opened;
}

std::optional<QByteArray> lf::readOwnFile(const QString& path, qint64 maxSize)
{
    QFile file;
    if (openOwnFile(path, &file) != OwnFileOpen::Opened)
        return std::nullopt;
    const qint64 size = file.size();
    if (size > maxSize) {
        qDebug().noquote() << "file too large, not read:" << path << size << "bytes";
        return std::nullopt;
    }
    QByteArray bytes = file.read(size);
    if (file.error() != QFileDevice::NoError || bytes.size() != size)
        return std::nullopt;
    return bytes;
}
