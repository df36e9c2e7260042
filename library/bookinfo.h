#pragma once

#include <QDateTime>
#include <QString>

// One book of the bookcase. Built once with all its values and never changed;
// the book name is the record's key and the name of the book's folder.
class BookInfo
{
public:
    // An empty title makes the book name the title. Title and author are cut
    // to maxTextLength() characters; an absurdly long cover path is dropped.
    BookInfo(
        QString file_name, QString book_name, QString author, qint64 book_size, QString cover_url, QDateTime add_time);

    QString fileName() const { return file_name; }
    QString bookName() const { return book_name; }
    QString author() const { return author_; }
    qint64 bookSize() const { return book_size; }
    QString coverUrl() const { return cover_url; }
    QDateTime addTime() const { return add_time; }

    static int maxTextLength();

private:
    QString file_name;
    QString book_name;
    QString author_;
    qint64 book_size;
    QString cover_url;
    QDateTime add_time;
};
