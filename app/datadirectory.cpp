#include "app/datadirectory.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

QString lf::dataDirectory()
{
    static const QString path = QStandardPaths::writableLocation(QStandardPaths::TempLocation)
                                + QStringLiteral("/LF_Epub_Viewer") + QStringLiteral("_N/");
    return path;
}

bool lf::dataDirectoryIsOurs()
{
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
    return ::mkdir(QFile::encodeName(path).constData(), S_IRWXU) == 0 || (QFileInfo(path).isDir() && dataDirectoryIsOurs());
#else
    return QDir().mkpath(path);
#endif
}
