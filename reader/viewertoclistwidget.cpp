#include "reader/viewertoclistwidget.h"

#include "app/appconstants.h"
#include "epub/epubdata.h"
#include "reader/contentslookup.h"
#include "reader/offscreenbookpage.h"
#include "reader/storedthumbnail.h"
#include "reader/viewerthumbnailitemform.h"
#include "ui_viewertoclistwidget.h"

#include <QFile>
#include <QImage>
#include <QListWidgetItem>
#include <QPainter>
#include <QUrl>
#include <QWebFrame>
#include <QWebPage>
#include <QWebSettings>

#include <cmath>

namespace {
// The reflowable thumbnail shows the top of the document at this zoom.
constexpr qreal kReflowZoom = 0.3;
// A fixed-layout zoom outside this range means the page had no usable size yet.
constexpr qreal kMaxFixedZoom = 2.0;
} // namespace

ViewerTocListWidget::ViewerTocListWidget(QWidget* parent, EpubData* book, const QString& bookDir)
    : QWidget(parent)
    , ui(std::make_unique<Ui::ViewerTocListWidget>())
    , book(book)
    , bookDir(bookDir)
    , pages(book, bookDir)
    , thumbnails(bookDir, book ? book->contentDir : QString(), lf::kThumbnailFolder)
{
    ui->setupUi(this);
    connect(ui->close_button, SIGNAL(clicked()), this, SLOT(hide()));

    thumbnailPage = new QWebPage(this);
    thumbnailPage->setObjectName(QStringLiteral("thumbnail_page"));
    // A picture of the page needs no book script.
    lf::confineOffscreenPage(thumbnailPage, bookDir);
    thumbnailPage->mainFrame()->setScrollBarPolicy(Qt::Horizontal, Qt::ScrollBarAlwaysOff);
    thumbnailPage->mainFrame()->setScrollBarPolicy(Qt::Vertical, Qt::ScrollBarAlwaysOff);
    QWebSettings::setMaximumPagesInCache(0);

    setTOCList();
    setThumbnailList();
}

ViewerTocListWidget::~ViewerTocListWidget() = default;

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
    for (int page = 0; page < pages.pageCount(); ++page) {
        QString label = book->pageLabelForHref(book->spine.at(page));
        if (label.isEmpty())
            label = QString::number(page + 1);
        auto* tile = new ViewerThumbnailItemForm(label);
        auto* item = new QListWidgetItem(ui->thumbnail_list_widget);
        item->setSizeHint(tile->size());
        ui->thumbnail_list_widget->setItemWidget(item, tile);
    }
    connect(ui->thumbnail_list_widget, SIGNAL(itemDoubleClicked(QListWidgetItem*)), this,
        SLOT(moveToPage(QListWidgetItem*)), Qt::UniqueConnection);
    connect(thumbnailPage, SIGNAL(loadFinished(bool)), this, SLOT(thumbnailImageCreate()), Qt::UniqueConnection);
    // Each step starts the next from the event loop, never from inside the
    // previous one: a long run of stored thumbnails neither deepens the stack
    // nor holds up the window.
    connect(this, SIGNAL(renderFinish()), this, SLOT(pageLoad()),
        Qt::ConnectionType(Qt::QueuedConnection | Qt::UniqueConnection));
    count = 0;
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
        const int page = lf::ContentsLookup::pageOfTarget(*book, pages, target);
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
    if (!loading || count >= pages.pageCount()) {
        if (!cachesCleared) {
            cachesCleared = true;
            QWebSettings::clearMemoryCaches();
            QWebSettings::clearIconDatabase();
        }
        return;
    }
    if (placeStoredThumbnail()) {
        ++count;
        emit renderFinish();
        return;
    }
    loadDocument();
}

// A stored file that is not the program's own for this page's document (one
// the book shipped, one of a document since replaced) or does not decode is
// made again and replaced.
bool ViewerTocListWidget::placeStoredThumbnail()
{
    QFile file;
    if (!thumbnails.open(thumbnailFileName(count), &file))
        return false;
    const QImage image = lf::StoredThumbnail::decode(&file, thumbnailBinding(count), thumbSizeOrTile());
    if (image.isNull()) {
        qDebug() << "stored thumbnail not used, made again:" << count;
        return false;
    }
    if (ViewerThumbnailItemForm* tile = tileAt(count))
        tile->setPixmap(QPixmap::fromImage(image));
    return true;
}

