#include "reader/viewerwebview.h"

#include "reader/bookaddress.h"
#include "reader/booklink.h"
#include "reader/booknetworkaccessmanager.h"
#include "reader/bookpagesettings.h"
#include "reader/highlighterstatements.h"
#include "reader/pagescript.h"
#include "reader/viewernotepopup.h"
#include "reader/viewerwebpage.h"
#include "widgets/viewerdefaultdialog.h"

#include <QDateTime>
#include <QDebug>
#include <QDesktopServices>
#include <QLabel>
#include <QMenu>
#include <QNetworkProxyFactory>
#include <QPointer>
#include <QWebFrame>
#include <QWebSettings>
#include <QWheelEvent>

#include <algorithm>

namespace HS = lf::HighlighterStatements;

namespace {

const QString kHighlightIcon = QStringLiteral(":/icon/Icon/context_icon_highlight_64x64.png");
const QString kMemoIcon = QStringLiteral(":/icon/Icon/context_icon_memo_64x64.png");
const QString kSearchIcon = QStringLiteral(":/icon/Icon/context_icon_search_64x64.png");

} // namespace

const QList<ViewerWebView::HighlightColour>& ViewerWebView::highlightColours()
{
    static const QList<HighlightColour> colours {
        { QT_TR_NOOP("Yellow"), QStringLiteral(":/icon/Icon/h_circle_yellow_60x60.png"),
            QStringLiteral("rgba(237, 255, 0, 0.3)") },
        { QT_TR_NOOP("Orange"), QStringLiteral(":/icon/Icon/h_circle_orange_60x60.png"),
            QStringLiteral("rgba(255, 170, 0, 0.3)") },
        { QT_TR_NOOP("Green"), QStringLiteral(":/icon/Icon/h_circle_green_60x60.png"),
            QStringLiteral("rgba(0, 255, 36, 0.3)") },
        { QT_TR_NOOP("Blue"), QStringLiteral(":/icon/Icon/h_circle_blue_60x60.png"),
            QStringLiteral("rgba(0, 243, 255, 0.3)") },
    };
    return colours;
}

ViewerWebView::ViewerWebView(QWidget* parent)
    : QWebView(parent)
    , viewer_page(new ViewerWebPage(this))
{
    setPage(viewer_page);
    QNetworkProxyFactory::setUseSystemConfiguration(true);
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, SIGNAL(customContextMenuRequested(QPoint)), this, SLOT(customContextMenu(QPoint)));
    setRenderHint(QPainter::TextAntialiasing, true);

    QWebSettings* own = settings();
    // A book's scripts read no files, reach no remote address and write
    // nothing to the disk; the page's own documents, images and style sheets
    // still load through the access manager.
    lf::confineBookPageSettings(own);
    own->setAttribute(QWebSettings::JavascriptEnabled, true);
    own->setAttribute(QWebSettings::WebGLEnabled, true);
    own->setAttribute(QWebSettings::DeveloperExtrasEnabled, true);
    own->setAttribute(QWebSettings::LocalStorageEnabled, true);
    own->setAttribute(QWebSettings::WebAudioEnabled, true);
    own->setAttribute(QWebSettings::NotificationsEnabled, true);
    own->setAttribute(QWebSettings::AutoLoadImages, true);
    own->setUserStyleSheetUrl(QUrl(lf::kPageStyleSheetUrl));

    page()->mainFrame()->setScrollBarPolicy(Qt::Horizontal, Qt::ScrollBarAlwaysOff);
    page()->mainFrame()->setScrollBarPolicy(Qt::Vertical, Qt::ScrollBarAlwaysOff);
    page()->setLinkDelegationPolicy(QWebPage::DelegateAllLinks);
    connect(this, SIGNAL(linkClicked(QUrl)), this, SLOT(linkClickedEvent(QUrl)));
    connect(viewer_page, SIGNAL(navigationRefused(QUrl)), this, SLOT(navigationRefusedEvent(QUrl)));
}

