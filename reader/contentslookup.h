#pragma once

#include <QString>

struct EpubData;
class PageModel;

namespace lf::ContentsLookup {

// The spine position a table-of-contents target names, or -1. The first
// manifest item whose href contains the target is tried first; when that finds
// no spine document, the target is resolved as the book writes it (relative to
// the navigation document, fragment dropped) and compared with the spine
// documents' paths. An empty target names nothing.
int pageOfTarget(const EpubData& book, const PageModel& pages, const QString& href);

// True when the spine item at `page` is a picture put straight into the spine
// (no application item has its id, an image item has).
bool isImagePage(const EpubData& book, int page);

} // namespace lf::ContentsLookup
