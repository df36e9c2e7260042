#include "reader/pagemodel.h"

#include "epub/bookhref.h"
#include "epub/epubdata.h"

#include <QDir>

#include <algorithm>

PageModel::PageModel(const EpubData* book, const QString& bookDir)
    : m_book(book)
    , m_bookDir(bookDir.endsWith(QLatin1Char('/')) ? bookDir : bookDir + QLatin1Char('/'))
{ }

int PageModel::pageCount() const
{
    return m_book ? m_book->spine.size() : 0;
}

bool PageModel::isFixedLayout(const EpubData& book)
{
    return book.version.startsWith(QLatin1Char('3')) && book.rendition
        && book.rendition->layout == QLatin1String("pre-paginated");
}

QString PageModel::documentPath(int page) const
{
    if (!contains(page))
        return {};
    const QString& idref = m_book->spine.at(page);
    QString href = m_book->manifest.applicationHref(idref);
    // Comics put their pictures straight into the spine.
    if (href.isEmpty())
        href = m_book->manifest.imageHref(idref);
    if (href.isEmpty())
        return {};
    return lf::BookHref::resolve(m_book->packagePath, href);
}

QUrl PageModel::documentUrl(int page) const
{
    const QString file = lf::BookHref::filePath(m_bookDir, documentPath(page));
    return file.isEmpty() ? QUrl() : QUrl::fromLocalFile(file);
}

int PageModel::pageOfIdref(const QString& idref) const
{
    return m_book ? m_book->spine.indexOf(idref) : -1;
}

int PageModel::pageOfDocument(const QString& path) const
{
    if (path.isEmpty())
        return -1;
    for (int page = 0; page < pageCount(); ++page) {
        if (documentPath(page) == path)
            return page;
    }
    return -1;
}

QString PageModel::bookPathOf(const QUrl& url) const
{
    if (!url.isLocalFile())
        return {};
    const QString file = QDir::cleanPath(url.toLocalFile());
    if (!file.startsWith(m_bookDir))
        return {};
    const QString relative = file.mid(m_bookDir.size());
    return lf::BookHref::staysInside(relative) ? relative : QString();
}

int PageModel::progressAfterShowing(int progress, int current, bool twoPage) const
{
    const int lastShown = twoPage && hasRightPage(current) ? current + 1 : current;
    return std::max(progress, std::min(lastShown + 1, pageCount()));
}
