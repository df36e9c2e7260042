#include "reader/readerpagelayout.h"

#include "reader/pagelayout.h"
#include "ui_viewerviewwindow.h"

#include <QDebug>
#include <QScrollBar>
#include <QWebElement>
#include <QWebFrame>

#include <algorithm>

namespace PL = lf::PageLayout;

ReaderPageLayout::ReaderPageLayout(Ui::ViewerViewWindow* ui)
    : ui(ui)
{ }

int ReaderPageLayout::scrollBarWidth() const
{
    // The style sheet fixes the width; a bar never shown yet has no geometry.
    return ui->viewer_webview_scrollarea->verticalScrollBar()->sizeHint().width();
}

PL::Area ReaderPageLayout::availableArea(bool twoPage) const
{
    return PL::availableArea(ui->viewer_frame->size(), ui->viewer_webview_scrollarea->lineWidth(),
        ui->viewer_left_spacer->sizeHint().width(), ui->prev_page_button->minimumWidth(),
        ui->viewer_frame_horizontal_layout->contentsMargins().top(), scrollBarWidth(), twoPage);
}

void ReaderPageLayout::layoutEmptyPage()
{
    const PL::Area area = availableArea(false);
    const QSize page(std::max(1, area.pageW), std::max(1, area.availH));
    for (QWidget* widget : { static_cast<QWidget*>(ui->left_webview), ui->viewer_webview_scrollarea_contents }) {
        widget->setMinimumSize(page);
        widget->setMaximumSize(page);
    }
    const QSize frame = PL::reflowScrollAreaSize(page, scrollBarWidth(), page.height());
    ui->viewer_webview_scrollarea->setMinimumSize(frame);
    ui->viewer_webview_scrollarea->setMaximumSize(frame);
}

ReaderPageLayout::Result ReaderPageLayout::run(
    const Settings& settings, double leftFit, bool retriedLeft, bool retriedRight)
{
    const bool twoPage = settings.twoPage;
    const PL::Area area = availableArea(twoPage);

    Result result;
    result.leftFit = leftFit;
    if (settings.fixedLayout || twoPage) {
        QWebView* left = ui->left_webview;
        QWebView* right = ui->right_webview;
        const bool leftBlank = isBlank(left);
        const bool rightBlank = twoPage && isBlank(right);
        if (!leftBlank && settings.fixedLayout) {
            const Fitted fitted = fitFixedPage(left, QSize(10, 10), area.pageW, area.availH, settings, retriedLeft);
            result.leftFit = fitted.scale;
            result.reloadLeft = !fitted.laidOut;
        } else if (!leftBlank) {
            layoutHalfPage(left, settings, area.pageW, area.availH);
        }
        if (twoPage && !rightBlank && settings.rightFixed) {
            const Fitted fitted = fitFixedPage(right, QSize(1, 1), area.pageW, area.availH, settings, retriedRight);
            result.rightFit = fitted.scale;
            result.reloadRight = !fitted.laidOut;
        } else if (twoPage && !rightBlank) {
            layoutHalfPage(right, settings, area.pageW, area.availH);
        }
        // The empty side of a spread keeps the spread's shape.
        if (twoPage && leftBlank)
            takeSize(left, right);
        if (rightBlank)
            takeSize(right, left);
        layoutFixedContent(twoPage, area.availW, area.availH);
    } else {
        layoutReflowable(settings, area.pageW, area.availH);
    }

    result.innerScrolling = PL::innerScrolling(
        ui->viewer_webview_scrollarea->maximumHeight(), ui->viewer_webview_scrollarea_contents->maximumHeight());
    return result;
}

bool ReaderPageLayout::isBlank(const QWebView* view)
{
    return view->url().toString().contains(QLatin1String("about:blank"));
}

void ReaderPageLayout::takeSize(QWidget* blank, const QWidget* page)
{
    blank->setMinimumSize(page->minimumSize());
    blank->setMaximumSize(page->maximumSize());
}

QSize ReaderPageLayout::declaredPageSize(QWebView* view, QSize displayArea)
{
    QWebFrame* frame = view->page()->mainFrame();
    const QWebElement root = frame->documentElement();
    if (root.localName() == QLatin1String("svg"))
        return PL::svgDeclaredSize(root.attribute(QStringLiteral("width")), root.attribute(QStringLiteral("height")),
            root.attribute(QStringLiteral("viewBox")));
    return PL::viewportMetaSize(
        frame->findFirstElement(QStringLiteral("meta[name=viewport]")).attribute(QStringLiteral("content")),
        displayArea);
}

ReaderPageLayout::Fitted ReaderPageLayout::fitFixedPage(
    QWebView* view, QSize measuringViewport, int pageW, int availH, const Settings& settings, bool retried)
{
    view->setZoomFactor(1.0);
    // A page that declares its size is laid out at that size and clipped to
    // it; only a page that declares nothing is measured.
    const QSize displayArea(pageW, availH);
    const QSize declared = declaredPageSize(view, displayArea);
    view->page()->setViewportSize(declared.isValid() ? declared : measuringViewport);
    QSize contents = declared.isValid() ? declared : view->page()->mainFrame()->contentsSize();
    double scale = PL::fitScale(contents, pageW, availH, settings.fitWidth);
    if (!PL::isLaidOut(scale) && !retried) {
        qDebug().noquote() << "page not laid out yet, scale" << scale << view->url().toString();
        return { scale, false };
    }
    // A page that declares no size and measured nothing in either direction
    // (it stayed at the measuring viewport's width or height, even after a
    // reload) takes the page area's size rather than a sliver of it.
    if (!declared.isValid()) {
        const QSize undeclared = PL::undeclaredPageSize(contents, measuringViewport, displayArea);
        if (undeclared != contents) {
            contents = undeclared;
            scale = PL::fitScale(contents, pageW, availH, settings.fitWidth);
        }
    }
    const QSize size = PL::scaledPageSize(contents, scale, settings.zoom);
    view->setZoomFactor(scale * settings.zoom);
    view->page()->setViewportSize(size);
    view->setMinimumSize(size);
    view->setMaximumSize(size);
    return { scale, true };
}

