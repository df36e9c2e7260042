#include "library/renderedcover.h"

#include "epub/bookhref.h"
#include "epub/epubdata.h"

#include <QDir>
#include <QFileInfo>

namespace {
bool isPictureFile(const QString& bookDir, const QString& coverPath)
{
    const QString path = lf::BookHref::filePath(bookDir, coverPath);
    return !path.isEmpty() && !coverPath.isEmpty() && !coverPath.endsWith(QLatin1Char('/')) && QFileInfo(path).isFile();
}

// A bookcase written before cover paths were resolved may hold a book's raw
// href joined to its content folder ("OEBPS/../images/c.jpg"): it is read as
// the path it spells, which must still stay in the book.
QString storedCoverPath(const QString& coverUrl)
{
    return coverUrl.contains(QLatin1String("..")) ? QDir::cleanPath(coverUrl) : coverUrl;
}
} // namespace

QString lf::RenderedCover::recordPath(const QString& bookDir, const EpubData& book)
{
    return isPictureFile(bookDir, book.coverPath) ? book.coverPath : kFileName;
}

bool lf::RenderedCover::isMissing(const QString& bookDir, const QString& coverUrl)
{
    return !isPictureFile(bookDir, storedCoverPath(coverUrl)) && !isPictureFile(bookDir, kFileName);
}

QString lf::RenderedCover::shownFile(const QString& bookDir, const QString& coverUrl)
{
    const QString cover = storedCoverPath(coverUrl);
    if (isPictureFile(bookDir, cover) || !isPictureFile(bookDir, kFileName))
        return lf::BookHref::filePath(bookDir, cover);
    return lf::BookHref::filePath(bookDir, kFileName);
}
