#include "reader/pageharvest.h"

#include "base/appconstants.h"
#include "epub/epubdata.h"
#include "reader/contentslookup.h"
#include "reader/offscreenbookpage.h"
#include "reader/storedthumbnail.h"

#include <QFile>
#include <QPainter>
#include <QTimer>
#include <QWebElement>
#include <QWebFrame>
#include <QWebPage>
#include <QWebSettings>

#include <cmath>

namespace {
// The reflowable thumbnail shows the top of the document at this zoom.
constexpr qreal kReflowZoom = 0.3;
// A fixed-layout zoom outside this range means the page had no usable size yet.
constexpr qreal kMaxFixedZoom = 2.0;
// Content the engine searches that its plain text leaves out or shows otherwise.
const QString kEngineOnlyContent = QStringLiteral(
    "input, textarea, select, button, keygen, isindex, iframe, frame, frameset, object, embed, applet");

bool holdsEngineOnlyContent(QWebFrame* frame)
{
    const QWebElement root = frame->documentElement();
    return !frame->childFrames().isEmpty() || root.localName().compare(QLatin1String("html"), Qt::CaseInsensitive) != 0
        || !root.findFirst(kEngineOnlyContent).isNull();
}
} // namespace

PageHarvest::PageHarvest(QObject* parent, const PageModel& pages, QSize thumbnailSize)
    : QObject(parent)
    , m_pages(pages)
    , m_book(m_pages.book())
    , m_texts(m_pages)
    , m_thumbnails(m_pages.bookDir(), m_book ? m_book->contentDir : QString(), lf::kThumbnailFolder)
    , m_thumbSize(thumbnailSize)
{
    createPage();
}

PageHarvest::PageHarvest(QObject* parent, const EpubData* book, const QString& bookDir, QSize thumbnailSize)
    : QObject(parent)
    , m_ownPages(std::make_unique<PageModel>(book, bookDir))
    , m_pages(*m_ownPages)
    , m_book(m_pages.book())
    , m_texts(m_pages)
    , m_thumbnails(m_pages.bookDir(), m_book ? m_book->contentDir : QString(), lf::kThumbnailFolder)
    , m_thumbSize(thumbnailSize)
{
    createPage();
}

void PageHarvest::createPage()
{
    m_page = new QWebPage(this);
    m_page->setObjectName(QStringLiteral("harvest_page"));
    // A picture of the page and its text need no book script.
    lf::confineOffscreenPage(m_page, m_pages.bookDir(), m_book);
    m_page->mainFrame()->setScrollBarPolicy(Qt::Horizontal, Qt::ScrollBarAlwaysOff);
    m_page->mainFrame()->setScrollBarPolicy(Qt::Vertical, Qt::ScrollBarAlwaysOff);
    connect(m_page, SIGNAL(loadFinished(bool)), this, SLOT(documentFinished()));
}

PageHarvest::~PageHarvest()
{
    stop();
}

QImage PageHarvest::storedThumbnail(int page, const QSize& tileSize) const
{
    QFile file;
    if (!m_thumbnails.open(lf::kThumbnailFilePattern.arg(page), &file))
        return {};
    return lf::StoredThumbnail::decode(&file, thumbnailBinding(page), tileSize);
}

void PageHarvest::loadForEngine(int page)
{
    m_engineRequest = page;
    scheduleStep();
}

void PageHarvest::requestThumbnail(int page)
{
    if (!m_thumbnailRequests.contains(page))
        m_thumbnailRequests.append(page);
    scheduleStep();
}

void PageHarvest::forgetThumbnailRequests()
{
    m_thumbnailRequests.clear();
}

void PageHarvest::startBackground()
{
    if (m_backgroundDone)
        return;
    m_background = true;
    scheduleStep();
}

void PageHarvest::holdBackground(bool held)
{
    m_held = held;
    if (!held)
        scheduleStep();
}

void PageHarvest::stop()
{
    if (m_stopped)
        return;
    m_stopped = true;
    if (m_loading >= 0) {
        m_loading = -1;
        m_page->triggerAction(QWebPage::Stop);
    }
    m_texts.save();
}

void PageHarvest::scheduleStep()
{
    if (m_stepQueued || m_stopped)
        return;
    m_stepQueued = true;
    // One document per turn of the event loop: input and page turns come first.
    QTimer::singleShot(0, this, SLOT(step()));
}