ViewerWebView::~ViewerWebView() = default;

void ViewerWebView::loadPage(const QUrl& url)
{
    viewer_page->allowNextNavigation();
    load(url);
}

void ViewerWebView::reloadPage()
{
    viewer_page->allowNextNavigation();
    reload();
}

void ViewerWebView::setSidewaysScrolling(bool enabled)
{
    // The engine makes its bars when a page loads: the policy is set before.
    page()->mainFrame()->setScrollBarPolicy(Qt::Horizontal, enabled ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
}

void ViewerWebView::showNotice(const QString& text)
{
    // Loaded like any page (never at once, as setHtml may), so its completion
    // arrives as a page's does.
    const QString html = QStringLiteral("<html><body><p style=\"margin:3em;text-align:center\">%1</p></body></html>")
                             .arg(text.toHtmlEscaped());
    loadPage(
        QUrl(QStringLiteral("data:text/html;charset=utf-8,") + QString::fromLatin1(QUrl::toPercentEncoding(html))));
}

bool ViewerWebView::hasHighlighter()
{
    return evaluate(QStringLiteral("typeof text_highlighter")).toString() == QLatin1String("object");
}

void ViewerWebView::navigationRefusedEvent(QUrl url)
{
    // Only a document of the book may be turned to; nothing leaves the book
    // without the user's click.
    if (url.scheme() == lf::BookAddress::kScheme)
        turnTo(url);
}

void ViewerWebView::setBook(const QString& folder, const EpubData& book)
{
    viewer_page->bookAccess()->setBookFolder(folder);
    viewer_page->bookAccess()->setBook(book);
    book_root = lf::BookLink::rootOf(folder);
}

void ViewerWebView::setInnerScrollingMode(bool stat)
{
    inner_scrolling = stat;
}

void ViewerWebView::wheelEvent(QWheelEvent* event)
{
    event->accept();
    if (inner_scrolling)
        QWebView::wheelEvent(event);
    else
        emit sendWheelEvent(event);
}

void ViewerWebView::mousePressEvent(QMouseEvent* event)
{
    QWebView::mousePressEvent(event);
}

void ViewerWebView::mouseReleaseEvent(QMouseEvent* event)
{
    // The one moment a link may be followed: the user's own release on it.
    viewer_page->beginUserClick(event->pos());
    QWebView::mouseReleaseEvent(event);
    viewer_page->endUserClick();
}

bool ViewerWebView::mayOpenOutside(const QUrl& url)
{
    static const QStringList allowed { QStringLiteral("http"), QStringLiteral("https"), QStringLiteral("mailto") };
    return allowed.contains(url.scheme().toLower());
}

void ViewerWebView::linkClickedEvent(QUrl url)
{
    qDebug().noquote() << "ex link :: " + url.toString();
    if (!lf::BookLink::isInside(url, book_root)) {
        // Asked once the engine is done with the click, so the page is left
        // as it was whatever the answer.
        QMetaObject::invokeMethod(this, "leaveBookEvent", Qt::QueuedConnection, Q_ARG(QUrl, url));
        return;
    }
    if (!openNote(url))
        followInsideBook(url);
}

void ViewerWebView::followInsideBook(QUrl url)
{
    // The engine does not follow links while they are delegated: an anchor
    // of the shown document (footnotes, a chapter list) is scrolled to here.
    if (url.adjusted(QUrl::RemoveFragment) == this->url().adjusted(QUrl::RemoveFragment)) {
        if (url.hasFragment())
            turnTo(url);
        return;
    }
    turnTo(url);
}

bool ViewerWebView::openNote(const QUrl& url)
{
    if (!url.hasFragment() || !ViewerNotePopup::isNoteReference(viewer_page->userClickLink()))
        return false;
    if (!note_popup) {
        note_popup = std::make_unique<ViewerNotePopup>(viewer_page->bookAccess(), this);
        // A reference whose target is no note is followed like any anchor.
        connect(note_popup.get(), SIGNAL(noteMissing(QUrl)), this, SLOT(followInsideBook(QUrl)));
    }
    // At the page's zoom, but never smaller than its natural size, which a
    // fixed page scaled down to the window would make it.
    note_popup->showNote(url, mapToGlobal(viewer_page->userClickPos()), std::max<qreal>(1.0, zoomFactor()));
    return true;
}

void ViewerWebView::leaveBookEvent(QUrl url)
{
    if (!mayOpenOutside(url)) {
        qDebug().noquote() << "link not opened:" << url.toString();
        return;
    }
    // The address as plain ASCII (host names in their encoded form), so
    // neither markup nor look-alike or direction characters can disguise it.
    const QString address = QString::fromLatin1(url.toEncoded());
    // The dialog lives on the heap: the window may close (and take it along)
    // while it waits.
    QPointer<ViewerWebView> self(this);
    QPointer<ViewerDefaultDialog> dialog = new ViewerDefaultDialog(window());
    QString shown = address;
    if (const auto* label = dialog->findChild<QLabel*>(QStringLiteral("message_label")))
        shown = label->fontMetrics().elidedText(address, Qt::ElideMiddle, label->width() - 8);
    dialog->question(tr("Leaving the book"), tr("Open this address?"),
        shown + QLatin1Char('\n') + tr("It opens in another program."));
    const bool open = dialog->exec() == 1;
    delete dialog;
    if (!self || !open)
        return;
    qDebug().noquote() << "link opened outside:" << address;
    QDesktopServices::openUrl(url);
}

bool ViewerWebView::turnTo(const QUrl& url)
{
    // The reader window is this view's window; it turns to a spine document
    // named by idref, or by its path inside the book.
    // An address with an anchor goes by its path first, which keeps the anchor.
    QObject* reader = window();
    bool moved = false;
    if (url.hasFragment())
        QMetaObject::invokeMethod(reader, "moveToPageUrl", Q_RETURN_ARG(bool, moved), Q_ARG(QUrl, url));
    if (!moved)
        QMetaObject::invokeMethod(
            reader, "moveToPageName", Q_RETURN_ARG(bool, moved), Q_ARG(QString, url.fileName(QUrl::FullyDecoded)));
    if (!moved)
        QMetaObject::invokeMethod(reader, "moveToPageUrl", Q_RETURN_ARG(bool, moved), Q_ARG(QUrl, url));
    return moved;
}

QVariant ViewerWebView::evaluate(const QString& statement)
{
    return page()->mainFrame()->evaluateJavaScript(statement);
}

void ViewerWebView::removeMarks(const QStringList& class_names)
{
    for (const QString& name : class_names)
        evaluate(HS::removeHighlight(name));
}

void ViewerWebView::addHighlight(const HighlightColour& colour, const QString& selected)
{
    const qint64 timestamp = QDateTime::currentMSecsSinceEpoch();
    const QString class_name = QStringLiteral("highlighted") + QString::number(QDateTime::currentMSecsSinceEpoch());
    // Only a mark the page really holds joins the index and the panel.
    if (markSelection(HS::doHighlight(timestamp, class_name, colour.css), class_name))
        emit highlightAddEvent(class_name, QString::fromLatin1(colour.name), selected);
}

void ViewerWebView::addMemo(const QString& selected)
{
    const qint64 timestamp = QDateTime::currentMSecsSinceEpoch();
    const QString class_name = QStringLiteral("memo") + QString::number(QDateTime::currentMSecsSinceEpoch());
    if (markSelection(HS::doMemo(timestamp, class_name), class_name))
        emit memoAddEvent(class_name, selected);
}

bool ViewerWebView::markSelection(const QString& statement, const QString& class_name)
{
    evaluate(statement);
    // Class names end in a 13-digit time, so one never contains another.
    const bool marked = evaluate(HS::serialize()).toString().contains(class_name);
    if (!marked)
        qDebug().noquote() << "the page holds no mark" << class_name;
    return marked;
}

bool ViewerWebView::canMarkSelection()
{
    // Marks wrap the HTML text of the body; text of drawings (SVG) and text
    // outside the body cannot be wrapped.
    return hasHighlighter()
        && evaluate(
            QStringLiteral("(function(){var s=window.getSelection();if(!s.rangeCount||!document.body)return false;"
                           "var n=s.getRangeAt(0).commonAncestorContainer;"
                           "if(!document.body.contains(n))return false;"
                           "for(;n&&n!==document.body;n=n.parentNode)"
                           "if(n.namespaceURI==='http://www.w3.org/2000/svg')return false;"
                           "return true;})()"))
               .toBool();
}

void ViewerWebView::customContextMenu(QPoint point)
{
    Q_UNUSED(point)
    if (!hasSelection() || selectedText().isEmpty())
        return;
    const QString selected = selectedText();
    // Without the page script (a book script broke it, or the page is still
    // loading) nothing can be marked: only the search is offered.
    const bool canMark = canMarkSelection();

    QStringList memos;
    QStringList highlights;
    if (canMark) {
        for (const QString& name : evaluate(HS::isHighlight()).toStringList()) {
            if (name.startsWith(QLatin1String("memo")))
                memos.append(name);
            else if (name.startsWith(QLatin1String("highlighted")))
                highlights.append(name);
        }
    }

    // The menu lives on the heap: the window may be closed (and this view
    // deleted) while it is open, by a book handed over from outside.
    QPointer<ViewerWebView> self(this);
    QPointer<QMenu> menu = new QMenu(this);
    QList<QAction*> colourActions;
    QAction* memoAction = nullptr;
    QAction* removeAction = nullptr;
    if (canMark && memos.isEmpty() && highlights.isEmpty()) {
        QMenu* submenu = menu->addMenu(QIcon(kHighlightIcon), tr("Highlight"));
        for (const HighlightColour& colour : highlightColours())
            colourActions.append(submenu->addAction(QIcon(colour.icon), tr(colour.name)));
        memoAction = menu->addAction(QIcon(kMemoIcon), tr("Memo"));
    } else if (!memos.isEmpty() && !highlights.isEmpty()) {
        removeAction = menu->addAction(QIcon(kHighlightIcon), tr("Remove Highlight and Memo"));
    } else if (!memos.isEmpty()) {
        removeAction = menu->addAction(QIcon(kMemoIcon), tr("Remove Memo"));
    } else if (!highlights.isEmpty()) {
        removeAction = menu->addAction(QIcon(kHighlightIcon), tr("Remove Highlight"));
    }
    QAction* searchAction = menu->addAction(QIcon(kSearchIcon), tr("Search"));

    QAction* chosen = menu->exec(QCursor::pos());
    if (!self || !menu)
        return;
    const int colourIndex = colourActions.indexOf(chosen);
    const bool memo = chosen && chosen == memoAction;
    const bool remove = chosen && chosen == removeAction;
    const bool search = chosen && chosen == searchAction;
    delete menu;

    if (search) {
        emit searchRequest(selected);
        return;
    }
    if (remove) {
        removeMarks(highlights);
        removeMarks(memos);
        if (!highlights.isEmpty())
            emit highlightRemoveEvent(highlights);
        if (!memos.isEmpty())
            emit memoRemoveEvent(memos);
    } else if (memo) {
        addMemo(selected);
    } else if (colourIndex >= 0) {
        addHighlight(highlightColours().at(colourIndex), selected);
    } else {
        return;
    }
    // Only the script's own serialisation (a JSON array) replaces the page's
    // stored marks; a failed evaluation never empties them.
    const QVariant serialised = evaluate(HS::serialize());
    if (serialised.type() == QVariant::String && serialised.toString().startsWith(QLatin1Char('[')))
        emit serializeHighlights(serialised.toString());
    else
        qDebug() << "marks not serialised; the stored marks stay";
}
