#include "library/renderedcover.h"

#include "epub/bookhref.h"
#include "epub/epubdata.h"

#include <QFileInfo>

namespace {
bool isPictureFile(const QString& bookDir, const QString& coverPath)
{
    const QString path = lf::BookHref::filePath(bookDir, coverPath);
    return !path.isEmpty() && !coverPath.isEmpty() && !coverPath.endsWith(QLatin1Char('/')) && QFileInfo(path).isFile();
}
} // namespace

QString lf::RenderedCover::recordPath(const QString& bookDir, const EpubData& book)
{
    return isPictureFile(bookDir, book.coverPath) ? book.coverPath : kFileName;
}

bool lf::RenderedCover::isMissing(const QString& bookDir, const QString& coverUrl)
{
    return !isPictureFile(bookDir, coverUrl) && !isPictureFile(bookDir, kFileName);
}

QString lf::RenderedCover::shownFile(const QString& bookDir, const QString& coverUrl)
{
    if (isPictureFile(bookDir, coverUrl) || !isPictureFile(bookDir, kFileName))
        return lf::BookHref::filePath(bookDir, coverUrl);
    return lf::BookHref::filePath(bookDir, kFileName);
}
