#include "library/booklistgriditemform.h"

#include "base/displaytext.h"
#include "library/bookcover.h"
#include "library/bookdirections.h"
#include "library/bookinfo.h"
#include "library/booktile.h"
#include "ui_booklistgriditemform.h"

#include <QEvent>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QToolTip>

namespace {
constexpr int kTitleLength = 8;
// Wide scripts (Japanese, Korean) do not fit eight characters into the label
// at the form's size: the title shrinks down to this size to stay on one line.
constexpr qreal kSmallestTitlePointSize = 7.0;
constexpr qreal kTitlePointSizeStep = 0.5;
// Room kept free at the label's ends, so a fitted title does not touch its edges.
constexpr int kTitlePadding = 4;

QString tileTitle(const QString& title)
{
    if (title.size() <= kTitleLength)
        return title;
    // Never split a character that takes two UTF-16 units.
    const int cut = title.at(kTitleLength - 1).isHighSurrogate() ? kTitleLength - 1 : kTitleLength;
    return title.left(cut) + QStringLiteral("..");
}

// Drops characters before the ".." until the cut title fits `width`; only
// reached when even the smallest size is too wide.
QString shortenToWidth(QString text, const QFontMetrics& metrics, int width)
{
    const QString dots = QStringLiteral("..");
    QString kept = text.endsWith(dots) ? text.chopped(dots.size()) : text;
    while (!kept.isEmpty() && metrics.horizontalAdvance(kept + dots) > width) {
        kept.chop(1);
        if (!kept.isEmpty() && kept.at(kept.size() - 1).isHighSurrogate())
            kept.chop(1);
    }
    return kept + dots;
}
} // namespace

BookListGridItemForm::BookListGridItemForm(QWidget* parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::BookListGridItemForm>())
{
    ui->setupUi(this);
    m_titlePointSize = ui->book_name_label->font().pointSizeF();
    lf::addTileShadow(ui->book_img_label, 10, 1);
    lf::addTileShadow(ui->book_name_label, 10, 1);
}

BookListGridItemForm::~BookListGridItemForm() = default;

void BookListGridItemForm::setBook(BookInfo* bookInfo)
{
    book = bookInfo;
    if (!book)
        return;
    showTitleOnOneLine(tileTitle(book->bookName()), BookDirections::of(*book).title);
    lf::showBookOnTile(this, ui->book_img_label, *book);
}

void BookListGridItemForm::showTitleOnOneLine(const QString& title, Qt::LayoutDirection direction)
{
    QLabel* label = ui->book_name_label;
    const int width = label->contentsRect().width() - kTitlePadding;
    QFont font = label->font();
    font.setPointSizeF(m_titlePointSize);
    while (QFontMetrics(font).horizontalAdvance(title) > width && font.pointSizeF() > kSmallestTitlePointSize)
        font.setPointSizeF(font.pointSizeF() - kTitlePointSizeStep);
    label->setFont(font);
    const QFontMetrics metrics(font);
    // The ".." of a cut title ends it in its own direction.
    label->setText(lf::isolated(
        metrics.horizontalAdvance(title) > width ? shortenToWidth(title, metrics, width) : title, direction));
}

void BookListGridItemForm::setBookImage(QPixmap& book_image)
{
    BookCover::showImage(ui->book_img_label, book_image);
}

void BookListGridItemForm::loadImage(QByteArray byte_array)
{
    BookCover::showImageData(ui->book_img_label, byte_array);
    emit loadImageFinished();
}

void BookListGridItemForm::setBookTitle(QString& book_title)
{
    ui->book_name_label->setText(book_title);
}

QPixmap BookListGridItemForm::getBookImage()
{
    BookCover::showPendingNow(ui->book_img_label);
    return ui->book_img_label->pixmap(Qt::ReturnByValue);
}

void BookListGridItemForm::hoverEvent()
{
    setStyleSheet(hovered ? QStringLiteral("background-color:transparent;")
                          : QStringLiteral("background-color: rgba(0,255,0,50);"));
}

bool BookListGridItemForm::event(QEvent* event)
{
    if (event->type() == QEvent::Enter) {
        hovered = true;
        hoverEvent();
    } else if (event->type() == QEvent::Leave) {
        hovered = false;
        hoverEvent();
    } else if (event->type() == QEvent::ToolTip && parentWidget() && !toolTip().isEmpty()) {
        // Shown on behalf of the list: as the tile's own, the tooltip would take
        // the tile's hover style sheet and come out transparent (black where
        // windows cannot be translucent).
        const auto* help = static_cast<QHelpEvent*>(event);
        QToolTip::showText(help->globalPos(), toolTip(), parentWidget(), geometry());
        return true;
    }
    return QWidget::event(event);
}
