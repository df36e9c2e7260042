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
    // Local time, made on each call from the stored instant; invalid when none was given.
    QDateTime addTime() const;
    // The same instant in milliseconds since the epoch, 0 when none was given.
    qint64 addMSecs() const { return add_msecs; }

    // A record as the bookcase file stores it: the add time in milliseconds
    // since the epoch, taken without a time-zone conversion.
    static BookInfo fromStored(
        QString file_name, QString book_name, QString author, qint64 book_size, QString cover_url, qint64 add_msecs);

    static int maxTextLength();

private:
    QString file_name;
    QString book_name;
    QString author_;
    qint64 book_size;
    QString cover_url;
    // An instant rather than a QDateTime: converting local times costs a
    // time-zone lookup each, which a bookcase of 100,000 books cannot afford.
    qint64 add_msecs = 0;
    bool has_add_time = false;
};
