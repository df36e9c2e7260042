#include "import/bookstaging.h"

#include "base/atomicfile.h"
#include "base/bookname.h"
#include "base/datadirectory.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {
const QString kContentFolder = QStringLiteral("content");
// The book folder a swap moved aside, and the file naming its book, so that a
// swap cut short by a kill can be undone at the next start.
const QString kOldFolder = QStringLiteral("old");
const QString kNameFile = QStringLiteral("name");

// Never follows a link in place of a folder.
void removeEntry(const QFileInfo& entry)
{
    if (entry.isDir() && !entry.isSymLink())
        QDir(entry.filePath()).removeRecursively();
    else
        QFile::remove(entry.filePath());
}

void restoreMovedAsideBook(const QString& dataDirectory, const QString& staging)
{
    const QFileInfo old(staging + kOldFolder);
    if (!old.isDir() || old.isSymLink())
        return;
    const std::optional<QByteArray> nameFile = lf::readOwnFile(staging + kNameFile, 4096);
    if (!nameFile)
        return;
    const QString name = QString::fromUtf8(*nameFile);
    const QString book = dataDirectory + name;
    if (!lf::isUsableBookName(name) || QFileInfo::exists(book) || QFileInfo(book).isSymLink())
        return;
    if (QDir().rename(old.filePath(), book))
        qDebug().noquote() << "book folder put back after an interrupted re-import:" << name;
}
} // namespace

BookStaging::~BookStaging()
{
    discard();
}

bool BookStaging::create()
{
    discard();
    QTemporaryDir dir(lf::dataDirectory() + lf::kStagingFolderPrefix + QStringLiteral("XXXXXX"));
    if (!dir.isValid()) {
        qDebug().noquote() << "no staging folder for an import:" << dir.errorString();
        return false;
    }
    dir.setAutoRemove(false);
    m_path = dir.path() + QLatin1Char('/');
    return true;
}

QString BookStaging::contentDir() const
{
    return m_path.isEmpty() ? QString() : m_path + kContentFolder + QLatin1Char('/');
}

bool BookStaging::swapInto(const QString& bookName)
{
    if (m_path.isEmpty() || !lf::isUsableBookName(bookName) || !QFileInfo(m_path + kContentFolder).isDir())
        return false;
    const QString book = lf::dataDirectory() + bookName;
    const QFileInfo existing(book);
    const bool replacing = existing.exists() || existing.isSymLink();
    if (replacing) {
        if (!lf::writeFileAtomically(m_path + kNameFile, bookName.toUtf8())
            || !QDir().rename(book, m_path + kOldFolder)) {
            qDebug().noquote() << "old book folder could not be moved aside:" << book;
            return false;
        }
    }
    if (!QDir().rename(m_path + kContentFolder, book)) {
        qDebug().noquote() << "new book folder could not be moved in:" << book;
        if (replacing)
            QDir().rename(m_path + kOldFolder, book);
        return false;
    }
    discard();
    return true;
}

void BookStaging::discard()
{
    if (m_path.isEmpty())
        return;
    removeEntry(QFileInfo(m_path.chopped(1)));
    m_path.clear();
}

void BookStaging::cleanUpLeftovers(const QString& dataDirectory)
{
    const QDir data(dataDirectory);
    const QFileInfoList entries = data.entryInfoList({ lf::kStagingFolderPrefix + QLatin1Char('*') },
        QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    for (const QFileInfo& entry : entries) {
        if (entry.isDir() && !entry.isSymLink())
            restoreMovedAsideBook(dataDirectory, entry.filePath() + QLatin1Char('/'));
        qDebug().noquote() << "staging folder of an unfinished import removed:" << entry.fileName();
        removeEntry(entry);
    }
}
