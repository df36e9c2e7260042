#include "base/datadirectory.h"

#include "base/posixfile.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {
using lf::PosixFile::systemError;

const QString kFolderName = QStringLiteral("LF_Epub_Viewer_N");

// True when something not ours already sits at `path`: a directory of another
// user, a link or a plain file.
bool takenByAnother(const QString& path)
{
    struct stat info
    {
    };
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return false;
    return !S_ISDIR(info.st_mode) || info.st_uid != ::getuid();
}

// Qt gives an empty location when the environment names no directory;
// appending to it would put the data directory at the file system's root.
QString usableLocation(QStandardPaths::StandardLocation type)
{
    const QString location = QStandardPaths::writableLocation(type);
    return QDir::isAbsolutePath(location) ? QDir::cleanPath(location) : QString();
}

// Qt takes $XDG_DATA_HOME as it is; a relative one is invalid, and is ignored
// for the default below the home folder, as the XDG rules say.
QString userDataLocation()
{
    const QString configured = QFile::decodeName(qgetenv("XDG_DATA_HOME"));
    if (configured.isEmpty() || QDir::isAbsolutePath(configured))
        return usableLocation(QStandardPaths::GenericDataLocation);
    const QString home = QDir::homePath();
    qInfo().noquote() << "XDG_DATA_HOME is relative and ignored:" << configured;
    return QDir::isAbsolutePath(home) ? QDir::cleanPath(home + QStringLiteral("/.local/share")) : QString();
}

QString chooseDataDirectory()
{
    const QString location = userDataLocation();
    if (location.isEmpty()) {
        qInfo() << "no usable user data location, so no data directory";
        return {};
    }
    return location + QLatin1Char('/') + kFolderName + QLatin1Char('/');
}

// The temporary-files location may be shared by all users: the plain name
// stayed with whoever made it first, any other user's program took a name
// qualified by its user id. Which one holds this user's library is decided
// by who owns it, when it is read.
QStringList chooseLegacyDataDirectories()
{
    const QString location = usableLocation(QStandardPaths::TempLocation);
    if (location.isEmpty())
        return {};
    const QString plain = location + QLatin1Char('/') + kFolderName;
    return { plain + QLatin1Char('/'), QStringLiteral("%1_%2/").arg(plain).arg(::getuid()) };
}

// Like QDir::mkpath(), but every folder it makes is owner-only from the start,
// as the user data location's folders should be.
bool makeOwnerOnlyPath(const QString& path, QString* reason)
{
    const QFileInfo info(path);
    if (info.isDir())
        return true;
    const QString parent = info.path();
    if (parent == path || !makeOwnerOnlyPath(parent, reason))
        return false;
    if (::mkdir(QFile::encodeName(path).constData(), S_IRWXU) == 0 || QFileInfo(path).isDir())
        return true;
    const int error = errno;
    *reason = error == EEXIST ? QStringLiteral("%1 is not a folder").arg(path)
                              : QStringLiteral("cannot create %1: %2").arg(path, systemError(error));
    return false;
}
} // namespace

QString lf::dataDirectory()
{
    static const QString path = chooseDataDirectory();
    return path;
}

QStringList lf::legacyDataDirectories()
{
    static const QStringList paths = chooseLegacyDataDirectories();
    return paths;
}

bool lf::dataDirectoryIsOurs()
{
    if (dataDirectory().isEmpty())
        return false;
    const QString path = dataDirectory().chopped(1);
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return true;
    // A link could point anywhere: never follow it.
    if (takenByAnother(path)) {
        qDebug() << "data directory is not this user's folder, not used:" << dataDirectory();
        return false;
    }
    return true;
}

bool lf::ensureDataDirectory(QString* reason)
{
    QString unused;
    QString& why = reason ? *reason : unused;
    if (dataDirectory().isEmpty()) {
        why = QStringLiteral("no usable user data location (XDG_DATA_HOME, HOME)");
        return false;
    }
    if (!dataDirectoryIsOurs()) {
        why = QStringLiteral("%1 is not a folder of this user").arg(dataDirectory());
        return false;
    }
    const QString path = dataDirectory().chopped(1);
    if (QFileInfo(path).isDir())
        return true;
    if (!makeOwnerOnlyPath(QFileInfo(path).path(), &why))
        return false;
    // Created owner-only from the start, so nobody can slip in between.
    if (::mkdir(QFile::encodeName(path).constData(), S_IRWXU) == 0)
        return true;
    const int error = errno;
    if (QFileInfo(path).isDir() && dataDirectoryIsOurs())
        return true;
    why = QStringLiteral("cannot create %1: %2").arg(path, systemError(error));
    return false;
}

QString lf::dataDirectoryWriteProblem()
{
    QString reason;
    if (!ensureDataDirectory(&reason))
        return reason;
    QTemporaryFile probe(dataDirectory() + QStringLiteral(".write-check-XXXXXX"));
    const QByteArray bytes(4096, '\0');
    if (!probe.open() || probe.write(bytes) != bytes.size() || !probe.flush() || ::fsync(probe.handle()) != 0) {
        const int error = errno;
        const QString detail = probe.error() != QFileDevice::NoError ? probe.errorString() : systemError(error);
        return QStringLiteral("cannot write in %1: %2").arg(dataDirectory(), detail);
    }
    return {};
}
