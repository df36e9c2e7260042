#include "reader/bookcachefolder.h"

#include "app/atomicfile.h"
#include "epub/bookhref.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>

BookCacheFolder::BookCacheFolder(const QString& bookDir, const QString& contentDir, const QString& folderName)
    : m_bookDir(bookDir)
{
    while (m_bookDir.size() > 1 && m_bookDir.endsWith(QLatin1Char('/')))
        m_bookDir.chop(1);
    QString relative = contentDir;
    if (!relative.isEmpty() && !relative.endsWith(QLatin1Char('/')))
        relative += QLatin1Char('/');
    relative += folderName;
    if (m_bookDir.isEmpty() || folderName.isEmpty() || !lf::BookHref::staysInside(relative)) {
        qDebug().noquote() << "cache folder leaves the book folder, refused:" << relative;
        return;
    }
    m_folder = m_bookDir + QLatin1Char('/') + relative;
}

QString BookCacheFolder::filePath(const QString& name) const
{
    return usable() ? m_folder + QLatin1Char('/') + name : QString();
}

// Links are refused too: the folder that really holds the file must be the
// book folder or lie below it.
bool BookCacheFolder::staysInBook(const QString& path) const
{
    const QFileInfo info(path);
    if (info.isSymLink())
        return false;
    const QString book = QFileInfo(m_bookDir).canonicalFilePath();
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    return !book.isEmpty() && !folder.isEmpty() && (folder == book || folder.startsWith(book + QLatin1Char('/')));
}

std::optional<QByteArray> BookCacheFolder::read(const QString& name, qint64 maxSize) const
{
    const QString path = filePath(name);
    if (path.isEmpty() || !QFileInfo::exists(path) || !staysInBook(path))
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > maxSize)
        return std::nullopt;
    return file.readAll();
}

bool BookCacheFolder::write(const QString& name, const QByteArray& bytes) const
{
    const QString path = filePath(name);
    if (path.isEmpty())
        return false;
    if (!QDir().mkpath(m_folder) || !staysInBook(path)) {
        qDebug().noquote() << "cache file outside the book folder or folder not made, not written:" << path;
        return false;
    }
    return lf::writeFileAtomically(path, bytes);
}
