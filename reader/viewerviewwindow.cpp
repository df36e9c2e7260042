#include "reader/viewerviewwindow.h"

#include "base/bookname.h"
#include "base/datadirectory.h"
#include "epub/epubparser.h"
#include "reader/bookprinter.h"
#include "reader/highlighterstatements.h"
#include "reader/pageharvest.h"
#include "reader/pagelayout.h"
#include "reader/pagescript.h"
#include "reader/panels/viewerbookmarklistform.h"
#include "reader/panels/viewersearchform.h"
#include "reader/panels/viewertoclistwidget.h"
#include "reader/readerpagelayout.h"
#include "reader/readerpanels.h"
#include "reader/viewerpagebridge.h"
#include "reader/viewerwebpage.h"
#include "reader/viewerwebview.h"
#include "ui_viewerviewwindow.h"
#include "widgets/titlebardrag.h"
#include "widgets/viewerdefaultdialog.h"

#include <QCloseEvent>
#include <QDebug>
#include <QElapsedTimer>
#include <QGraphicsDropShadowEffect>
#include <QMenu>
#include <QPainter>
#include <QResizeEvent>
#include <QScreen>
#include <QScrollBar>
#include <QSizeGrip>
#include <QTimer>
#include <QWebElement>
#include <QWebFrame>
#include <QWebSettings>
#include <QWindow>

namespace {

// The web engine's memory caches are cleared after this many page loads.
constexpr int kLoadsBetweenCacheClears = 50;
constexpr int kSizeGripSize = 15;
// How long the continue question waits for a desktop that never gives the
// window the size its state asks for.
constexpr int kLayoutWaitMs = 1500;

} // namespace

ViewerViewWindow::ViewerViewWindow(QWidget* parent)
    : QMainWindow(parent, Qt::FramelessWindowHint)
    , ui(new Ui::ViewerViewWindow)
    , page_layout(new ReaderPageLayout(ui))
{
    ui->setupUi(this);
    sides[0].view = ui->left_webview;
    sides[1].view = ui->right_webview;
    sides[0].ribbon = ui->left_bookmark_button;
    sides[1].ribbon = ui->right_bookmark_button;
    book_printer = std::make_unique<BookPrinter>(ui->left_webview, ui->right_webview);
    panels = new ReaderPanels(this, ui->centralwidget, ui->viewer_frame,
        { ui->toolbar_toc_list_button, ui->toolbar_search_button, ui->toolbar_bookmark_button,
            ui->toolbar_highlight_button, ui->toolbar_memo_button });
    connect(&annotations, SIGNAL(bookmarksChanged()), this, SLOT(showBookmarkRibbons()));
    setWindowTitle(tr("Lumenfolio Epub Viewer"));
    ui->window_title_bar_widget->setAttribute(Qt::WA_StyledBackground);
    ui->window_toolbar_widget->setAttribute(Qt::WA_StyledBackground);

    const QPainter::RenderHints hints = QPainter::Antialiasing | QPainter::TextAntialiasing
        | QPainter::SmoothPixmapTransform | QPainter::LosslessImageRendering;
    ui->left_webview->setRenderHints(hints);
    ui->right_webview->setRenderHints(hints);
    ui->viewer_webview_scrollarea->setGraphicsEffect(dropShadowEffect());

    size_grip = new QSizeGrip(ui->centralwidget);
    size_grip->resize(kSizeGripSize, kSizeGripSize);
    auto* drag = new TitleBarDrag(this, ui->window_title_bar_widget);
    connect(drag, SIGNAL(windowDragged()), panels, SLOT(place()));

    connect(ui->window_minimalize_button, SIGNAL(pressed()), this, SLOT(showMinimized()));
    connect(ui->window_close_button, SIGNAL(pressed()), this, SLOT(closeButtonEvent()));
}

ViewerViewWindow::~ViewerViewWindow()
{
    qDebug() << "close viewer";
    delete page_layout;
    delete ui;
}

