#pragma once

#include "reader/bookcachefolder.h"
#include "reader/documentstamp.h"

#include <QByteArray>
#include <QVector>

#include <optional>

class PageModel;

// The engine's own text of each page of a book, as the page pass took it, each
// bound to the document it came from by that document's stamp. All texts of
// the book live in one file of its cache folder, read when first asked for
// and replaced whole when saved. GUI thread; the page model must outlive it.
class PageTexts
{
public:
    struct Text
    {
        QByteArray utf8;
        bool engineOnly = false; // holds form controls, frames or objects: only the engine can search it
    };

    explicit PageTexts(const PageModel& pages);

    // The stored text of `page`, or none when the document has not been taken yet.
    const Text* textOf(int page);
    // Keeps the text just taken from `page`; the file is written every so many texts.
    void keep(int page, Text text);
    // Writes the texts taken since the file was read or written, replacing it whole.
    void save();

private:
    void readStoredTexts();

    const PageModel& m_pages;
    BookCacheFolder m_folder;
    QVector<std::optional<Text>> m_texts;
    QVector<DocumentStamp> m_stamps; // of the documents the texts came from
    bool m_read = false;
    int m_unsaved = 0; // texts taken since the file was read or written
    int m_saved = 0; // texts the file holds
};
