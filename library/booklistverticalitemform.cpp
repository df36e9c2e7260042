#include "library/booklistverticalitemform.h"

#include "base/displaytext.h"
#include "library/bookcover.h"
#include "library/bookdirections.h"
#include "library/bookinfo.h"
#include "library/booktile.h"
#include "ui_booklistverticalitemform.h"

BookListVerticalItemForm::BookListVerticalItemForm(QWidget* parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::BookListVerticalItemForm>())
{
    ui->setupUi(this);
    // The open button's icon is set here rather than in the form: one decoded image
    // shared by every row instead of one decode and copy per row.
    static const QIcon openIcon(QStringLiteral(":/icon/Icon/btn_viewdetail_120x120.png"));
    ui->detail_view_button->setIcon(openIcon);
    setShadowEffect();
    connect(ui->detail_view_button, SIGNAL(clicked()), this, SLOT(detailViewButtonPressedEvent()));
}

BookListVerticalItemForm::~BookListVerticalItemForm() = default;

void BookListVerticalItemForm::setBook(BookInfo* bookInfo)
{
    book = bookInfo;
    if (!book)
        return;
    m_bookName = book->fileName();
    const BookDirections directions = BookDirections::of(*book);
    ui->chapter_label->setText(lf::isolated(book->bookName(), directions.title));
    ui->book_authors_label->setText(lf::isolated(book->author(), directions.author));
    const qint64 megabytes = book->bookSize() / 1024 / 1024;
    ui->book_info_label->setText(tr("Epub Size : %1MB").arg(megabytes));
    // A long title or author is cut by the row; the tooltip has them whole.
    lf::showBookOnTile(this, ui->book_img_label, *book);
}

void BookListVerticalItemForm::setBookTitle(QString& book_title)
{
    ui->chapter_label->setText(book_title);
}

void BookListVerticalItemForm::setBookImage(QPixmap& book_image)
{
    BookCover::showImage(ui->book_img_label, book_image);
}

void BookListVerticalItemForm::loadImage(QByteArray byte_array)
{
    BookCover::showImageData(ui->book_img_label, byte_array);
    emit loadImageFinished();
}

void BookListVerticalItemForm::setShadowEffect()
{
    lf::addTileShadow(ui->book_img_label, 5, 3);
    lf::addTileShadow(ui->frame, 10, 1);
}

void BookListVerticalItemForm::detailViewButtonPressedEvent()
{
    emit detailViewButtonClicked(m_bookName);
}
