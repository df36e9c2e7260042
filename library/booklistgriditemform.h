#pragma once

#include <QByteArray>
#include <QPixmap>
#include <QWidget>

#include <memory>

class BookInfo;

namespace Ui {
class BookListGridItemForm;
}

// A cover tile of the book list: the cover and the title cut to eight
// characters on one line, the full title and author in its tooltip; tinted
// green once the mouse has passed over it.
class BookListGridItemForm : public QWidget
{
    Q_OBJECT

public:
    explicit BookListGridItemForm(QWidget* parent = nullptr);
    ~BookListGridItemForm() override;

signals:
    void loadImageFinished();

public slots:
    void setBook(BookInfo* bookInfo);
    void setBookImage(QPixmap& book_image);
    void loadImage(QByteArray byte_array);
    void setBookTitle(QString& book_title);
    QPixmap getBookImage();

private slots:
    void hoverEvent();

protected:
    bool event(QEvent* event) override;

private:
    // Sets the cut title, smaller where its script is too wide for the label,
    // running in `direction`.
    void showTitleOnOneLine(const QString& title, Qt::LayoutDirection direction);

    std::unique_ptr<Ui::BookListGridItemForm> ui;
    qreal m_titlePointSize = 0;
    bool hovered = false;
    BookInfo* book = nullptr;
};
