#pragma once

#include "reader/bookcachefolder.h"

#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

// The bookmarks, highlight and memo indexes, page marks and reading progress of
// one open book, and the files that keep them in the book folder. Every change
// is written through at once, each file replaced atomically. Nothing outside the
// book folder is ever read or written. Every change of a mark is announced, so
// the lists that show the marks follow it. GUI thread; owned by the reader window.
class AnnotationStore : public QObject
{
    Q_OBJECT

public:
    struct Memo
    {
        QString text; // the marked text
        QString memo; // the memo text, empty until the editor first saves
    };

    explicit AnnotationStore(QObject* parent = nullptr);

    // Empties the store and points it at a book: `bookDir` is its folder,
    // `contentDir` the package document's folder inside it ("" or ending in "/"),
    // `pageCount` its number of spine documents. Pages outside 0..pageCount-1 are
    // never stored. A content folder that would leave the book folder is refused.
    void setBook(const QString& bookDir, const QString& contentDir, int pageCount);
    bool contentDirUsable() const { return m_contentFolder.usable(); }
    int pageCount() const { return m_pageCount; }
    static QString pageKey(int page);

    // Where the files are; empty when refused. The progress file needs no content folder.
    QString bookmarkFilePath() const;
    QString highlightIndexFilePath() const;
    QString memoIndexFilePath() const;
    QString marksFilePath(int page) const;
    QString progressFilePath() const;

    // A missing, unreadable or damaged file leaves its part empty; the next save replaces it.
    void load(); // all four, in the reader's order
    void loadBookmarks();
    void loadHighlights();
    void loadMemos();
    void loadProgress();

    // Each writes its whole file; false when it failed (the old file is then untouched).
    bool saveBookmarks() const;
    bool saveHighlights() const;
    bool saveMemos() const;
    bool saveProgress() const;

    // The data the list panels read; they keep these pointers and never change the data.
    QList<int>* bookmarks() { return &m_bookmarks; }
    const QList<int>* bookmarks() const { return &m_bookmarks; }
    QJsonObject* highlightStore() { return &m_highlightStore; }
    const QJsonObject* highlightStore() const { return &m_highlightStore; }
    QJsonObject* memoStore() { return &m_memoStore; }
    const QJsonObject* memoStore() const { return &m_memoStore; }

    // Adds or removes one bookmark, keeps the list ascending and saves it.
    void setBookmark(int page, bool marked);

    void addHighlight(int page, const QString& className, const QString& color, const QString& text);
    // False, and nothing happens, when the page has no highlights; otherwise the
    // names are removed, an emptied page leaves the index and the index is saved.
    bool removeHighlights(int page, const QStringList& classNames);

    // A new memo holds the marked text only.
    void addMemo(int page, const QString& className, const QString& text);
    bool removeMemos(int page, const QStringList& classNames); // as removeHighlights
    // Sets the memo text of an existing memo; false when there is no such memo.
    bool changeMemo(int page, const QString& className, const QString& memoText);
    std::optional<Memo> memo(int page, const QString& className) const;

    // The page script's serialised marks of one page, stored as UTF-8 text.
    bool writeMarks(int page, const QString& serialised) const;
    // None when the page has no readable marks file.
    std::optional<QString> readMarks(int page) const;

    // Progress is one more than the furthest page shown, at most the page count.
    int progressPage() const { return m_progressPage; }
    // Changes the value kept in memory only (a declined continue prompt lowers it).
    void setProgressPage(int progress);
    // Raises the progress to `reached` (capped at the page count) and saves it;
    // false when it was already that far.
    bool raiseProgress(int reached);

signals:
    // A bookmark was set or cleared.
    void bookmarksChanged();
    void highlightAdded(int page, QString className, QString color, QString text);
    // One for each mark a removal took away.
    void highlightRemoved(int page, QString className);
    void memoAdded(int page, QString className, QString text);
    void memoRemoved(int page, QString className); // as highlightRemoved
    void memoChanged(int page, QString className, QString memo);

private:
    bool isPage(int page) const { return page >= 0 && page < m_pageCount; }
    // None when the page has no marks; otherwise the names that were there.
    std::optional<QStringList> removeFromIndex(QJsonObject& index, int page, const QStringList& classNames);
    void loadIndex(QJsonObject& index, const BookCacheFolder& folder, const QString& name);

    // The book folder, the content folder, and the highlight and memo folders in it.
    BookCacheFolder m_bookFolder;
    BookCacheFolder m_contentFolder;
    BookCacheFolder m_highlightFolder;
    BookCacheFolder m_memoFolder;
    int m_pageCount = 0;
    QList<int> m_bookmarks;
    QJsonObject m_highlightStore;
    QJsonObject m_memoStore;
    int m_progressPage = 0;
};
