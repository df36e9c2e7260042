#include "app/datadirectory.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <sys/stat.h>
#include <unistd.h>

namespace {
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

QString chooseDataDirectory()
{
    const QString location = usableLocation(QStandardPaths::GenericDataLocation);
    if (location.isEmpty()) {
        qInfo() << "no usable user data location, so no data directory";
        return {};
    }
    return location + QLatin1Char('/') + kFolderName + QLatin1Char('/');
}

// The temporary-files location may be shared by all users: the plain name
// stayed with whoever made it first, any other user's program took a name
// qualified by its user id.
QString chooseLegacyDataDirectory()
{
    const QString location = usableLocation(QStandardPaths::TempLocation);
    if (location.isEmpty())
        return {};
    const QString plain = location + QLatin1Char('/') + kFolderName;
    if (takenByAnother(plain))
        return QStringLiteral("%1_%2/").arg(plain).arg(::getuid());
    return plain + QLatin1Char('/');
}

// Like QDir::mkpath(), but every folder it makes is owner-only from the start,
// as the user data location's folders should be.
bool makeOwnerOnlyPath(const QString& path)
{
    const QFileInfo info(path);
    if (info.isDir())
        return true;
    const QString parent = info.path();
    if (parent == path || !makeOwnerOnlyPath(parent))
        return false;
    return ::mkdir(QFile::encodeName(path).constData(), S_IRWXU) == 0 || QFileInfo(path).isDir();
}
} // namespace

QString lf::dataDirectory()
{
    static const QString path = chooseDataDirectory();
    return path;
}

QString lf::legacyDataDirectory()
{
    static const QString path = chooseLegacyDataDirectory();
    return path;
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

bool lf::ensureDataDirectory()
{
    if (!dataDirectoryIsOurs())
        return false;
    const QString path = dataDirectory().chopped(1);
    if (QFileInfo(path).isDir())
        return true;
    if (!makeOwnerOnlyPath(QFileInfo(path).path()))
        return false;
    // Created owner-only from the start, so nobody can slip in between.
    return ::mkdir(QFile::encodeName(path).constData(), S_IRWXU) == 0
        || (QFileInfo(path).isDir() && dataDirectoryIsOurs());
}