QGraphicsDropShadowEffect* ViewerViewWindow::dropShadowEffect()
{
    auto* effect = new QGraphicsDropShadowEffect(this);
    effect->setColor(QColor(63, 63, 63, 100));
    effect->setBlurRadius(10);
    effect->setOffset(3, 3);
    return effect;
}

bool ViewerViewWindow::isTwoPageView() const
{
    return ui->toolbar_both_view_button->isChecked();
}

bool ViewerViewWindow::isFixedLayout() const
{
    return book && PageModel::isFixedLayout(*book);
}

void ViewerViewWindow::setWindowTitleText(QString& text)
{
    ui->title_label->setText(text);
}

void ViewerViewWindow::openBook(QString name)
{
    book_name = name;
    // The name comes from the bookcase; one that is no plain folder name
    // would point outside the data directory.
    if (!lf::isUsableBookName(name))
        return;
    book_dir = QStringLiteral("%1%2").arg(lf::dataDirectory(), name);
    book = EpubParser::parseBook(book_dir);
    if (!book)
        return;
    pages = PageModel(book.get(), book_dir);
    highlighter_script = lf::PageScript::highlighter();
    ui->left_webview->setBook(book_dir, *book);
    ui->right_webview->setBook(book_dir, *book);

    current_index = 0;
    memo_editors.makeEditors(ui->centralwidget, this, book.get());
    ui->right_webview->hide();
    ui->webview_line->hide();
    ui->right_bookmark_button->hide();
    if (!isFixedLayout()) {
        ui->toolbar_both_view_button->hide();
        ui->toolbar_vertical_horizontal_match_button->hide();
    }
    connectControls();

    annotations.setBook(book_dir, book->contentDir, book->spine.size());
    loadBookmarkListToJson();
    loadHighlightsJson();
    loadMemoJson();
    loadProgressToJson();
    page_count = book->spine.size();
}

