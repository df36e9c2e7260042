#include "reader/panels/viewertoclistwidget.h"

#include "epub/epubdata.h"
#include "reader/contentslookup.h"
#include "reader/pageharvest.h"
#include "reader/panels/viewerthumbnailitemform.h"
#include "reader/panels/visiblerowforms.h"
#include "ui_viewertoclistwidget.h"

#include <QImage>
#include <QListWidgetItem>
#include <QUrl>

ViewerTocListWidget::ViewerTocListWidget(QWidget* parent, EpubData* book, const QString& bookDir)
    : QWidget(parent)
    , ui(std::make_unique<Ui::ViewerTocListWidget>())
    , book(book)
    , bookDir(bookDir)
{
    ui->setupUi(this);
    connect(ui->close_button, SIGNAL(clicked()), this, SLOT(hide()));
    tiles = new VisibleRowForms(ui->thumbnail_list_widget, [this](QListWidgetItem* item) { return makeTile(item); });
    // Both lists grow with the book: they are filled when the panel is first
    // shown, never while the reader opens.
}

ViewerTocListWidget::~ViewerTocListWidget() = default;

void ViewerTocListWidget::setPageHarvest(PageHarvest* harvest)
{
    if (pageHarvest || !harvest)
        return;
    pageHarvest = harvest;
    connect(pageHarvest, SIGNAL(thumbnailMade(int, QImage)), this, SLOT(thumbnailMade(int, QImage)));
}

PageHarvest* ViewerTocListWidget::harvest()
{
    if (!pageHarvest)
        setPageHarvest(new PageHarvest(this, book, bookDir, ViewerThumbnailItemForm::pictureSize()));
    return pageHarvest;
}

void ViewerTocListWidget::fillLists()
{
    if (listsFilled)
        return;
    listsFilled = true;
    harvest();
    setTOCList();
    setThumbnailList();
}

void ViewerTocListWidget::resizeAndMove(QPoint point, QSize size)
{
    move(point);
    resize(size);
}

void ViewerTocListWidget::setTOCList()
{
    ui->toc_list_widget->clear();
    if (book) {
        for (const NavEntry& entry : book->toc)
            ui->toc_list_widget->addItem(entry.label);
    }
    connect(ui->toc_list_widget, SIGNAL(itemDoubleClicked(QListWidgetItem*)), this, SLOT(moveToPage(QListWidgetItem*)),
        Qt::UniqueConnection);
}

void ViewerTocListWidget::setThumbnailList()
{
    ui->thumbnail_list_widget->clear();
    if (thumbSize.isEmpty())
        thumbSize = ViewerThumbnailItemForm(QString()).size();
    // Rows only: a tile is made when its row comes into view.
    const int pageCount = harvest()->pages().pageCount();
    for (int page = 0; page < pageCount; ++page)
        (new QListWidgetItem(ui->thumbnail_list_widget))->setSizeHint(thumbSize);
    connect(ui->thumbnail_list_widget, SIGNAL(itemDoubleClicked(QListWidgetItem*)), this,
        SLOT(moveToPage(QListWidgetItem*)), Qt::UniqueConnection);
    pageLoad();
}

void ViewerTocListWidget::moveToPage(QListWidgetItem* item)
{
    if (!item || !book)
        return;
    if (item->listWidget() == ui->toc_list_widget) {
        const int row = ui->toc_list_widget->row(item);
        if (row < 0 || row >= book->toc.size())
            return;
        const QString& target = book->toc.at(row).href;
        const int page = lf::ContentsLookup::pageOfTarget(*book, harvest()->pages(), target);
        const QString anchor = QUrl(target).fragment(QUrl::FullyDecoded);
        if (page >= 0 && !anchor.isEmpty())
            emit moveToAnchorEvent(page, anchor);
        else if (page >= 0)
            emit moveToPageEvent(page);
    } else if (item->listWidget() == ui->thumbnail_list_widget) {
        emit moveToPageEvent(ui->thumbnail_list_widget->row(item));
    }
}

void ViewerTocListWidget::pageLoad()
{
    if (loading)
        tiles->attach();
}

QWidget* ViewerTocListWidget::makeTile(QListWidgetItem* item)
{
    if (!loading || !book)
        return nullptr;
    const int page = ui->thumbnail_list_widget->row(item);
    QString label = book->pageLabelForHref(book->spine.at(page));
    if (label.isEmpty())
        label = QString::number(page + 1);
    auto* tile = new ViewerThumbnailItemForm(label);
    // A stored picture that is not the program's own for this page's document
    // (one the book shipped, one of a document since replaced) or does not
    // decode is made again.
    const QImage stored = harvest()->storedThumbnail(page, tile->imageSize());
    if (stored.isNull()) {
        harvest()->requestThumbnail(page);
    } else {
        tile->setPixmap(QPixmap::fromImage(stored));
        emit renderFinish();
    }
    return tile;
}

void ViewerTocListWidget::thumbnailMade(int page, QImage image)
{
    if (!listsFilled)
        return;
    if (ViewerThumbnailItemForm* tile = tileAt(page)) {
        if (!tile->hasPixmap())
            tile->setPixmap(QPixmap::fromImage(image));
        emit renderFinish();
    }
}

ViewerThumbnailItemForm* ViewerTocListWidget::tileAt(int row) const
{
    return qobject_cast<ViewerThumbnailItemForm*>(
        ui->thumbnail_list_widget->itemWidget(ui->thumbnail_list_widget->item(row)));
}

QString ViewerTocListWidget::getTitle()
{
    return ui->title_label->text();
}

void ViewerTocListWidget::setLoadFinish()
{
    loading = false;
    // The harvest keeps what it took and loads nothing more: its book folder
    // may be replaced next.
    if (pageHarvest)
        pageHarvest->stop();
}

void ViewerTocListWidget::hideAndShow(bool is_show)
{
    setVisible(is_show);
}

void ViewerTocListWidget::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    fillLists();
    emit showed(getTitle());
}

void ViewerTocListWidget::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    emit hided();
}
