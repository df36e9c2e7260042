#pragma once

#include <QString>
#include <QUrl>

struct EpubData;

// The reader's page model: one page is one spine document, numbered by its
// 0-based spine position. Turns positions into document addresses, rounds
// them to two-page spreads and keeps the reading-progress rule. No widgets;
// the book model must outlive it.
class PageModel
{
public:
    PageModel() = default;
    PageModel(const EpubData* book, const QString& bookDir);

    int pageCount() const;
    bool contains(int page) const { return page >= 0 && page < pageCount(); }

    // Fixed-layout ("pre-paginated") EPUB 3 books may be shown two pages side by side.
    static bool isFixedLayout(const EpubData& book);

    // The position shown in the left (or only) view when `page` is asked for.
    static int spreadStart(int page, bool twoPage) { return twoPage ? page - page % 2 : page; }
    // The position the next or previous turn asks for (may lie outside the book).
    static int nextPage(int current, bool twoPage) { return current + (twoPage ? 2 : 1); }
    static int previousPage(int current, bool twoPage) { return current - (twoPage ? 2 : 1); }
    // True when the spread starting at `current` has a page on the right.
    bool hasRightPage(int current) const { return current + 1 < pageCount(); }

    // Book-relative path of the document at `page`: its manifest item (an
    // application item, or an image item for image spine entries) resolved
    // against the package document. Empty when there is none or it would
    // leave the book.
    QString documentPath(int page) const;
    // The local file address of that document; empty when there is none.
    QUrl documentUrl(int page) const;

    // Position of the first spine entry whose idref is `idref`, or -1.
    int pageOfIdref(const QString& idref) const;
    // Position of the first spine document at book-relative `path`, or -1.
    int pageOfDocument(const QString& path) const;
    // The book-relative path of a local file address inside the book, or empty.
    QString bookPathOf(const QUrl& url) const;

    // Progress is one more than the highest position shown so far and never
    // falls through navigation; the value after showing `current`.
    int progressAfterShowing(int progress, int current, bool twoPage) const;
    // The continue prompt is due once, when stored progress lies beyond the shown page.
    static bool shouldAskToContinue(int current, int progress, bool alreadyAsked)
    {
        return !alreadyAsked && current < progress - 1;
    }

private:
    const EpubData* m_book = nullptr;
    QString m_bookDir; // with a trailing "/"
};