void ViewerViewWindow::connectControls()
{
    ViewerWebView* left = ui->left_webview;
    ViewerWebView* right = ui->right_webview;
    // Pages turn in the reading direction: in a right-to-left book the
    // controls on the left (the side arrow and the toolbar's left-pointing
    // arrow) turn forward, those on the right turn back.
    const bool rightToLeft = book->isRightToLeft();
    const char* leftTurn = rightToLeft ? SLOT(moveToNextPage()) : SLOT(moveToPrevPage());
    const char* rightTurn = rightToLeft ? SLOT(moveToPrevPage()) : SLOT(moveToNextPage());
    connect(ui->prev_page_button, SIGNAL(clicked(bool)), this, leftTurn);
    connect(ui->toolbar_prev_button, SIGNAL(clicked(bool)), this, leftTurn);
    connect(ui->next_page_button, SIGNAL(clicked(bool)), this, rightTurn);
    connect(ui->toolbar_next_button, SIGNAL(clicked(bool)), this, rightTurn);
    connect(left, SIGNAL(loadFinished(bool)), this, SLOT(leftWebviewLoadFinished(bool)));
    connect(right, SIGNAL(loadFinished(bool)), this, SLOT(rightWebviewLoadFinished(bool)));
    connect(ui->toolbar_reduce_button, SIGNAL(clicked(bool)), this, SLOT(reduceEvent()));
    connect(ui->toolbar_expand_button, SIGNAL(clicked(bool)), this, SLOT(enlargeEvent()));
    connect(ui->toolbar_vertical_horizontal_match_button, SIGNAL(clicked(bool)), this, SLOT(pageScaleChange()));
    connect(ui->toolbar_both_view_button, SIGNAL(clicked(bool)), this, SLOT(bothView()));
    connect(ui->toolbar_fullscreen_button, SIGNAL(clicked(bool)), this, SLOT(fullScreenMode(bool)));
    connect(ui->toolbar_print_button, SIGNAL(clicked(bool)), this, SLOT(printPreviewEvent()));
    // A used toolbar button hands the keyboard back to the page, so the
    // keys scroll it again; a panel opened from the toolbar keeps it.
    for (QPushButton* button : ui->window_toolbar_widget->findChildren<QPushButton*>())
        connect(button, SIGNAL(clicked(bool)), this, SLOT(focusPageEvent()));
    connect(ui->left_bookmark_button, SIGNAL(clicked(bool)), this, SLOT(leftPageBookmark(bool)));
    connect(ui->right_bookmark_button, SIGNAL(clicked(bool)), this, SLOT(rightPageBookmark(bool)));
    connect(
        left, SIGNAL(sendWheelEvent(QWheelEvent*)), ui->viewer_webview_scrollarea, SLOT(catchWheelEvent(QWheelEvent*)));
    connect(right, SIGNAL(sendWheelEvent(QWheelEvent*)), ui->viewer_webview_scrollarea,
        SLOT(catchWheelEvent(QWheelEvent*)));
    connect(
        ui->viewer_webview_scrollarea->horizontalScrollBar(), SIGNAL(valueChanged(int)), this, SLOT(bookmarkReplace()));

    connect(left, SIGNAL(serializeHighlights(QString)), this, SLOT(leftWebviewSerializeHighlights(QString)));
    connect(right, SIGNAL(serializeHighlights(QString)), this, SLOT(rightWebviewSerializeHighlights(QString)));
    connect(left, SIGNAL(highlightAddEvent(QString, QString, QString)), this,
        SLOT(leftWebviewAddHighlight(QString, QString, QString)));
    connect(right, SIGNAL(highlightAddEvent(QString, QString, QString)), this,
        SLOT(rightWebviewAddHighlight(QString, QString, QString)));
    connect(left, SIGNAL(highlightRemoveEvent(QStringList)), this, SLOT(leftWebviewRemoveHighlights(QStringList)));
    connect(right, SIGNAL(highlightRemoveEvent(QStringList)), this, SLOT(rightWebviewRemoveHighlights(QStringList)));
    connect(left, SIGNAL(memoRemoveEvent(QStringList)), this, SLOT(leftWebviewRemoveMemos(QStringList)));
    connect(right, SIGNAL(memoRemoveEvent(QStringList)), this, SLOT(rightWebviewRemoveMemos(QStringList)));
    connect(left, SIGNAL(memoAddEvent(QString, QString)), this, SLOT(leftWebviewAddMemo(QString, QString)));
    connect(right, SIGNAL(memoAddEvent(QString, QString)), this, SLOT(rightWebviewAddMemo(QString, QString)));
}

void ViewerViewWindow::loadQuestion()
{
    // A question asked before the desktop has maximised the window would be
    // drawn over the window's first, smaller layout.
    question_due = true;
    QTimer::singleShot(kLayoutWaitMs, this, [this] { askOnceLaidOut(true); });
    askOnceLaidOut();
}

bool ViewerViewWindow::isLaidOutAtRealSize() const
{
    if (!isVisible() || !windowHandle() || !windowHandle()->screen())
        return false;
    const Qt::WindowStates state = windowState();
    if (!(state & (Qt::WindowMaximized | Qt::WindowFullScreen)))
        return true;
    const QScreen* screen = windowHandle()->screen();
    return size() == (state & Qt::WindowFullScreen ? screen->geometry() : screen->availableGeometry()).size();
}

void ViewerViewWindow::askOnceLaidOut(bool waitedLongEnough)
{
    if (!question_due || closing || !(waitedLongEnough || isLaidOutAtRealSize()))
        return;
    question_due = false;
    // From the event loop: the window paints at its new size first, and no
    // modal loop runs inside a resize.
    QMetaObject::invokeMethod(this, "askToContinue", Qt::QueuedConnection);
}

