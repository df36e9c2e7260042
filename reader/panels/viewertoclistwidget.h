#pragma once

#include <QPoint>
#include <QSize>
#include <QString>
#include <QWidget>

#include <memory>

class PageHarvest;
class QImage;
class QListWidgetItem;
class ViewerThumbnailItemForm;
class VisibleRowForms;
struct EpubData;

namespace Ui {
class ViewerTocListWidget;
}

// The reader's contents panel: the table of contents and a column of page
// thumbnails, each of which turns the reader to its page. Both lists are
// filled when the panel is first shown, and a thumbnail tile exists only
// while its row is in view: it shows the stored picture, decoded at the
// tile's size, or asks the book's page harvest to make it. Owned by the
// reader window's central widget; GUI thread.
class ViewerTocListWidget : public QWidget
{
    Q_OBJECT

public:
    // `book` belongs to the reader window and must outlive the panel; `bookDir`
    // is the book folder without a trailing "/".
    ViewerTocListWidget(QWidget* parent, EpubData* book, const QString& bookDir);
    ~ViewerTocListWidget() override;

    // The reader's harvest of the book, shared with the search panel, and
    // with it the reader's page model; the panel makes its own when none is
    // given before it is first shown.
    void setPageHarvest(PageHarvest* harvest);

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
    QString getTitle();
    void setLoadFinish();
    void hideAndShow(bool is_show);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private slots:
    void thumbnailMade(int page, QImage image);

private:
    ViewerThumbnailItemForm* tileAt(int row) const;
    QWidget* makeTile(QListWidgetItem* item);
    PageHarvest* harvest();
    void fillLists();

    std::unique_ptr<Ui::ViewerTocListWidget> ui;
    EpubData* book = nullptr;
    QString bookDir;
    bool loading = true;
    QSize thumbSize { 0, 0 };

    PageHarvest* pageHarvest = nullptr;
    VisibleRowForms* tiles = nullptr;
    bool listsFilled = false;
};
