#include "library/bookinfo.h"

#include <utility>

namespace {
// A title or author longer than this is cut: a hostile book could otherwise
// carry hundreds of megabytes into memory and into the bookcase file.
constexpr int kMaxTextLength = 2000;
// No usable path inside a book folder is longer.
constexpr int kMaxCoverUrlLength = 4096;

QString bounded(QString text)
{
    if (text.size() <= kMaxTextLength)
        return text;
    // Never split a character that takes two UTF-16 units.
    const int cut = text.at(kMaxTextLength - 1).isHighSurrogate() ? kMaxTextLength - 1 : kMaxTextLength;
    text.truncate(cut);
    text.squeeze();
    return text;
}
} // namespace

BookInfo::BookInfo(
    QString file_name, QString book_name, QString author, qint64 book_size, QString cover_url, QDateTime add_time)
    : file_name(std::move(file_name))
    , book_name(book_name.isEmpty() ? this->file_name : bounded(std::move(book_name)))
    , author_(bounded(std::move(author)))
    , book_size(book_size)
    , cover_url(cover_url.size() <= kMaxCoverUrlLength ? std::move(cover_url) : QString())
    , add_msecs(add_time.isValid() ? add_time.toMSecsSinceEpoch() : 0)
    , has_add_time(add_time.isValid())
{ }

BookInfo BookInfo::fromStored(
    QString file_name, QString book_name, QString author, qint64 book_size, QString cover_url, qint64 add_msecs)
{
    BookInfo record(
        std::move(file_name), std::move(book_name), std::move(author), book_size, std::move(cover_url), QDateTime());
    record.add_msecs = add_msecs;
    record.has_add_time = true;
    return record;
}

QDateTime BookInfo::addTime() const
{
    return has_add_time ? QDateTime::fromMSecsSinceEpoch(add_msecs) : QDateTime();
}

int BookInfo::maxTextLength()
{
    return kMaxTextLength;
}