void ViewerViewWindow::askToContinue()
{
    if (closing)
        return;
    const int progress_page = annotations.progressPage();
    if (book && PageModel::shouldAskToContinue(current_index, progress_page, !ask_continue)) {
        QString label = book->pageLabelForHref(book->spine.value(progress_page - 1));
        if (label.isEmpty())
            label = QString::number(progress_page);
        // On the heap, and this window watched: a book handed over while the
        // question waits closes (and deletes) this window, dialog included.
        QPointer<ViewerViewWindow> self(this);
        QPointer<ViewerDefaultDialog> dialog = new ViewerDefaultDialog(this);
        dialog->question(tr("Infomation"), tr("Continue the Book"),
            tr("Would you like to Continue\n the book from %1 page?").arg(label));
        // The dialog covers this window and follows it while it waits.
        const int answer = dialog->exec();
        if (!self)
            return;
        delete dialog;
        if (answer == 1)
            current_index = progress_page - 1;
        else
            annotations.setProgressPage(current_index + 1); // saved with the next growth
        ask_continue = false;
    }
    opening = false;
    applyDeclaredSpread();
    moveToPageNum(current_index);
}

bool ViewerViewWindow::applyDeclaredSpread()
{
    if (spread_chosen || !book || !isFixedLayout())
        return false;
    const bool twoPage = pages.declaresTwoPages(current_index, size());
    if (twoPage == isTwoPageView())
        return false;
    ui->toolbar_both_view_button->setChecked(twoPage);
    return true;
}

void ViewerViewWindow::moveToPageNum(int page_num)
{
    moveToPageNum(page_num, nullptr);
}

void ViewerViewWindow::moveToPageNum(int page_num, QString* search_index)
{
    memo_editors.hideAll();
    if (!pages.contains(page_num) || closing)
        return;
    search_term = search_index ? std::optional<QString>(*search_index) : std::nullopt;
    landing_due = true;
    landing_anchor.reset();

    const bool twoPage = isTwoPageView();
    shown_spread = pages.spreadAt(page_num, twoPage);
    current_index = shown_spread.first();
    showSpreadViews();
    current_idref = book->spine.at(current_index);
    awaiting_load = true;
    if (PageHarvest* harvest = panels->harvest())
        harvest->holdBackground(true); // the reader's page comes first
    for (PageSide& side : sides)
        side.retried = false;

    qDebug().noquote() << pages.documentUrl(current_index).toString();
    // The flags say which views still owe their load, whether it succeeds or
    // not: a failed page shows its error report and never stops the reader.
    // A blank side may report its load before the call returns, so it owes none.
    sides[0].loaded = shown_spread.left < 0;
    sides[1].loaded = !(twoPage && shown_spread.right >= 0);
    starting_loads = true;
    loadView(ui->left_webview, shown_spread.left);
    if (twoPage)
        loadView(ui->right_webview, shown_spread.right);
    starting_loads = false;
    annotations.raiseProgress(pages.progressAfterShowing(annotations.progressPage(), current_index, twoPage));
    setNavigationEnabled(false);
}