void ReaderPageLayout::layoutHalfPage(QWebView* view, const Settings& settings, int pageW, int availH)
{
    fitLoneImage(view);
    view->setZoomFactor(settings.zoom);
    const QSize size(pageW, availH);
    view->page()->setViewportSize(size);
    view->setMinimumSize(size);
    view->setMaximumSize(size);
}

bool ReaderPageLayout::fitLoneImage(QWebView* view)
{
    QWebElement root = view->page()->mainFrame()->documentElement();
    if (root.hasAttribute(PL::kLoneImageMark))
        return true;
    // Asked of the document through the engine, not through the page's
    // scripts, which a book may have changed.
    const QWebElement body = root.findFirst(QStringLiteral("body"));
    if (body.isNull() || !body.toPlainText().trimmed().isEmpty())
        return false;
    const int pictures = root.findAll(QStringLiteral("img, image")).count();
    const int drawings = root.findAll(QStringLiteral("svg")).count();
    const int others = root.findAll(QStringLiteral("video, audio, canvas, object, embed, iframe, table, form")).count();
    if (pictures != 1 || drawings > 1 || others > 0)
        return false;
    // A drawing scales to the view only by its viewBox; one without takes the
    // picture's own size as its box.
    QWebElement drawing = root.findFirst(QStringLiteral("svg"));
    if (!drawing.isNull() && !drawing.hasAttribute(QStringLiteral("viewBox"))) {
        const QWebElement picture = drawing.findFirst(QStringLiteral("image"));
        const QSize box = PL::svgDeclaredSize(
            picture.attribute(QStringLiteral("width")), picture.attribute(QStringLiteral("height")), QString());
        if (box.isValid())
            drawing.setAttribute(
                QStringLiteral("viewBox"), QStringLiteral("0 0 %1 %2").arg(box.width()).arg(box.height()));
    }
    root.setAttribute(PL::kLoneImageMark, QStringLiteral("1"));
    return true;
}

void ReaderPageLayout::layoutFixedContent(bool twoPage, int availW, int availH)
{
    QWebView* left = ui->left_webview;
    QWebView* right = ui->right_webview;
    int height = left->maximumHeight();
    int width = left->maximumWidth();
    if (twoPage) {
        height = std::max(height, right->maximumHeight());
        width += right->maximumWidth() + ui->webview_line->minimumWidth();
    }
    QWidget* content = ui->viewer_webview_scrollarea_contents;
    content->setMinimumSize(width, height);
    content->setMaximumSize(width, height);
    const QSize area = PL::fixedScrollAreaSize(content->minimumSize(), scrollBarWidth(), availW, availH);
    ui->viewer_webview_scrollarea->setMinimumSize(area);
    ui->viewer_webview_scrollarea->setMaximumSize(area);
}

void ReaderPageLayout::layoutReflowable(const Settings& settings, int pageW, int availH)
{
    QWebView* view = ui->left_webview;
    QWebFrame* frame = view->page()->mainFrame();
    // Only the reader's zoom: the fit of a fixed page shown before (in a mixed
    // book) must not shrink a reflowable one.
    view->setZoomFactor(settings.zoom);
    view->setMinimumWidth(pageW);
    view->setMaximumWidth(pageW);
    // Measured at the page width and at least the area's height: drawings and
    // pictures sized to the viewport keep their size, and vertical writing
    // gets whole columns. The document reports its own size, never smaller
    // than the viewport.
    view->page()->setViewportSize(QSize(pageW, availH));
    // A cover shows its picture whole in the page area, without scrolling.
    const bool cover = fitLoneImage(view);
    // Columns of vertical writing, and lines the engine could not break, run
    // past the page's width: the page scrolls them sideways itself with its
    // own bar, from the side where the engine starts them (the right edge for
    // right-to-left and vertical right-to-left text). The bar sits below the
    // document, so the view is that much taller.
    const int height = cover
        ? availH
        : std::max(1, frame->contentsSize().height() + frame->scrollBarGeometry(Qt::Horizontal).height());
    view->page()->setViewportSize(QSize(pageW, height));
    view->setMaximumHeight(height);
    view->setMinimumHeight(height);

    QWidget* content = ui->viewer_webview_scrollarea_contents;
    content->setMaximumSize(view->maximumSize());
    content->setMinimumSize(view->maximumSize());
    const QSize area = PL::reflowScrollAreaSize(view->maximumSize(), scrollBarWidth(), availH);
    ui->viewer_webview_scrollarea->setMinimumSize(area);
    ui->viewer_webview_scrollarea->setMaximumSize(area);
}

void ReaderPageLayout::placeRibbons(bool twoPage)
{
    const QPair<QPoint, QPoint> at = PL::ribbonPositions(ui->viewer_frame->geometry(),
        ui->viewer_webview_scrollarea->minimumSize(), ui->left_bookmark_button->width(),
        twoPage ? ui->left_webview->maximumWidth() : ui->left_webview->minimumWidth(),
        ui->right_webview->minimumWidth(), ui->webview_line->minimumWidth(),
        ui->viewer_webview_scrollarea->horizontalScrollBar()->value(), twoPage);
    ui->left_bookmark_button->move(at.first);
    if (twoPage)
        ui->right_bookmark_button->move(at.second);
}
