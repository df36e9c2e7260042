#include "reader/searchtextindex.h"

#include "epub/epubdata.h"
#include "reader/contentslookup.h"
#include "reader/searchtextfile.h"

#include <QFile>

namespace {
const QString kSearchTextFolder = QStringLiteral("searchtext");
const QString kSearchTextFileName = QStringLiteral("texts.txt");
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
    m_stamps[page] = DocumentStamp::of(m_bookDir + path);
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
    QFile file;
    if (!m_cache.open(kSearchTextFileName, &file))
        return;
    const auto stampOfPage = [this](int page) {
        return m_pages.contains(page) ? DocumentStamp::of(m_bookDir + m_pages.documentPath(page)) : DocumentStamp();
    };
    const QVector<lf::SearchTextFile::Entry> entries = lf::SearchTextFile::read(&file, stampOfPage);
    for (const lf::SearchTextFile::Entry& entry : entries) {
        m_texts[entry.page] = entry.text;
        m_stamps[entry.page] = entry.stamp;
    }
}

void SearchTextIndex::save()
{
    if (!m_changed)
        return;
    QByteArray bytes = lf::SearchTextFile::header();
    for (int page = 0; page < m_texts.size(); ++page) {
        if (const std::optional<lf::SearchText::DocumentText>& text = m_texts.at(page))
            bytes += lf::SearchTextFile::entryBytes({ page, m_stamps.at(page), *text });
    }
    if (m_cache.write(kSearchTextFileName, bytes))
        m_changed = false;
}
