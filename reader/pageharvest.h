#pragma once

#include "reader/bookcachefolder.h"
#include "reader/pagemodel.h"
#include "reader/pagetexts.h"

#include <QImage>
#include <QList>
#include <QObject>
#include <QSize>

#include <memory>

class QWebPage;
struct EpubData;

// One off-screen pass over a book's spine: each document is loaded once (no
// scripts, pictures on), its thumbnail rendered and stored as a PNG file
// bound to the document, and the engine's own text of it handed to the
// book's PageTexts for the search. Documents are taken one per turn of the
// event loop, those the panels or the search ask for first, the rest in the
// background once the reader has shown its first page; the background run
// holds off while the reader loads a page and resumes next opening where it
// stopped. Owned by the reader window; GUI thread; the book model must
// outlive it.
class PageHarvest : public QObject
{
    Q_OBJECT

public:
    // A pass over the pages of `pages`, the reader window's model of the book,
    // which must outlive it. Thumbnails are made at `thumbnailSize`, the size
    // of a tile's picture.
    PageHarvest(QObject* parent, const PageModel& pages, QSize thumbnailSize);
    // A pass with a page model of its own, for a book no reader window shows.
    PageHarvest(QObject* parent, const EpubData* book, const QString& bookDir, QSize thumbnailSize);
    ~PageHarvest() override;

    const PageModel& pages() const { return m_pages; }
    // The texts taken so far, the stored ones included.
    PageTexts& texts() { return m_texts; }
    // The page documents are loaded into; documentLoaded() tells when it holds one.
    QWebPage* page() const { return m_page; }

    bool isHarvested(int page) { return m_texts.textOf(page) != nullptr; }
    // The stored thumbnail of `page` decoded at `tileSize`; null when there is none usable.
    QImage storedThumbnail(int page, const QSize& tileSize) const;

    // Loads `page` for the engine's own find, before anything else waiting:
    // documentLoaded(page) follows. One request at a time; a new one replaces
    // one not yet started.
    void loadForEngine(int page);
    // Makes the thumbnail of `page` soon: thumbnailMade(page, image) follows.
    void requestThumbnail(int page);
    void forgetThumbnailRequests();

signals:
    void documentLoaded(int page);
    void thumbnailMade(int page, QImage image);
    // Every document of the book has been taken.
    void harvestComplete();

public slots:
    // The reader has shown its first page: the rest is taken in the background.
    void startBackground();
    // The reader is loading a page (true) or has shown it (false).
    void holdBackground(bool held);
    // The reader closes: the texts taken so far are kept, nothing more is loaded.
    void stop();

private slots:
    void step();
    void documentFinished();

private:
    void createPage();
    void scheduleStep();
    void load(int page);
    bool applyThumbnailZoom();
    QImage renderThumbnail();
    void keepText(int page);
    void storeThumbnail(int page, const QImage& image);
    QString thumbnailBinding(int page) const;
    int nextInBackground();

    std::unique_ptr<const PageModel> m_ownPages; // when no reader window shares its model
    const PageModel& m_pages;
    const EpubData* m_book = nullptr;
    PageTexts m_texts;
    BookCacheFolder m_thumbnails;
    QWebPage* m_page = nullptr;
    QSize m_thumbSize;

    int m_engineRequest = -1;
    QList<int> m_thumbnailRequests;
    int m_backgroundCursor = 0;
    bool m_background = false;
    bool m_backgroundDone = false;
    bool m_held = false;
    bool m_stopped = false;
    bool m_stepQueued = false;

    int m_loading = -1; // the page in m_page while its load runs
    bool m_loadForEngine = false;
    bool m_retried = false; // the document was loaded a second time for its size
};
