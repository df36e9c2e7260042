#include "library/coverrenderer.h"

#include "base/atomicfile.h"
#include "epub/bookhref.h"
#include "epub/epubparser.h"
#include "library/bookcasefile.h"
#include "library/bookinfo.h"
#include "library/booklistcontrol.h"
#include "library/renderedcover.h"
#include "reader/offscreenbookpage.h"
#include "reader/pagemodel.h"

#include <QBuffer>
#include <QDebug>
#include <QImage>
#include <QPainter>
#include <QTimer>
#include <QWebFrame>
#include <QWebPage>

#include <algorithm>
#include <cmath>

namespace {
// A flowing page is laid out as on a small reader page, then drawn smaller.
constexpr int kFlowingPageWidth = 450;
// A page that never finishes loading gives no cover rather than a stuck queue.
constexpr int kLoadTimeoutMs = 15000;
constexpr qreal kMaxFixedZoom = 2.0;
// A look at a book is a stat or two: this many take about a millisecond.
constexpr int kChecksPerTurn = 200;
} // namespace

CoverRenderer::CoverRenderer(QObject* parent, const QSize& tileSize)
    : QObject(parent)
    , m_tileSize(tileSize)
    , m_deadline(new QTimer(this))
    , m_checking(new QTimer(this))
{
    connect(m_checking, SIGNAL(timeout()), this, SLOT(checkSomeBooks()));
    m_deadline->setSingleShot(true);
    m_deadline->setInterval(kLoadTimeoutMs);
    connect(m_deadline, SIGNAL(timeout()), this, SLOT(giveUp()));
}

CoverRenderer::~CoverRenderer() = default;

bool CoverRenderer::isIdle() const
{
    return m_current.isEmpty() && m_queue.isEmpty() && m_toCheck.isEmpty();
}

void CoverRenderer::requestEach(const QStringList& names)
{
    m_toCheck = m_toCheck.mid(m_nextToCheck) + names;
    m_nextToCheck = 0;
    if (!m_toCheck.isEmpty())
        m_checking->start(0);
}

void CoverRenderer::checkSomeBooks()
{
    const BookListControl* store = BookListControl::instance();
    const int end = qMin(m_nextToCheck + kChecksPerTurn, m_toCheck.size());
    // A book removed meanwhile has no record any more and is passed over.
    for (; m_nextToCheck < end; ++m_nextToCheck)
        request(store->bookInfo(m_toCheck.at(m_nextToCheck)));
    if (m_nextToCheck < m_toCheck.size())
        return;
    m_checking->stop();
    m_toCheck.clear();
    m_nextToCheck = 0;
}

void CoverRenderer::request(BookInfo* record)
{
    if (!record || m_queue.contains(record->fileName()) || m_current == record->fileName()
        || !lf::RenderedCover::isMissing(BookcaseFile::bookFolder(record->fileName()), record->coverUrl()))
        return;
    m_queue.append(record->fileName());
    if (m_current.isEmpty())
        QTimer::singleShot(0, this, &CoverRenderer::startNext);
}

void CoverRenderer::startNext()
{
    if (!m_current.isEmpty() || m_queue.isEmpty())
        return;
    m_current = m_queue.takeFirst();
    const QString bookDir = BookcaseFile::bookFolder(m_current) + QLatin1Char('/');
    m_book = EpubParser::parseBook(bookDir);
    const QUrl address = m_book ? PageModel(m_book.get(), bookDir).documentUrl(0) : QUrl();
    if (address.isEmpty())
        return finish(QStringLiteral("no first page"));
    // A fresh page per book: each has its own folder and fonts, and no script.
    delete m_page;
    m_page = new QWebPage(this);
    lf::confineOffscreenPage(m_page, bookDir, m_book.get());
    m_page->mainFrame()->setScrollBarPolicy(Qt::Horizontal, Qt::ScrollBarAlwaysOff);
    m_page->mainFrame()->setScrollBarPolicy(Qt::Vertical, Qt::ScrollBarAlwaysOff);
    // A fixed page is loaded in the smallest viewport to learn its own width.
    const bool fixed = PageModel::isFixedLayout(*m_book);
    m_page->setViewportSize(
        fixed ? QSize(1, 1) : QSize(kFlowingPageWidth, kFlowingPageWidth * m_tileSize.height() / m_tileSize.width()));
    connect(m_page, SIGNAL(loadFinished(bool)), this, SLOT(pageLoaded(bool)));
    m_deadline->start();
    m_page->mainFrame()->load(address);
}

void CoverRenderer::pageLoaded(bool ok)
{
    if (m_current.isEmpty() || !m_page)
        return;
    m_deadline->stop();
    // A page that did not load would be kept as a blank picture for good.
    if (!ok)
        return finish(QStringLiteral("the first page did not load"));
    QWebFrame* frame = m_page->mainFrame();
    const int pageWidth = PageModel::isFixedLayout(*m_book) ? frame->contentsSize().width() : kFlowingPageWidth;
    const qreal zoom = pageWidth > 0 ? qreal(m_tileSize.width()) / pageWidth : 0.0;
    if (!std::isfinite(zoom) || zoom <= 0.0 || zoom > kMaxFixedZoom)
        return finish(QStringLiteral("the first page has no size"));
    frame->setZoomFactor(zoom);
    m_page->setViewportSize(m_tileSize);
    QImage image(m_tileSize, QImage::Format_RGB32);
    // Pages without a background of their own show white, never stale memory.
    image.fill(Qt::white);
    QPainter painter(&image);
    frame->render(&painter, QRegion(image.rect()));
    painter.end();

    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    const QString path = BookcaseFile::bookFolder(m_current) + QLatin1Char('/') + lf::RenderedCover::kFileName;
    if (!image.save(&buffer, "PNG") || !lf::writeFileAtomically(path, png))
        return finish(QStringLiteral("not written"));
    const QString name = m_current;
    finish(QStringLiteral("drawn"));
    emit coverRendered(name);
}

void CoverRenderer::giveUp()
{
    finish(QStringLiteral("the first page did not load"));
}

void CoverRenderer::finish(const QString& outcome)
{
    qDebug().noquote() << "cover of" << m_current << "from its first page:" << outcome;
    m_deadline->stop();
    if (m_page) {
        m_page->disconnect(this);
        m_page->deleteLater();
        m_page = nullptr;
    }
    m_book.reset();
    m_current.clear();
    if (!m_queue.isEmpty())
        QTimer::singleShot(0, this, &CoverRenderer::startNext);
}
