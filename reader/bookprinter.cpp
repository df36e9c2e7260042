#include "reader/bookprinter.h"

#include "reader/viewerwebview.h"

#include <QPainter>
#include <QPointer>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QWebFrame>

#include <algorithm>

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
        left->page()->mainFrame()->print(printer);
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
