#include "reader/searchtextindex.h"

#include "epub/epubdata.h"
#include "reader/contentslookup.h"

#include <QFile>

namespace {
const QString kSearchTextFolder = QStringLiteral("searchtext");
const QString kSearchTextFilePattern = QStringLiteral("text%1.txt");
// A cache file is a header line naming the rules it was made with and whether
// the text is complete, the folded text (letters and digits only) on one
// line, then the shown text to the end. A file with another header is made again.
const QByteArray kCompleteHeader = QByteArrayLiteral("lf-search-text 4 complete\n");
const QByteArray kPartialHeader = QByteArrayLiteral("lf-search-text 4 partial\n");
// Book files are untrusted: a document larger than this is left to the
// engine, a larger style sheet makes its documents the engine's.
constexpr qint64 kMaxDocumentSize = 64 * 1024 * 1024;
constexpr qint64 kMaxStyleSheetSize = 4 * 1024 * 1024;

std::optional<QByteArray> readBookFile(const QString& path, qint64 maxSize)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > maxSize)
        return std::nullopt;
    return file.readAll();
}
} // namespace

SearchTextIndex::SearchTextIndex(const EpubData* book, const QString& bookDir)
    : m_book(book)
    , m_bookDir(bookDir.endsWith(QLatin1Char('/')) ? bookDir : bookDir + QLatin1Char('/'))
    , m_pages(book, bookDir)
    , m_cache(bookDir, book ? book->contentDir : QString(), kSearchTextFolder)
    , m_texts(m_pages.pageCount())
{ }

SearchTextIndex::Presence SearchTextIndex::presence(int page, const lf::SearchText::Term& term)
{
    if (!m_pages.contains(page) || lf::ContentsLookup::isImagePage(*m_book, page)
        || m_pages.documentPath(page).isEmpty())
        return Presence::Absent;
    const lf::SearchText::DocumentText& text = textOf(page);
    if (lf::SearchText::certainlyShows(text.shown, term))
        return Presence::Present;
    // A term with no letters or digits folds to nothing and tells nothing.
    if (!text.complete || !term.foldedRulesOut || term.folded.isEmpty() || text.folded.contains(term.folded))
        return Presence::AskTheEngine;
    return Presence::Absent;
}

const lf::SearchText::DocumentText& SearchTextIndex::textOf(int page)
{
    std::optional<lf::SearchText::DocumentText>& slot = m_texts[page];
    if (slot)
        return *slot;
    slot = readCached(page);
    if (slot)
        return *slot;
    const QString path = m_pages.documentPath(page);
    const std::optional<QByteArray> bytes = readBookFile(m_bookDir + path, kMaxDocumentSize);
    slot = bytes ? lf::SearchText::extract(*bytes, path, [this](const QString& sheet) { return readStyleSheet(sheet); })
                 : lf::SearchText::DocumentText {};
    writeCached(page, *slot);
    return *slot;
}

std::optional<QByteArray> SearchTextIndex::readStyleSheet(const QString& path)
{
    const auto known = m_styleSheets.constFind(path);
    if (known != m_styleSheets.constEnd())
        return *known;
    const std::optional<QByteArray> bytes = readBookFile(m_bookDir + path, kMaxStyleSheetSize);
    m_styleSheets.insert(path, bytes);
    return bytes;
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
        if (!bytes->startsWith(header))
            continue;
        const int foldedEnd = bytes->indexOf('\n', header.size());
        if (foldedEnd < 0)
            return std::nullopt;
        return lf::SearchText::DocumentText { QString::fromUtf8(bytes->mid(header.size(), foldedEnd - header.size())),
            header == kCompleteHeader, QString::fromUtf8(bytes->mid(foldedEnd + 1)) };
    }
    return std::nullopt;
}

void SearchTextIndex::writeCached(int page, const lf::SearchText::DocumentText& text) const
{
    m_cache.write(cacheFileName(page),
        (text.complete ? kCompleteHeader : kPartialHeader) + text.folded.toUtf8() + '\n' + text.shown.toUtf8());
}
