#pragma once

#include <QSize>
#include <QString>
#include <QUrl>
#include <QVector>

struct DocumentStamp;
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

    // The book and its folder (with a trailing "/") the model was made for.
    const EpubData* book() const { return m_book; }
    const QString& bookDir() const { return m_bookDir; }

    int pageCount() const;
    bool contains(int page) const { return page >= 0 && page < pageCount(); }

    // Books with fixed-layout ("pre-paginated") pages may be shown two pages
    // side by side; in a mixed book only those pages pair.
    static bool isFixedLayout(const EpubData& book);
    bool isFixedLayout(int page) const;

    // The pages shown side by side: spine positions, -1 for an empty side.
    struct Spread
    {
        int left = -1;
        int right = -1;
        // A page that stands alone (single view, centred, spread-none,
        // reflowable) fills the view; otherwise an empty side keeps its place.
        bool alone = false;
        int first() const { return left < 0 || (right >= 0 && right < left) ? right : left; }
        int last() const { return left > right ? left : right; }
    };
    // The spread that shows `page`: a single page in the left view unless
    // `twoPage`, else the declared pairing of the book.
    Spread spreadAt(int page, bool twoPage) const;
    // The first page (in reading order) of the spread that shows `page`.
    int spreadStart(int page, bool twoPage) const { return spreadAt(page, twoPage).first(); }
    // The position the next or previous turn asks for (may lie outside the book).
    int nextPage(int current, bool twoPage) const;
    int previousPage(int current, bool twoPage) const;
    // The spread rule that holds for `page`: its own rendition:spread word,
    // else the book's ("none", "auto", "both", "landscape", "portrait", or
    // empty when neither declares one).
    QString spreadRule(int page) const;
    // Whether a window of `window` size shows the book in two-page view when
    // it opens at `page`, as the book declares: "both" always, "landscape"
    // and "auto" in a window wider than tall, "portrait" in one taller than
    // wide; never without a declaration or in a book without fixed pages.
    bool declaresTwoPages(int page, QSize window) const;
    // True when the spread starting at `current` has a page on the right.
    bool hasRightPage(int current) const { return spreadAt(current, true).right >= 0; }

    // Book-relative path of the document at `page`: its manifest item (an
    // application item, or an image item for image spine entries) resolved
    // against the package document. Empty when there is none or it would
    // leave the book.
    QString documentPath(int page) const;
    // True when the spine item at `page` names a manifest item that neither it
    // nor its fallbacks let the pages show (data, foreign formats).
    bool cannotShow(int page) const;
    // The book address of that document (see BookAddress); empty when there is none.
    QUrl documentUrl(int page) const;
    // That document's file in the book folder; empty when there is none.
    QString documentFile(int page) const;
    // The stamp of that document's file; invalid when there is none.
    DocumentStamp documentStamp(int page) const;
    // The manifest media type the document at `page` is served with; empty
    // when its spine entry names no manifest item or the item names none.
    QString documentMediaType(int page) const;

    // Position of the first spine entry whose idref is `idref`, or -1.
    int pageOfIdref(const QString& idref) const;
    // Position of the first spine document at book-relative `path`, or -1.
    int pageOfDocument(const QString& path) const;
    // The book-relative path a book address of this book names, or empty.
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
    void pairPages();
    bool hasFile(const QString& href) const;

    const EpubData* m_book = nullptr;
    QString m_bookDir; // with a trailing "/"
    QString m_host; // of the book's addresses
    // The spread of each page in two-page view, worked out once per book.
    QVector<Spread> m_spreads;
};