void ViewerViewWindow::loadView(ViewerWebView* view, int page)
{
    // A document in a format no page can show says so; a spine entry with no
    // document behind it, or an empty side of a spread, shows as a blank page.
    if (pages.cannotShow(page)) {
        view->showNotice(tr("This document cannot be shown."));
        return;
    }
    const QUrl address = pages.documentUrl(page);
    view->setSidewaysScrolling(!address.isEmpty() && !pages.isFixedLayout(page));
    // A reflowable page beside another in a spread keeps to its half and
    // scrolls inside it; the engine makes its bars when the page loads.
    const bool half = showsSpread() && !pages.isFixedLayout(page);
    view->page()->mainFrame()->setScrollBarPolicy(Qt::Vertical, half ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    view->loadPage(address.isEmpty() ? QUrl(QStringLiteral("about:blank")) : address);
}

void ViewerViewWindow::setNavigationEnabled(bool enabled)
{
    ui->prev_page_button->setEnabled(enabled);
    ui->next_page_button->setEnabled(enabled);
    ui->toolbar_prev_button->setEnabled(enabled);
    ui->toolbar_next_button->setEnabled(enabled);
}

bool ViewerViewWindow::moveToPageName(QString file_name)
{
    const int position = pages.pageOfIdref(file_name);
    if (position < 0)
        return false;
    moveToPageNum(position);
    return true;
}

bool ViewerViewWindow::moveToPageUrl(QUrl url)
{
    const int position = pages.pageOfDocument(pages.bookPathOf(url));
    if (position < 0)
        return false;
    moveToPageAnchor(position, url.fragment(QUrl::FullyDecoded));
    return true;
}

void ViewerViewWindow::moveToPageAnchor(int page_num, QString anchor)
{
    // The anchor of the page already shown is scrolled to at once.
    if (!anchor.isEmpty() && page_num == current_index && !awaiting_load && pages.contains(page_num)) {
        QUrl address = pages.documentUrl(page_num);
        address.setFragment(anchor);
        qDebug().noquote() << address.toString();
        landing_anchor = anchor;
        land();
        return;
    }
    moveToPageNum(page_num);
    if (!anchor.isEmpty() && pages.contains(page_num))
        landing_anchor = anchor;
}

void ViewerViewWindow::land()
{
    QScrollBar* column = ui->viewer_webview_scrollarea->verticalScrollBar();
    ViewerWebView* view = ui->left_webview;
    QWebFrame* frame = view->page()->mainFrame();
    int top = 0;
    if (landing_anchor) {
        QString quoted = *landing_anchor;
        quoted.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('"'), QLatin1String("\\\""));
        QWebElement target = frame->findFirstElement(QStringLiteral("[id=\"%1\"]").arg(quoted));
        if (target.isNull())
            target = frame->findFirstElement(QStringLiteral("[name=\"%1\"]").arg(quoted));
        top = target.isNull() ? 0 : target.geometry().top();
        // Pages that scroll inside themselves (fixed layout, wide text) go there too.
        frame->scrollToAnchor(*landing_anchor);
    } else if (search_term) {
        // The first match, found without wrapping, is where the reader looks.
        view->findText(*search_term);
        const QVariant found = frame->evaluateJavaScript(QStringLiteral(
            "(function(){var s=window.getSelection();if(!s.rangeCount)return -1;"
            "var y=s.getRangeAt(0).getBoundingClientRect().top+window.pageYOffset;s.removeAllRanges();return y;})()"));
        top = std::max(0, int(found.toDouble() * view->zoomFactor()));
    }
    column->setValue(top);
    landing_anchor.reset();
    landing_due = false;
}

void ViewerViewWindow::moveToNextPage()
{
    moveToPageNum(pages.nextPage(current_index, isTwoPageView()));
}

void ViewerViewWindow::moveToPrevPage()
{
    moveToPageNum(pages.previousPage(current_index, isTwoPageView()));
}

void ViewerViewWindow::bothView()
{
    // The user's choice holds for this book from now on.
    spread_chosen = true;
    moveToPageNum(current_index);
}

void ViewerViewWindow::showSpreadViews()
{
    // A page that stands alone (a reflowable page of a mixed book, one that
    // refuses spreads) is shown alone even in Both View; an empty side of a
    // spread shows no ribbon.
    const bool twoPage = showsSpread();
    ui->right_webview->setVisible(twoPage);
    ui->webview_line->setVisible(twoPage);
    ui->left_bookmark_button->setVisible(pageOf(false) >= 0);
    ui->right_bookmark_button->setVisible(twoPage && pageOf(true) >= 0);
}

void ViewerViewWindow::fullScreenMode(bool stat)
{
    if (stat)
        showMaximized();
    else
        showNormal();
}

void ViewerViewWindow::viewLoadFinished(bool right, bool stat)
{
    Q_UNUSED(stat)
    // A load cut short by the one just started reports here at once: it is
    // not the page being shown.
    if (starting_loads)
        return;
    // Loads of both views count; a left view's load clears the caches.
    if (++load_count > kLoadsBetweenCacheClears && !right) {
        QWebSettings::clearMemoryCaches();
        QWebSettings::clearIconDatabase();
        load_count = 0;
    }
    if (!right)
        qDebug() << "javascript enabled : "
                 << ui->right_webview->settings()->testAttribute(QWebSettings::JavascriptEnabled);
    // The right view of a spread with no right page owes no load.
    PageSide& side = sides[right];
    if (!right || pageOf(true) >= 0) {
        side.ribbon->setChecked(annotations.bookmarks()->contains(pageOf(right)));
        side.loaded = true;
    }
    if (sides[!right].loaded)
        runPostLoadSteps();
}

