#include "library/renderedcover.h"

#include "epub/bookhref.h"
#include "epub/epubdata.h"

#include <QFileInfo>

QString lf::RenderedCover::recordPath(const QString& bookDir, const EpubData& book)
{
    const QString own = lf::BookHref::filePath(bookDir, book.coverPath);
    if (!own.isEmpty() && !book.coverPath.endsWith(QLatin1Char('/')) && QFileInfo(own).isFile())
        return book.coverPath;
    return kFileName;
}

bool lf::RenderedCover::isMissing(const QString& bookDir, const QString& coverUrl)
{
    return coverUrl == kFileName && !QFileInfo::exists(lf::BookHref::filePath(bookDir, kFileName));
}
