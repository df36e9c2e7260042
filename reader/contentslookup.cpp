#include "reader/contentslookup.h"

#include "epub/bookhref.h"
#include "epub/epubdata.h"
#include "reader/pagemodel.h"

int lf::ContentsLookup::pageOfTarget(const EpubData& book, const PageModel& pages, const QString& href)
{
    if (href.trimmed().isEmpty())
        return -1;
    const QString id = book.manifest.applicationIdForHref(href);
    if (!id.isEmpty()) {
        const int page = book.spine.indexOf(id);
        if (page >= 0)
            return page;
    }
    const QString path = lf::BookHref::resolve(book.navDocumentPath, href);
    return pages.pageOfDocument(path);
}

bool lf::ContentsLookup::isImagePage(const EpubData& book, int page)
{
    if (page < 0 || page >= book.spine.size())
        return false;
    const QString& idref = book.spine.at(page);
    return book.manifest.applicationHref(idref).isEmpty() && !book.manifest.imageHref(idref).isEmpty();
}
