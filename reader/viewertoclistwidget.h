#pragma once

#include "reader/bookcachefolder.h"
#include "reader/pagemodel.h"

#include <QPoint>
#include <QSize>
#include <QString>
#include <QWidget>

#include <memory>

class QImage;
class QListWidgetItem;
class QWebPage;
class ViewerThumbnailItemForm;
struct EpubData;

namespace Ui {
class ViewerTocListWidget;
}

// The reader's contents panel: the table of contents and a column of page
// thumbnails, each of which turns the reader to its page. Thumbnails are made
// one spine document at a time in an off-screen page, each step started from
// the event loop, and kept as PNG files under the book's content folder for
// later openings, each bound to its document (see StoredThumbnail). Owned by the reader window's central widget; GUI
// thread.
class ViewerTocListWidget : public QWidget
{
    Q_OBJECT

public:
    // `book` belongs to the reader window and must outlive the panel; `bookDir`
    // is the book folder without a trailing "/".
    ViewerTocListWidget(QWidget* parent, EpubData* book, const QString& bookDir);
    ~ViewerTocListWidget() override;

signals:
    void hided();
    void showed(QString);
    void moveToPageEvent(int);
    // A contents entry whose target names an anchor inside its document.
    void moveToAnchorEvent(int, QString);
    void renderFinish();

public slots:
    void resizeAndMove(QPoint point, QSize size);
    void setTOCList();
    void setThumbnailList();
    void moveToPage(QListWidgetItem* item);
    void pageLoad();
    void thumbnailImageCreate();
    QString getTitle();
    void setLoadFinish();
    void hideAndShow(bool is_show);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    ViewerThumbnailItemForm* tileAt(int row) const;
    bool placeStoredThumbnail();
    void loadDocument();
    // The zoom that shows the page's whole width, or none when its size is unusable.
    bool applyZoom();
    void storeThumbnail(const QImage& image);
    // What binds the stored thumbnail of `page` to its document; empty without one.
    QString thumbnailBinding(int page) const;
    void finishStep(const QPixmap& pixmap);
    // The thumbnail size, taken from the first tile until production has set it.
    QSize thumbSizeOrTile() const;
    static QString thumbnailFileName(int page);

    std::unique_ptr<Ui::ViewerTocListWidget> ui;
    EpubData* book = nullptr;
    QString bookDir;
    QWebPage* thumbnailPage = nullptr;
    int count = 0;
    bool loading = true;
    QSize thumbSize { 0, 0 };

    PageModel pages;
    BookCacheFolder thumbnails;
    bool awaitingLoad = false; // a document of ours is loading into thumbnailPage
    int retriedPage = -1; // the document already loaded a second time for its size
    bool cachesCleared = false;
};
