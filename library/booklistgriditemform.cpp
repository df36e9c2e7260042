#include "library/booklistgriditemform.h"

#include "library/bookcover.h"
#include "library/bookinfo.h"

#include "ui_booklistgriditemform.h"

#include <QEvent>
#include <QGraphicsDropShadowEffect>

namespace {
constexpr int kTitleLength = 8;

QString tileTitle(const QString& title)
{
    if (title.size() <= kTitleLength)
        return title;
    // Never split a character that takes two UTF-16 units.
    const int cut = title.at(kTitleLength - 1).isHighSurrogate() ? kTitleLength - 1 : kTitleLength;
    return title.left(cut) + QStringLiteral("..");
}

void addShadow(QWidget* widget)
{
    auto* shadow = new QGraphicsDropShadowEffect(widget);
    shadow->setColor(QColor(63, 63, 63, 100));
    shadow->setBlurRadius(10);
    shadow->setOffset(1, 1);
    widget->setGraphicsEffect(shadow);
}
} // namespace

BookListGridItemForm::BookListGridItemForm(QWidget* parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::BookListGridItemForm>())
{
    ui->setupUi(this);
    addShadow(ui->book_img_label);
    addShadow(ui->book_name_label);
}

BookListGridItemForm::~BookListGridItemForm() = default;

void BookListGridItemForm::setBook(BookInfo* bookInfo)
{
    book = bookInfo;
    if (!book)
        return;
    ui->book_name_label->setText(tileTitle(book->bookName()));
    BookCover::showWhenPainted(ui->book_img_label, *book);
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
    }
    return QWidget::event(event);
}
