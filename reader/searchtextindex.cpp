#include "reader/searchtextindex.h"

#include "epub/epubdata.h"
#include "reader/contentslookup.h"

#include <QFile>

namespace {
const QString kSearchTextFolder = QStringLiteral("searchtext");
const QString kSearchTextFilePattern = QStringLiteral("text%1.txt");
// The first line of a cache file names the folding rules it was made with and
// whether the text is complete; a file with another first line is made again.
const QByteArray kCompleteHeader = QByteArrayLiteral("lf-search-text 1 complete\n");
const QByteArray kPartialHeader = QByteArrayLiteral("lf-search-text 1 partial\n");
// Book documents are untrusted: one larger than this is left to the engine.
constexpr qint64 kMaxDocumentSize = 64 * 1024 * 1024;
} // namespace

SearchTextIndex::SearchTextIndex(const EpubData* book, const QString& bookDir)
    : m_book(book)
    , m_bookDir(bookDir.endsWith(QLatin1Char('/')) ? bookDir : bookDir + QLatin1Char('/'))
    , m_pages(book, bookDir)
    , m_cache(bookDir, book ? book->contentDir : QString(), kSearchTextFolder)
    , m_texts(m_pages.pageCount())
{ }

bool SearchTextIndex::mayContain(int page, const QString& foldedTerm)
{
    if (!m_pages.contains(page) || lf::ContentsLookup::isImagePage(*m_book, page)
        || m_pages.documentPath(page).isEmpty())
        return false;
    const lf::SearchText::DocumentText& text = textOf(page);
    // A term with no letters or digits folds to nothing and tells nothing.
    return !text.complete || foldedTerm.isEmpty() || text.folded.contains(foldedTerm);
}

lf::SearchText::DocumentText SearchTextIndex::textOf(int page)
{
    std::optional<lf::SearchText::DocumentText>& slot = m_texts[page];
    if (slot)
        return *slot;
    slot = readCached(page);
    if (slot)
        return *slot;
    const QString path = m_pages.documentPath(page);
    QFile file(m_bookDir + path);
    lf::SearchText::DocumentText text;
    if (file.open(QIODevice::ReadOnly) && file.size() <= kMaxDocumentSize)
        text = lf::SearchText::extract(file.readAll(), path);
    slot = text;
    writeCached(page, text);
    return text;
}

QString SearchTextIndex::cacheFileName(int page)
{
    return kSearchTextFilePattern.arg(page);
}

std::optional<lf::SearchText::DocumentText> SearchTextIndex::readCached(int page) const
{
    const std::optional<QByteArray> bytes = m_cache.read(cacheFileName(page), kMaxDocumentSize);
    if (!bytes)
        return std::nullopt;
    for (const QByteArray& header : { kCompleteHeader, kPartialHeader }) {
        if (bytes->startsWith(header))
            return lf::SearchText::DocumentText { QString::fromUtf8(bytes->mid(header.size())),
                header == kCompleteHeader };
    }
    return std::nullopt;
}

void SearchTextIndex::writeCached(int page, const lf::SearchText::DocumentText& text) const
{
    m_cache.write(cacheFileName(page), (text.complete ? kCompleteHeader : kPartialHeader) + text.folded.toUtf8());
}
