#include "reader/pagetexts.h"

#include "epub/epubdata.h"
#include "reader/pagemodel.h"
#include "reader/searchtextfile.h"

#include <QFile>

#include <algorithm>
#include <utility>

namespace {
const QString kTextFolder = QStringLiteral("searchtext");
const QString kTextFileName = QStringLiteral("texts.txt");
// The background run keeps its texts every so many documents at least, so a
// crash loses little of a long run; on a long book only once the new texts
// are as many as those in the file, so the whole file is not rewritten over
// and over: the rewrites before the last write less than twice the final
// file, all of them less than three times (10,000 documents: 6 rewrites).
constexpr int kSaveEvery = 500;
} // namespace

PageTexts::PageTexts(const PageModel& pages)
    : m_pages(pages)
    , m_folder(pages.bookDir(), pages.book() ? pages.book()->contentDir : QString(), kTextFolder)
{ }

const PageTexts::Text* PageTexts::textOf(int page)
{
    static const Text kNoText;
    if (!m_pages.contains(page))
        return nullptr;
    if (m_pages.documentPath(page).isEmpty())
        return &kNoText; // nothing to load, nothing to find
    readStoredTexts();
    const std::optional<Text>& text = m_texts.at(page);
    return text ? &*text : nullptr;
}

void PageTexts::keep(int page, Text text)
{
    readStoredTexts();
    m_texts[page] = std::move(text);
    m_stamps[page] = m_pages.documentStamp(page);
    if (++m_unsaved >= std::max(kSaveEvery, m_saved))
        save();
}

void PageTexts::save()
{
    if (!m_read || m_unsaved == 0)
        return;
    QByteArray bytes = lf::SearchTextFile::header();
    for (int page = 0; page < m_texts.size(); ++page) {
        const std::optional<Text>& text = m_texts.at(page);
        if (text && m_stamps.at(page).isValid())
            bytes += lf::SearchTextFile::entryBytes({ page, m_stamps.at(page), text->utf8, text->engineOnly });
    }
    if (m_folder.write(kTextFileName, bytes)) {
        m_saved += m_unsaved;
        m_unsaved = 0;
    }
}

// Read when first needed, never while the reader opens: the book's first
// page comes before anything that grows with its spine.
void PageTexts::readStoredTexts()
{
    if (m_read)
        return;
    m_read = true;
    m_texts.resize(m_pages.pageCount());
    m_stamps.resize(m_pages.pageCount());
    QFile file;
    if (!m_folder.open(kTextFileName, &file))
        return;
    const auto stampOfPage
        = [this](int page) { return m_pages.contains(page) ? m_pages.documentStamp(page) : DocumentStamp(); };
    for (const lf::SearchTextFile::Entry& entry : lf::SearchTextFile::read(&file, stampOfPage)) {
        m_texts[entry.page] = Text { entry.text, entry.engineOnly };
        m_stamps[entry.page] = entry.stamp;
        ++m_saved;
    }
}
