#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

class QFile;

// A folder of files the reader derives from a book (thumbnails, search text),
// kept under the book's content folder. Whatever the package document says,
// nothing is read from or written to a place outside the book folder: a
// content folder that climbs out or is absolute is refused, and so is a folder
// that a link makes point elsewhere. Files are replaced atomically, a link at
// a file's name included. GUI thread.
class BookCacheFolder
{
public:
    BookCacheFolder() = default;
    // `bookDir` is the book folder, `contentDir` the package document's folder
    // inside it ("" or ending in "/"), `folderName` the cache's own folder.
    BookCacheFolder(const QString& bookDir, const QString& contentDir, const QString& folderName);
    // The content folder itself; with an empty `contentDir`, the book folder.
    BookCacheFolder(const QString& bookDir, const QString& contentDir);

    bool usable() const { return !m_folder.isEmpty(); }
    // The folder's path (no trailing "/"); empty when refused.
    QString folderPath() const { return m_folder; }
    // The path of file `name` in the folder; empty when refused.
    QString filePath(const QString& name) const;

    // The whole file, or none when it is missing, unreadable, larger than
    // `maxSize` or not inside the book folder. A link at the file's name reads
    // as missing.
    std::optional<QByteArray> read(const QString& name, qint64 maxSize) const;
    // Opens the file for reading piece by piece, on the same terms as read();
    // false when it is not opened.
    bool open(const QString& name, QFile* file) const;
    // Creates the folder when needed (one level: the folders above it belong
    // to the book) and replaces the file whole; false on failure.
    bool write(const QString& name, const QByteArray& bytes) const;

private:
    bool staysInBook(const QString& path) const;
    bool makeFolder() const;

    QString m_bookDir; // no trailing "/"
    QString m_folder;
};
