#include "reader/bookcachefolder.h"

#include "base/atomicfile.h"
#include "base/relativepath.h"

#include <QDebug>
#include <QDir>
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
    if (m_bookDir.isEmpty() || folderName.isEmpty() || !lf::RelativePath::staysInside(relative)) {
        qDebug().noquote() << "cache folder leaves the book folder, refused:" << relative;
        return;
    }
    m_folder = m_bookDir + QLatin1Char('/') + relative;
}

BookCacheFolder::BookCacheFolder(const QString& bookDir, const QString& contentDir)
{
    if (!contentDir.isEmpty()) {
        // Named as a cache folder at the top of the book: "/" alone names none and is refused.
        QString relative = contentDir;
        if (relative.endsWith(QLatin1Char('/')))
            relative.chop(1);
        *this = BookCacheFolder(bookDir, QString(), relative);
        return;
    }
    m_bookDir = bookDir;
    while (m_bookDir.size() > 1 && m_bookDir.endsWith(QLatin1Char('/')))
        m_bookDir.chop(1);
    m_folder = m_bookDir;
}

QString BookCacheFolder::filePath(const QString& name) const
{
    return usable() ? m_folder + QLatin1Char('/') + name : QString();
}

// The folder that really holds the file must be the book folder or lie below
// it; a link at the file's own name is never followed by the reader and
// writer of the program's own files.
bool BookCacheFolder::staysInBook(const QString& path) const
{
    const QString book = QFileInfo(m_bookDir).canonicalFilePath();
    const QString folder = QFileInfo(QFileInfo(path).absolutePath()).canonicalFilePath();
    return !book.isEmpty() && !folder.isEmpty() && (folder == book || folder.startsWith(book + QLatin1Char('/')));
}

std::optional<QByteArray> BookCacheFolder::read(const QString& name, qint64 maxSize) const
{
    const QString path = filePath(name);
    if (path.isEmpty() || !staysInBook(path))
        return std::nullopt;
    return lf::readOwnFile(path, maxSize);
}

bool BookCacheFolder::open(const QString& name, QFile* file) const
{
    const QString path = filePath(name);
    return !path.isEmpty() && staysInBook(path) && lf::openOwnFile(path, file) == lf::OwnFileOpen::Opened;
}

// A folder not there yet is made only where its parent really lies in the
// book folder, so a link on the way never has a folder made outside it.
bool BookCacheFolder::makeFolder() const
{
    return QFileInfo(m_folder).isDir() || (staysInBook(m_folder) && QDir().mkdir(m_folder));
}

bool BookCacheFolder::write(const QString& name, const QByteArray& bytes) const
{
    const QString path = filePath(name);
    if (path.isEmpty())
        return false;
    if (!makeFolder() || !staysInBook(path)) {
        qDebug().noquote() << "cache file outside the book folder or folder not made, not written:" << path;
        return false;
    }
    return lf::writeFileAtomically(path, bytes);
}
