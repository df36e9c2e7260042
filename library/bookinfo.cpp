#include "library/bookinfo.h"

#include <utility>

BookInfo::BookInfo(QString file_name, QString book_name, QString author, qint64 book_size, QString cover_url,
                   QDateTime add_time)
    : file_name(std::move(file_name))
    , book_name(book_name.isEmpty() ? this->file_name : std::move(book_name))
    , author_(std::move(author))
    , book_size(book_size)
    , cover_url(std::move(cover_url))
    , add_time(std::move(add_time))
{
}