void ViewerViewWindow::runPostLoadSteps()
{
    // The right view's "about:blank" may report after the left page; the
    // steps run once per page change (and once per layout reload).
    if (!awaiting_load || closing || !book)
        return;
    awaiting_load = false;
    QElapsedTimer step;
    step.start();
    markSearchHighlight();
    post_load_times.scriptNs = step.nsecsElapsed();
    deserializeHighlightsLoad();
    post_load_times.marksNs = step.nsecsElapsed() - post_load_times.scriptNs;
    pageScaleChange();
    post_load_times.layoutNs = step.nsecsElapsed() - post_load_times.marksNs - post_load_times.scriptNs;
}

void ViewerViewWindow::markSearchHighlight()
{
    // An empty side of a spread holds no page to mark.
    QList<ViewerWebView*> views;
    if (holdsBookPage(false))
        views.append(ui->left_webview);
    if (isTwoPageView() && holdsBookPage(true))
        views.append(ui->right_webview);
    if (!page_bridge)
        page_bridge = new ViewerPageBridge(this, this);
    for (ViewerWebView* view : views) {
        QWebFrame* frame = view->page()->mainFrame();
        frame->addToJavaScriptWindowObject(QStringLiteral("viewer_pc"), page_bridge);
        frame->evaluateJavaScript(highlighter_script);
        if (search_term)
            view->findText(*search_term, QWebPage::HighlightAllOccurrences);
    }
}

void ViewerViewWindow::pageScaleChange()
{
    // While pages load, their completion lays them out.
    if (!book || closing || awaiting_load)
        return;
    ReaderPageLayout::Settings settings;
    // In a mixed book only the fixed-layout pages are laid out as such.
    settings.fixedLayout = pages.isFixedLayout(pageOf(false));
    settings.rightFixed = pages.isFixedLayout(pageOf(true));
    settings.twoPage = showsSpread();
    settings.fitWidth = ui->toolbar_vertical_horizontal_match_button->isChecked();
    settings.zoom = zoom_factor;
    // Only a fixed page has a fit scale; a reflowable page after one is laid
    // out at the user's zoom alone.
    if (!settings.fixedLayout)
        sides[0].fit_scale = 1.0;
    const ReaderPageLayout::Result result
        = page_layout->run(settings, sides[0].fit_scale, sides[0].retried, sides[1].retried);
    if (settings.fixedLayout || settings.rightFixed) {
        sides[0].fit_scale = result.leftFit;
        sides[1].fit_scale = result.rightFit;
    }
    // A page not laid out yet is loaded once more; its completion runs the
    // post-load steps and this pass again.
    if (result.reloadLeft || result.reloadRight) {
        awaiting_load = true;
        starting_loads = true;
        for (bool right : { false, true }) {
            if (right ? result.reloadRight : result.reloadLeft) {
                sides[right].retried = true;
                sides[right].loaded = false;
                sides[right].view->reloadPage();
            }
        }
        starting_loads = false;
        return;
    }

    laid_out_once = true;
    ui->left_webview->setInnerScrollingMode(result.innerScrolling);
    ui->right_webview->setInnerScrollingMode(result.innerScrolling);
    if (landing_due)
        land();
    shadePages();
    if (!ui->prev_page_button->isEnabled()) {
        setNavigationEnabled(true);
        // With the address logged when the page was asked for, the log tells how long it took.
        qDebug() << "page shown:" << current_index;
    }
    bookmarkReplace();
    initTableWidget();
    if (PageHarvest* harvest = panels->harvest()) {
        harvest->startBackground();
        harvest->holdBackground(false);
    }
}

void ViewerViewWindow::bookmarkReplace()
{
    page_layout->placeRibbons(showsSpread());
}

