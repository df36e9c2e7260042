#pragma once

#include "reader/bookcachefolder.h"
#include "reader/documentstamp.h"
#include "reader/pagemodel.h"
#include "reader/searchtext.h"

#include <QHash>
#include <QVector>

#include <optional>

struct EpubData;

// The search text of every spine document of one book (folded and shown),
// extracted on first use and kept in memory and, once save() is called, in one
// file of the book's "searchtext" cache folder beside the thumbnails, so later
// openings read no markup. Answers whether the web engine must be asked about
// a document. GUI thread; the book model must outlive it.
class SearchTextIndex
{
public:
    enum class Presence { Absent, Present, AskTheEngine };

    SearchTextIndex() = default;
    SearchTextIndex(const EpubData* book, const QString& bookDir);

    // Absent only when the engine certainly finds no `term` in the document at
    // `page` (image pages and documents that cannot be read hold no text at
    // all); Present only when it certainly finds it.
    Presence presence(int page, const lf::SearchText::Term& term);

    const PageModel& pages() const { return m_pages; }

    // Writes the texts extracted so far, when there are new ones, replacing the file whole.
    void save();

private:
    const lf::SearchText::DocumentText& textOf(int page);
    std::optional<QByteArray> readStyleSheet(const QString& path);
    void readCache();

    const EpubData* m_book = nullptr;
    QString m_bookDir;
    PageModel m_pages;
    BookCacheFolder m_cache;
    QVector<std::optional<lf::SearchText::DocumentText>> m_texts;
    QVector<DocumentStamp> m_stamps; // of the documents the texts came from
    QHash<QString, std::optional<QByteArray>> m_styleSheets; // by book-relative path
    bool m_cacheRead = false;
    bool m_changed = false; // texts extracted since the file was read or written
};
