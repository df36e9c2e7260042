#include "app/datadirectory.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {
#ifdef Q_OS_UNIX
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
#endif

// The temporary-files location may be shared by all users. The plain name
// stays with whoever made it first; any other user's program takes a name
// qualified by its user id, so nobody is locked out by another's directory.
QString chooseDataDirectory()
{
    // Qt gives an empty location when TMPDIR names no directory; appending to
    // it would put the data directory at the file system's root.
    const QString location = QStandardPaths::writableLocation(QStandardPaths::TempLocation);
    if (!QDir::isAbsolutePath(location)) {
        qInfo() << "no usable temporary-files location, so no data directory";
        return {};
    }
    const QString plain = QStringLiteral("%1/LF_Epub_Viewer_N").arg(location);
#ifdef Q_OS_UNIX
    if (takenByAnother(plain)) {
        const QString own = QStringLiteral("%1_%2").arg(plain).arg(::getuid());
        qInfo().noquote() << plain << "belongs to another user; this user's data directory is" << own;
        return own + QLatin1Char('/');
    }
#endif
    return plain + QLatin1Char('/');
}
} // namespace

QString lf::dataDirectory()
{
    static const QString path = chooseDataDirectory();
    return path;
}

bool lf::dataDirectoryIsOurs()
{
    if (dataDirectory().isEmpty())
        return false;
#ifdef Q_OS_UNIX
    const QFileInfo info(QDir::cleanPath(dataDirectory()));
    if (!info.exists() && !info.isSymLink())
        return true;
    // A link planted in the shared location could point anywhere: never follow it.
    if (info.isSymLink() || !info.isDir() || info.ownerId() != ::getuid()) {
        qDebug() << "data directory belongs to another user, not used:" << dataDirectory();
        return false;
    }
#endif
    return true;
}

bool lf::ensureDataDirectory()
{
    if (!dataDirectoryIsOurs())
        return false;
    const QString path = dataDirectory();
    if (QFileInfo(path).isDir())
        return true;
    if (!QDir().mkpath(QFileInfo(path.chopped(1)).path()))
        return false;
#ifdef Q_OS_UNIX
    // Created owner-only from the start, so no other user can slip in between.
    return ::mkdir(QFile::encodeName(path).constData(), S_IRWXU) == 0
        || (QFileInfo(path).isDir() && dataDirectoryIsOurs());
#else
    return QDir().mkpath(path);
#endif
}