void ViewerViewWindow::chooseZoom(bool enlarge)
{
    const QList<lf::PageLayout::ZoomEntry>& entries
        = enlarge ? lf::PageLayout::enlargeEntries() : lf::PageLayout::reduceEntries();
    QPointer<ViewerViewWindow> self(this);
    QPointer<QMenu> menu = new QMenu(this);
    for (const lf::PageLayout::ZoomEntry& entry : entries)
        menu->addAction(QString::fromLatin1(entry.text));
    const QAction* chosen = menu->exec(QCursor::pos());
    if (!self || !menu)
        return;
    const QString text = chosen ? chosen->text() : QString();
    delete menu;
    for (const lf::PageLayout::ZoomEntry& entry : entries) {
        if (!text.isEmpty() && text == QLatin1String(entry.text)) {
            zoom_factor = entry.factor;
            pageScaleChange();
            return;
        }
    }
}

void ViewerViewWindow::printPreviewEvent()
{
    BookPrinter::preview(this, { pages.isFixedLayout(current_index), showsSpread() });
}

void ViewerViewWindow::printDocument(QPrinter* target)
{
    const BookPrinter::Shown shown { pages.isFixedLayout(current_index), showsSpread() };
    book_printer->print(target, shown);
    // The engine laid a reflowable document out at the sheet's width.
    if (!shown.fixedLayout)
        pageScaleChange();
}

void ViewerViewWindow::initTableWidget()
{
    if (panels->exist() || !book)
        return;
    panels->create(book.get(), book_dir, pages, &annotations);
    for (QWidget* panel : panels->all()) {
        if (panel == panels->search())
            connect(panel, SIGNAL(moveToPageEvent(int, QString*)), this, SLOT(moveToPageNum(int, QString*)));
        else
            connect(panel, SIGNAL(moveToPageEvent(int)), this, SLOT(moveToPageNum(int)));
        connect(panel, SIGNAL(hided()), this, SLOT(toolbarButtonUncheck()));
        connect(panel, SIGNAL(showed(QString)), this, SLOT(totalWindowShowed(QString)));
    }
    connect(panels->contents(), SIGNAL(moveToAnchorEvent(int, QString)), this, SLOT(moveToPageAnchor(int, QString)));
    connect(ui->left_webview, SIGNAL(searchRequest(QString)), panels->search(), SLOT(searchEvent(QString)));
    connect(ui->right_webview, SIGNAL(searchRequest(QString)), panels->search(), SLOT(searchEvent(QString)));
    connect(panels->bookmarks(), SIGNAL(deleteBookmark(int)), this, SLOT(deleteBookmark(int)));
    panels->place();
}

void ViewerViewWindow::totalWindowShowed(QString title)
{
    if (panels->showOnly(title))
        shadePages();
}

void ViewerViewWindow::toolbarButtonUncheck()
{
    panels->uncheckHidden();
    shadePages();
}

void ViewerViewWindow::shadePages()
{
    // A widget with a graphics effect repaints over the widgets lying on it:
    // the page area's drop shadow is off while a side panel is open, or each
    // page load would draw the page frame across the panel.
    if (QGraphicsEffect* shadow = ui->viewer_webview_scrollarea->graphicsEffect())
        shadow->setEnabled(!panels->anyOpen());
}

void ViewerViewWindow::closeButtonEvent()
{
    disconnect(ui->left_webview, SIGNAL(loadFinished(bool)), this, SLOT(leftWebviewLoadFinished(bool)));
    disconnect(ui->right_webview, SIGNAL(loadFinished(bool)), this, SLOT(rightWebviewLoadFinished(bool)));
    ui->left_webview->load(QUrl(QStringLiteral("about:blank")));
    ui->right_webview->load(QUrl(QStringLiteral("about:blank")));
    close();
}

void ViewerViewWindow::closeEvent(QCloseEvent* event)
{
    // Closed is closed: nothing reacts to late page loads any more.
    closing = true;
    ui->left_webview->stop();
    ui->right_webview->stop();
    // The panels' page-by-page background work stops with the window.
    panels->stopBackgroundWork();
    QMainWindow::closeEvent(event);
}

void ViewerViewWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    const int w = event->size().width();
    const int h = event->size().height();
    ui->centralwidget->setGeometry(1, 1, w - 2, h - 2);
    ui->viewer_frame->resize(w - 2, h - ui->viewer_frame->y());
    ui->window_title_bar_widget->resize(w - 2, ui->window_title_bar_widget->height());
    ui->window_toolbar_widget->resize(w - 2, ui->window_toolbar_widget->height());
    size_grip->move(w - size_grip->width() - 2, h - size_grip->height() - 2);

    // The page area takes the new size at once, also while another window is
    // active (a change of screen size): before the first page has been laid
    // out it is sized as an empty page; a page that is loading is laid out
    // when it has loaded. A window turned between wide and tall changes the
    // declared view.
    if (!laid_out_once)
        page_layout->layoutEmptyPage();
    else if (applyDeclaredSpread())
        moveToPageNum(current_index);
    else
        pageScaleChange();
    bookmarkReplace();
    panels->place();
    askOnceLaidOut();
}

void ViewerViewWindow::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    // A change of state that keeps the size brings no resize.
    if (event->type() == QEvent::WindowStateChange)
        askOnceLaidOut();
}

void ViewerViewWindow::focusPageEvent()
{
    if (!panels->openedBy(sender()))
        ui->left_webview->setFocus(Qt::OtherFocusReason);
}

void ViewerViewWindow::pageBookmark(bool right, bool stat)
{
    if (pageOf(right) >= 0)
        annotations.setBookmark(pageOf(right), stat);
}

void ViewerViewWindow::showBookmarkRibbons()
{
    sides[0].ribbon->setChecked(annotations.bookmarks()->contains(pageOf(false)));
    if (isTwoPageView())
        sides[1].ribbon->setChecked(annotations.bookmarks()->contains(pageOf(true)));
}

void ViewerViewWindow::leftWebviewAddHighlight(QString class_name, QString color, QString text)
{
    annotations.addHighlight(pageOf(false), class_name, color, text);
}

void ViewerViewWindow::rightWebviewAddHighlight(QString class_name, QString color, QString text)
{
    annotations.addHighlight(pageOf(true), class_name, color, text);
}

void ViewerViewWindow::openNewMemo(bool right, const QString& class_name, const QString& text)
{
    annotations.addMemo(pageOf(right), class_name, text);
    memo_editors.openEditor(right, pageOf(right), class_name, text, QString());
}

void ViewerViewWindow::leftWebviewSerializeHighlights(QString serialize_array)
{
    annotations.writeMarks(pageOf(false), serialize_array);
}

void ViewerViewWindow::rightWebviewSerializeHighlights(QString serialize_array)
{
    annotations.writeMarks(pageOf(true), serialize_array);
}

void ViewerViewWindow::webviewShowMemo(QString class_name)
{
    if (!book || !class_name.startsWith(QLatin1String("memo")))
        return;
    const QList<bool> shown = isTwoPageView() ? QList<bool> { false, true } : QList<bool> { false };
    for (bool right : shown) {
        const std::optional<AnnotationStore::Memo> memo = annotations.memo(pageOf(right), class_name);
        if (!memo)
            continue;
        // A click on a mark while text is selected in that view opens nothing.
        if (sides[right].view->selectedText().isEmpty())
            memo_editors.openEditor(right, pageOf(right), class_name, memo->text, memo->memo);
        return;
    }
}

void ViewerViewWindow::deserializeHighlightsLoad()
{
    // The stored marks of each page shown are drawn into it again.
    for (bool right : { false, true }) {
        if ((right && !isTwoPageView()) || !holdsBookPage(right))
            continue;
        if (const std::optional<QString> marks = annotations.readMarks(pageOf(right)))
            sides[right].view->page()->mainFrame()->evaluateJavaScript(lf::HighlighterStatements::deserialize(*marks));
    }
}