void PageHarvest::step()
{
    m_stepQueued = false;
    if (m_stopped || m_loading >= 0)
        return;
    int page = -1;
    m_loadForEngine = false;
    if (m_engineRequest >= 0) {
        page = m_engineRequest;
        m_engineRequest = -1;
        m_loadForEngine = true;
    }
    if (page < 0 && !m_thumbnailRequests.isEmpty())
        page = m_thumbnailRequests.takeFirst();
    if (page < 0 && m_background && !m_held)
        page = nextInBackground();
    if (page < 0) {
        // Idle: what the search or the panel took is kept. A background run
        // that holds off for a page turn keeps its texts every so many
        // documents instead, never on every turn.
        if (!m_background)
            m_texts.save();
        return;
    }
    m_retried = false;
    load(page);
}

int PageHarvest::nextInBackground()
{
    while (m_backgroundCursor < m_pages.pageCount() && isHarvested(m_backgroundCursor))
        ++m_backgroundCursor;
    if (m_backgroundCursor < m_pages.pageCount())
        return m_backgroundCursor;
    if (m_background) {
        m_background = false;
        m_backgroundDone = true;
        QWebSettings::clearMemoryCaches();
        emit harvestComplete();
    }
    return -1;
}

void PageHarvest::load(int page)
{
    const QUrl address = m_pages.documentUrl(page);
    if (address.isEmpty()) {
        // No document to show: a blank tile, and nothing for the engine to find.
        emit thumbnailMade(page, QImage());
        if (m_loadForEngine)
            emit documentLoaded(page);
        scheduleStep();
        return;
    }
    // A fixed-layout document is laid out in the smallest viewport to learn its
    // own size. A reflowable one is laid out once, as its thumbnail shows it:
    // its text does not depend on the width, and a narrow viewport costs a
    // line per word, each shaped anew (Devanagari: 3 times the whole pass). A
    // picture shrinks to whatever viewport it gets, so it gets the tile's.
    const bool picture = m_book && lf::ContentsLookup::isImagePage(*m_book, page);
    const bool reflowable = !m_book || !PageModel::isFixedLayout(*m_book);
    m_page->mainFrame()->setZoomFactor(reflowable && !picture ? kReflowZoom : 1.0);
    m_page->setViewportSize(picture || reflowable ? m_thumbSize : QSize(1, 1));
    m_loading = page;
    m_page->mainFrame()->load(address);
}

void PageHarvest::documentFinished()
{
    if (m_loading < 0)
        return; // stopped, or not a load of ours
    const int page = m_loading;
    // The text is taken as loaded, before the thumbnail's zoom may lay the page out again.
    if (!m_retried)
        keepText(page);
    QImage image;
    if (applyThumbnailZoom()) {
        image = renderThumbnail();
    } else if (!m_retried) {
        // The page may have had no size yet; it gets one more load, then a blank tile.
        m_retried = true;
        m_loading = -1;
        load(page);
        return;
    }
    m_loading = -1;
    if (!image.isNull())
        storeThumbnail(page, image);
    emit thumbnailMade(page, image);
    // The engine is asked last: its find selects what it found.
    if (m_loadForEngine) {
        m_loadForEngine = false;
        emit documentLoaded(page);
    }
    scheduleStep();
}

bool PageHarvest::applyThumbnailZoom()
{
    QWebFrame* frame = m_page->mainFrame();
    if (!m_book || !PageModel::isFixedLayout(*m_book)) {
        frame->setZoomFactor(kReflowZoom);
        m_page->setViewportSize(m_thumbSize);
        return true;
    }
    const int contentsWidth = frame->contentsSize().width();
    const qreal zoom = contentsWidth > 0 ? qreal(m_thumbSize.width()) / contentsWidth : 0.0;
    if (!std::isfinite(zoom) || zoom <= 0.0 || zoom > kMaxFixedZoom)
        return false;
    frame->setZoomFactor(zoom);
    return true;
}

QImage PageHarvest::renderThumbnail()
{
    QWebFrame* frame = m_page->mainFrame();
    m_page->setViewportSize(frame->contentsSize());
    QImage image(m_thumbSize, QImage::Format_ARGB32);
    if (image.isNull())
        return image;
    // Pages without a background of their own show white, never stale memory.
    image.fill(Qt::white);
    QPainter painter(&image);
    frame->render(&painter, QRegion(image.rect()));
    painter.end();
    return image;
}

void PageHarvest::keepText(int page)
{
    QWebFrame* frame = m_page->mainFrame();
    m_texts.keep(page, { frame->toPlainText().toUtf8(), holdsEngineOnlyContent(frame) });
}

void PageHarvest::storeThumbnail(int page, const QImage& image)
{
    const QString binding = thumbnailBinding(page);
    const QByteArray png = lf::StoredThumbnail::encode(image, binding);
    if (!binding.isEmpty() && !png.isEmpty())
        m_thumbnails.write(lf::kThumbnailFilePattern.arg(page), png);
}

QString PageHarvest::thumbnailBinding(int page) const
{
    return lf::StoredThumbnail::binding(page, m_pages.documentStamp(page));
}
