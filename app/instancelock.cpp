#include "app/instancelock.h"

#include "base/datadirectory.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QByteArray directoryPath()
{
    return QFile::encodeName(lf::dataDirectory());
}
} // namespace

InstanceLock::InstanceLock() = default;

InstanceLock::~InstanceLock()
{
    closeDirectory();
}

bool InstanceLock::tryAcquire()
{
    m_error.clear();
    if (m_held)
        return true;
    // The directory may be removed and made anew between opening and locking;
    // a lock on the old one would keep nobody out, so that case tries again.
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (m_fd < 0 && !openDirectory())
            return false;
        if (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
            if (errno != EWOULDBLOCK)
                m_error = QStringLiteral("cannot lock %1: %2")
                              .arg(lf::dataDirectory(), QString::fromLocal8Bit(std::strerror(errno)));
            return false;
        }
        if (stillLocksTheDirectory()) {
            m_held = true;
            return true;
        }
        closeDirectory();
    }
    m_error = QStringLiteral("the data directory %1 keeps being replaced").arg(lf::dataDirectory());
    return false;
}

bool InstanceLock::openDirectory()
{
    QString reason;
    if (!lf::ensureDataDirectory(&reason)) {
        m_error = lf::dataDirectory().isEmpty()
            ? QStringLiteral("cannot create the data directory: %1").arg(reason)
            : QStringLiteral("cannot create the data directory %1: %2").arg(lf::dataDirectory(), reason);
        return false;
    }
    m_fd = ::open(directoryPath().constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat info
    {
    };
    if (m_fd < 0 || ::fstat(m_fd, &info) != 0 || info.st_uid != ::getuid()) {
        m_error = QStringLiteral("cannot open the data directory %1").arg(lf::dataDirectory());
        closeDirectory();
        return false;
    }
    return true;
}

bool InstanceLock::stillLocksTheDirectory() const
{
    struct stat opened
    {
    };
    struct stat current
    {
    };
    return ::fstat(m_fd, &opened) == 0 && ::lstat(directoryPath().constData(), &current) == 0
        && opened.st_dev == current.st_dev && opened.st_ino == current.st_ino;
}

void InstanceLock::closeDirectory()
{
    if (m_fd >= 0)
        ::close(m_fd); // also drops the lock
    m_fd = -1;
    m_held = false;
}