void ViewerTocListWidget::loadDocument()
{
    const QUrl address = pages.documentUrl(count);
    if (address.isEmpty()) {
        finishStep({}); // no document to show: a blank tile
        return;
    }
    // A document is laid out in the smallest viewport to learn its own size; a
    // picture shrinks to whatever viewport it gets, so it gets the tile's.
    const bool picture = lf::ContentsLookup::isImagePage(*book, count);
    thumbnailPage->setViewportSize(picture ? thumbSizeOrTile() : QSize(1, 1));
    thumbnailPage->mainFrame()->setZoomFactor(1.0);
    awaitingLoad = true;
    thumbnailPage->mainFrame()->load(address);
}

void ViewerTocListWidget::thumbnailImageCreate()
{
    if (!awaitingLoad)
        return; // not a load this panel started
    awaitingLoad = false;
    thumbSize = thumbSizeOrTile();

    if (!applyZoom()) {
        // The page may have had no size yet; it gets one more load, then a blank tile.
        if (retriedPage != count) {
            retriedPage = count;
            loadDocument();
        } else {
            finishStep({});
        }
        return;
    }
    QWebFrame* frame = thumbnailPage->mainFrame();
    thumbnailPage->setViewportSize(frame->contentsSize());

    QImage image(thumbSize, QImage::Format_ARGB32);
    if (image.isNull()) {
        finishStep({});
        return;
    }
    // Pages without a background of their own show white, never stale memory.
    image.fill(Qt::white);
    QPainter painter(&image);
    frame->render(&painter, QRegion(image.rect()));
    painter.end();

    storeThumbnail(image);
    finishStep(QPixmap::fromImage(image));
}

bool ViewerTocListWidget::applyZoom()
{
    QWebFrame* frame = thumbnailPage->mainFrame();
    if (!PageModel::isFixedLayout(*book)) {
        frame->setZoomFactor(kReflowZoom);
        thumbnailPage->setViewportSize(thumbSize);
        return true;
    }
    const int contentsWidth = frame->contentsSize().width();
    const qreal zoom = contentsWidth > 0 ? qreal(thumbSize.width()) / contentsWidth : 0.0;
    if (!std::isfinite(zoom) || zoom <= 0.0 || zoom > kMaxFixedZoom)
        return false;
    frame->setZoomFactor(zoom);
    return true;
}

void ViewerTocListWidget::storeThumbnail(const QImage& image)
{
    const QString binding = thumbnailBinding(count);
    const QByteArray png = lf::StoredThumbnail::encode(image, binding);
    if (!binding.isEmpty() && !png.isEmpty())
        thumbnails.write(thumbnailFileName(count), png);
}

QString ViewerTocListWidget::thumbnailBinding(int page) const
{
    const QString document = pages.documentPath(page);
    if (document.isEmpty())
        return {};
    return lf::StoredThumbnail::binding(page, DocumentStamp::of(bookDir + QLatin1Char('/') + document));
}

void ViewerTocListWidget::finishStep(const QPixmap& pixmap)
{
    if (ViewerThumbnailItemForm* tile = tileAt(count))
        tile->setPixmap(pixmap);
    ++count;
    emit renderFinish();
}

QSize ViewerTocListWidget::thumbSizeOrTile() const
{
    if (!thumbSize.isEmpty())
        return thumbSize;
    const ViewerThumbnailItemForm* tile = tileAt(0);
    return tile ? tile->imageSize() : QSize();
}

QString ViewerTocListWidget::thumbnailFileName(int page)
{
    return lf::kThumbnailFilePattern.arg(page);
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
    // The document being loaded stops too, and its completion is ignored:
    // nothing is written once the reader has closed (its book folder may be
    // replaced next).
    awaitingLoad = false;
    if (thumbnailPage)
        thumbnailPage->triggerAction(QWebPage::Stop);
}

void ViewerTocListWidget::hideAndShow(bool is_show)
{
    setVisible(is_show);
}

void ViewerTocListWidget::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    emit showed(getTitle());
}

void ViewerTocListWidget::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    emit hided();
}
