#pragma once

#include <QByteArray>
#include <QPixmap>
#include <QWidget>

#include <memory>

class BookInfo;

namespace Ui {
class BookListVerticalItemForm;
}

// A row of the book list: cover, title, author, size and the button that opens
// the book; the full title and author in its tooltip.
class BookListVerticalItemForm : public QWidget
{
    Q_OBJECT

public:
    explicit BookListVerticalItemForm(QWidget* parent = nullptr);
    ~BookListVerticalItemForm() override;

signals:
    void loadImageFinished();
    void detailViewButtonClicked(QString);

public slots:
    void setBook(BookInfo* bookInfo);
    void setBookTitle(QString& book_title);
    void setBookImage(QPixmap& book_image);
    void loadImage(QByteArray byte_array);

private slots:
    void setShadowEffect();
    void detailViewButtonPressedEvent();

private:
    std::unique_ptr<Ui::BookListVerticalItemForm> ui;
    BookInfo* book = nullptr;
    // Kept apart from the record, which the store may release before this row goes.
    QString m_bookName;
};
