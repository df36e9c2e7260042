#include "reader/bookprinter.h"

#include "reader/viewerwebview.h"

#include <QPainter>
#include <QPointer>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QWebElement>
#include <QWebFrame>

#include <algorithm>
#include <vector>

namespace {

// What would print blank sheets at either end of a document: a forced sheet
// break with nothing printed on one side of it (a chapter's heading that starts
// a new sheet is often the first thing of its document), and the margins below
// the last line, which spill onto a sheet of their own when the text ends near
// the bottom of one. Left out while the document prints and put back
// afterwards; the breaks between printed content stay.
class SheetEdges
{
public:
    explicit SheetEdges(QWebFrame* frame);
    ~SheetEdges();
    SheetEdges(const SheetEdges&) = delete;
    SheetEdges& operator=(const SheetEdges&) = delete;

private:
    // Where the document is looked at for printed content, from an element.
    enum class Side { Before, After, FromStart };
    static bool forced(const QWebElement& element, const QString& property);
    static bool printsOn(QWebElement element, Side side);
    static QWebElement lastShown(const QWebElement& parent);
    void loosen(QWebElement element, const QString& property, const QString& value = QStringLiteral("auto !important"));

    struct Loosened
    {
        QWebElement element;
        QString property;
        QString inlineValue;
    };
    std::vector<Loosened> loosened;
};

const QString kBreakBefore = QStringLiteral("page-break-before");
const QString kBreakAfter = QStringLiteral("page-break-after");

SheetEdges::SheetEdges(QWebFrame* frame)
{
    const QWebElement body = frame->findFirstElement(QStringLiteral("body"));
    if (body.isNull())
        return;
    const QWebElementCollection all = body.findAll(QStringLiteral("*"));
    // From the start: breaks before the first printed content.
    for (int i = 0; i < all.count(); ++i) {
        if (!forced(all.at(i), kBreakBefore))
            continue;
        if (printsOn(all.at(i), Side::Before))
            break;
        loosen(all.at(i), kBreakBefore);
    }
    // The space below the last line would spill onto a sheet of its own.
    for (QWebElement element = frame->documentElement(); !element.isNull(); element = lastShown(element)) {
        for (const char* property : { "margin-bottom", "padding-bottom" })
            loosen(element, QString::fromLatin1(property), QStringLiteral("0 !important"));
    }
    // From the end: breaks after the last printed content.
    for (int i = all.count() - 1; i >= 0; --i) {
        const QWebElement element = all.at(i);
        const bool after = forced(element, kBreakAfter);
        const bool before = forced(element, kBreakBefore);
        if (after) {
            if (printsOn(element, Side::After))
                break;
            loosen(element, kBreakAfter);
        }
        if (before) {
            if (printsOn(element, Side::FromStart))
                break;
            loosen(element, kBreakBefore);
        }
    }
}

SheetEdges::~SheetEdges()
{
    // Last first: a property loosened twice gets its first value back.
    for (auto each = loosened.rbegin(); each != loosened.rend(); ++each)
        each->element.setStyleProperty(each->property, each->inlineValue);
}

bool SheetEdges::forced(const QWebElement& element, const QString& property)
{
    const QString value = element.styleProperty(property, QWebElement::ComputedStyle);
    return value == QLatin1String("always") || value == QLatin1String("left") || value == QLatin1String("right");
}

bool SheetEdges::printsOn(QWebElement element, Side side)
{
    static const char* const ranges[] = { "r.setEndBefore(e);", "r.setStartAfter(e);", "r.setStartBefore(e);" };
    const QString script = QStringLiteral(
        "(function(e){var r=document.createRange();r.selectNodeContents(document.body);%1"
        "if(/\\S/.test(r.toString()))return true;"
        "return !!r.cloneContents().querySelector('img,svg,video,object,embed,canvas,hr,iframe,input,textarea,table');"
        "})(this)")
                               .arg(QLatin1String(ranges[int(side)]));
    // Unanswered (no script engine): the break is kept, as the book asks.
    const QVariant answer = element.evaluateJavaScript(script);
    return !answer.isValid() || answer.toBool();
}

QWebElement SheetEdges::lastShown(const QWebElement& parent)
{
    // Elements without a box (scripts, empty anchors) take no space.
    QWebElement child = parent.lastChild();
    while (!child.isNull() && child.geometry().isEmpty())
        child = child.previousSibling();
    return child;
}

void SheetEdges::loosen(QWebElement element, const QString& property, const QString& value)
{
    loosened.push_back({ element, property, element.styleProperty(property, QWebElement::InlineStyle) });
    element.setStyleProperty(property, value);
}

} // namespace

BookPrinter::BookPrinter(ViewerWebView* left, ViewerWebView* right)
    : left(left)
    , right(right)
{ }

int BookPrinter::sheets(const Shown& shown)
{
    // A reflowable document takes as many sheets as its length needs.
    if (!shown.fixedLayout)
        return 0;
    return shown.twoPage ? 2 : 1;
}

void BookPrinter::preview(QWidget* window, const Shown& shown)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setFromTo(1, sheets(shown));
    QPointer<QWidget> self(window);
    QPointer<QPrintPreviewDialog> dialog = new QPrintPreviewDialog(&printer, window);
    dialog->setGeometry(100, 100, 800, 600);
    QObject::connect(dialog, SIGNAL(paintRequested(QPrinter*)), window, SLOT(printDocument(QPrinter*)));
    dialog->exec();
    if (self)
        delete dialog;
}

void BookPrinter::print(QPrinter* printer, const Shown& shown) const
{
    const int count = sheets(shown);
    printer->setFromTo(count ? 1 : 0, count);
    printer->setPageSize(QPageSize(QPageSize::A4));
    if (!shown.fixedLayout) {
        QWebFrame* frame = left->page()->mainFrame();
        const SheetEdges edges(frame);
        frame->print(printer);
        return;
    }
    QPainter painter;
    if (!painter.begin(printer))
        return;
    const QRect page = printer->pageLayout().paintRectPixels(printer->resolution());
    // What is printed is what the views show, scaled as the left page fits.
    const double k = std::min(
        double(page.height()) / std::max(1, left->height()), double(page.width()) / std::max(1, left->width()));
    painter.scale(k, k);
    const QWidget::RenderFlags flags = QWidget::DrawWindowBackground | QWidget::DrawChildren;
    left->render(&painter, QPoint(0, 0), QRegion(), flags);
    if (shown.twoPage) {
        printer->newPage();
        right->render(&painter, QPoint(0, 0), QRegion(), flags);
    }
    painter.end();
}
