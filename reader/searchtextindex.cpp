#include "reader/searchtextindex.h"

#include "epub/epubdata.h"
#include "reader/contentslookup.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

namespace {
const QString kSearchTextFolder = QStringLiteral("searchtext");
const QString kSearchTextFileName = QStringLiteral("texts.txt");
// The cache file: a header line naming the folding rules it was made with,
// then one entry a document: a line "<page> <c|p> <folded bytes> <shown
// bytes> <document bytes> <document time>" (c for a complete folded text)
// followed by the two texts in UTF-8. A file with another header is made
// again. The document's size and modification time (ms since the epoch, set
// when the book was unpacked) bind an entry to the file it was extracted from,
// so a book cannot ship texts of its own for the search to trust.
const QByteArray kHeader = QByteArrayLiteral("lf-search-text 6\n");
constexpr int kMaxEntryLine = 128;
// Book files are untrusted: a document larger than this is left to the
// engine, a larger style sheet makes its documents the engine's, a larger
// cache file (the book may ship one) is made again.
constexpr qint64 kMaxDocumentSize = 64 * 1024 * 1024;
constexpr qint64 kMaxStyleSheetSize = 4 * 1024 * 1024;
constexpr qint64 kMaxCacheSize = 512 * 1024 * 1024;

std::optional<QByteArray> readBookFile(const QString& path, qint64 maxSize)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > maxSize)
        return std::nullopt;
    return file.readAll();
}

SearchTextIndex::DocumentStamp stampOf(const QString& path)
{
    const QFileInfo info(path);
    if (!info.isFile())
        return {};
    return { info.size(), info.lastModified().toMSecsSinceEpoch() };
}
} // namespace

SearchTextIndex::SearchTextIndex(const EpubData* book, const QString& bookDir)
    : m_book(book)
    , m_bookDir(bookDir.endsWith(QLatin1Char('/')) ? bookDir : bookDir + QLatin1Char('/'))
    , m_pages(book, bookDir)
    , m_cache(bookDir, book ? book->contentDir : QString(), kSearchTextFolder)
    , m_texts(m_pages.pageCount())
    , m_stamps(m_pages.pageCount())
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
    if (!m_cacheRead)
        readCache();
    std::optional<lf::SearchText::DocumentText>& slot = m_texts[page];
    if (slot)
        return *slot;
    const QString path = m_pages.documentPath(page);
    m_stamps[page] = stampOf(m_bookDir + path);
    const std::optional<QByteArray> bytes = readBookFile(m_bookDir + path, kMaxDocumentSize);
    slot = bytes ? lf::SearchText::extract(*bytes, path, [this](const QString& sheet) { return readStyleSheet(sheet); })
                 : lf::SearchText::DocumentText {};
    m_changed = true;
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

void SearchTextIndex::readCache()
{
    m_cacheRead = true;
    const std::optional<QByteArray> bytes = m_cache.read(kSearchTextFileName, kMaxCacheSize);
    if (!bytes || !bytes->startsWith(kHeader))
        return;
    qint64 at = kHeader.size();
    while (at < bytes->size()) {
        const qint64 lineEnd = bytes->indexOf('\n', at);
        if (lineEnd < 0 || lineEnd - at > kMaxEntryLine)
            return;
        const QList<QByteArray> fields = bytes->mid(at, lineEnd - at).split(' ');
        bool pageOk = false;
        bool foldedOk = false;
        bool shownOk = false;
        bool sizeOk = false;
        bool timeOk = false;
        const int page = fields.value(0).toInt(&pageOk);
        const qint64 foldedBytes = fields.value(2).toLongLong(&foldedOk);
        const qint64 shownBytes = fields.value(3).toLongLong(&shownOk);
        const DocumentStamp stamp { fields.value(4).toLongLong(&sizeOk), fields.value(5).toLongLong(&timeOk) };
        const QByteArray kind = fields.value(1);
        at = lineEnd + 1;
        if (fields.size() != 6 || !pageOk || !foldedOk || !shownOk || !sizeOk || !timeOk || (kind != "c" && kind != "p")
            || !m_pages.contains(page) || foldedBytes < 0 || shownBytes < 0 || foldedBytes > bytes->size() - at
            || shownBytes > bytes->size() - at - foldedBytes)
            return; // damaged: what is left is extracted again
        // An entry of another file than the document now there is left out.
        if (!m_texts[page] && stamp.size >= 0 && stamp == stampOf(m_bookDir + m_pages.documentPath(page))) {
            m_stamps[page] = stamp;
            // Both sizes are now within the file, which is smaller than 2 GB.
            const int textAt = int(at);
            m_texts[page] = lf::SearchText::DocumentText { QString::fromUtf8(bytes->mid(textAt, int(foldedBytes))),
                kind == "c", QString::fromUtf8(bytes->mid(textAt + int(foldedBytes), int(shownBytes))) };
        }
        at += foldedBytes + shownBytes;
    }
}

void SearchTextIndex::save()
{
    if (!m_changed)
        return;
    QByteArray bytes = kHeader;
    for (int page = 0; page < m_texts.size(); ++page) {
        const std::optional<lf::SearchText::DocumentText>& text = m_texts.at(page);
        if (!text)
            continue;
        const QByteArray folded = text->folded.toUtf8();
        const QByteArray shown = text->shown.toUtf8();
        const DocumentStamp& stamp = m_stamps.at(page);
        bytes += QByteArray::number(page) + (text->complete ? " c " : " p ") + QByteArray::number(folded.size()) + ' '
            + QByteArray::number(shown.size()) + ' ' + QByteArray::number(stamp.size) + ' '
            + QByteArray::number(stamp.modified) + '\n' + folded + shown;
    }
    if (m_cache.write(kSearchTextFileName, bytes))
        m_changed = false;
}
