#include "reader/pagemodel.h"

#include "base/relativepath.h"
#include "epub/bookhref.h"
#include "epub/epubdata.h"
#include "reader/bookaddress.h"
#include "reader/documentstamp.h"

#include <QFileInfo>
#include <QSet>

#include <algorithm>

PageModel::PageModel(const EpubData* book, const QString& bookDir)
    : m_book(book)
    , m_bookDir(bookDir.endsWith(QLatin1Char('/')) ? bookDir : bookDir + QLatin1Char('/'))
    , m_host(lf::BookAddress::host(bookDir))
{
    if (m_book && m_book->hasPrePaginatedItems())
        pairPages();
}

int PageModel::pageCount() const
{
    return m_book ? m_book->spine.size() : 0;
}

bool PageModel::isFixedLayout(const EpubData& book)
{
    return book.hasPrePaginatedItems();
}

bool PageModel::isFixedLayout(int page) const
{
    return contains(page) && m_book->isPrePaginated(page);
}

// Pages pair by the sides they declare: a page for the side read first (the
// left in left-to-right books, the right in right-to-left ones) opens a new
// spread, a page for the other side closes one, and undeclared pages fill the
// next free side. Centred pages, pages whose spread rule is "none" and
// reflowable pages that declare no side stand alone; a reflowable page with a
// side pairs like a fixed one.
void PageModel::pairPages()
{
    const int count = pageCount();
    m_spreads = QVector<Spread>(count);
    const bool rightToLeft = m_book->isRightToLeft();
    const PageSpread firstSide = rightToLeft ? PageSpread::Right : PageSpread::Left;

    Spread open;
    int& firstSlot = rightToLeft ? open.right : open.left;
    int& secondSlot = rightToLeft ? open.left : open.right;
    const auto close = [&] {
        for (const int page : { open.left, open.right }) {
            if (page >= 0)
                m_spreads[page] = open;
        }
        open = Spread();
    };
    for (int page = 0; page < count; ++page) {
        const SpineItemProperties item = m_book->spineItem(page);
        const bool sided = item.pageSpread == PageSpread::Left || item.pageSpread == PageSpread::Right;
        if (spreadRule(page) == QLatin1String("none") || (!m_book->isPrePaginated(page) && !sided)
            || item.pageSpread == PageSpread::Center) {
            close();
            m_spreads[page] = Spread { page, -1, true };
        } else if (item.pageSpread == firstSide
            || (item.pageSpread == PageSpread::Auto && firstSlot < 0 && secondSlot < 0)) {
            close();
            firstSlot = page;
        } else {
            secondSlot = page;
            close();
        }
    }
    close();
}

QString PageModel::spreadRule(int page) const
{
    if (!contains(page))
        return {};
    const QString own = m_book->spineItem(page).spread;
    if (!own.isEmpty())
        return own;
    return m_book->rendition ? m_book->rendition->spread.trimmed() : QString();
}

bool PageModel::declaresTwoPages(int page, QSize window) const
{
    if (!m_book || !m_book->hasPrePaginatedItems())
        return false;
    const QString rule = spreadRule(page);
    if (rule == QLatin1String("both"))
        return true;
    if (rule == QLatin1String("portrait"))
        return window.height() > window.width();
    // An unknown word counts as "auto".
    if (rule.isEmpty() || rule == QLatin1String("none"))
        return false;
    return window.width() > window.height();
}

PageModel::Spread PageModel::spreadAt(int page, bool twoPage) const
{
    if (!contains(page))
        return {};
    if (twoPage && page < m_spreads.size())
        return m_spreads.at(page);
    return Spread { page, -1, true };
}

int PageModel::nextPage(int current, bool twoPage) const
{
    if (!contains(current))
        return current + 1;
    return spreadAt(current, twoPage).last() + 1;
}

int PageModel::previousPage(int current, bool twoPage) const
{
    if (!contains(current))
        return current - 1;
    return spreadStart(spreadAt(current, twoPage).first() - 1, twoPage);
}

QString PageModel::documentPath(int page) const
{
    if (!contains(page))
        return {};
    const QString& idref = m_book->spine.at(page);
    QString href;
    if (m_book->manifest.item(idref)) {
        // An item the pages cannot show gives way to the first showable item
        // of its fallback chain; with none, there is nothing to load.
        // A file missing from the book gives way the same way.
        const ManifestEntry* shown = m_book->manifest.showableItem(idref);
        QSet<QString> passed;
        while (shown && !shown->fallback.isEmpty() && !passed.contains(shown->id) && !hasFile(shown->href)) {
            passed.insert(shown->id);
            const ManifestEntry* next = m_book->manifest.showableItem(shown->fallback);
            if (!next)
                break;
            shown = next;
        }
        if (!shown)
            return {};
        href = shown->href;
    }
    if (href.isEmpty())
        href = m_book->manifest.applicationHref(idref);
    // Comics put their pictures straight into the spine.
    if (href.isEmpty())
        href = m_book->manifest.imageHref(idref);
    if (href.isEmpty())
        return {};
    return lf::BookHref::resolve(m_book->packagePath, href);
}

bool PageModel::cannotShow(int page) const
{
    return contains(page) && m_book->manifest.item(m_book->spine.at(page))
        && !m_book->manifest.showableItem(m_book->spine.at(page));
}

bool PageModel::hasFile(const QString& href) const
{
    return QFileInfo(lf::BookHref::filePath(m_bookDir, lf::BookHref::resolve(m_book->packagePath, href))).isFile();
}

QUrl PageModel::documentUrl(int page) const
{
    return lf::BookAddress::url(m_bookDir, documentPath(page));
}

QString PageModel::documentFile(int page) const
{
    const QString path = documentPath(page);
    return path.isEmpty() ? QString() : lf::BookHref::filePath(m_bookDir, path);
}

DocumentStamp PageModel::documentStamp(int page) const
{
    const QString document = documentPath(page);
    if (document.isEmpty())
        return {};
    return DocumentStamp::of(m_bookDir + document);
}

QString PageModel::documentMediaType(int page) const
{
    if (!contains(page))
        return {};
    const ManifestEntry* shown = m_book->manifest.showableItem(m_book->spine.at(page));
    return shown ? shown->mediaType : QString();
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
    const QString path = lf::BookAddress::bookPath(url, m_host);
    return lf::RelativePath::staysInside(path) ? path : QString();
}

int PageModel::progressAfterShowing(int progress, int current, bool twoPage) const
{
    const int lastShown = std::max(current, spreadAt(current, twoPage).last());
    return std::max(progress, std::min(lastShown + 1, pageCount()));
}
