#include "library/booklistcontrol.h"

#include <algorithm>

namespace {
QString titleKey(const BookInfo& record)
{
    return (record.bookName() + record.fileName()).toLower();
}

QString authorKey(const BookInfo& record)
{
    return (record.author() + record.fileName()).toLower();
}

// Milliseconds as decimal text, compared as text: a time of 0 sorts before every real one.
QString timeKey(const BookInfo& record)
{
    return (QString::number(record.addMSecs()) + record.fileName()).toLower();
}

void removeFirstWithValue(QMap<QString, QString>& index, const QString& name)
{
    for (auto it = index.begin(); it != index.end(); ++it) {
        if (it.value() == name) {
            index.erase(it);
            return;
        }
    }
}
} // namespace

BookListControl::BookListControl(QObject* parent)
    : QObject(parent)
{ }

BookListControl* BookListControl::instance()
{
    static BookListControl* const store = new BookListControl;
    return store;
}

bool BookListControl::addBook(const BookInfo& record)
{
    const QString name = record.fileName();
    const bool added = !book_table.contains(name);
    if (added) {
        book_table.insert(name, QSharedPointer<BookInfo>::create(record));
        title_index.insert(titleKey(record), name);
        author_index.insert(authorKey(record), name);
        time_index.insert(timeKey(record), name);
    }
    emit changedBooks();
    return added;
}

int BookListControl::addBooks(const QVector<BookInfo>& records)
{
    using Entry = std::pair<QString, QString>; // key, book name
    QVector<Entry> titles;
    QVector<Entry> authors;
    QVector<Entry> times;
    for (QVector<Entry>* entries : { &titles, &authors, &times })
        entries->reserve(records.size());
    book_table.reserve(book_table.size() + records.size());
    for (const BookInfo& record : records) {
        const QString name = record.fileName();
        if (book_table.contains(name))
            continue;
        book_table.insert(name, QSharedPointer<BookInfo>::create(record));
        titles.append({ titleKey(record), name });
        authors.append({ authorKey(record), name });
        times.append({ timeKey(record), name });
    }
    // Keys in ascending order go in at the end of the index without a search;
    // of equal keys the later record wins, as with addBook().
    const auto fill = [](QMap<QString, QString>& index, QVector<Entry>& entries) {
        std::stable_sort(
            entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.first < b.first; });
        for (const Entry& entry : qAsConst(entries))
            index.insert(index.constEnd(), entry.first, entry.second);
    };
    fill(title_index, titles);
    fill(author_index, authors);
    fill(time_index, times);
    emit changedBooks();
    return times.size();
}

bool BookListControl::removeBook(const QString& name)
{
    const bool present = dropRecord(name);
    emit changedBooks();
    return present;
}

bool BookListControl::replaceBook(const BookInfo& record)
{
    const bool replaced = dropRecord(record.fileName());
    addBook(record);
    return replaced;
}

bool BookListControl::dropRecord(const QString& name)
{
    if (book_table.remove(name) == 0)
        return false;
    removeFirstWithValue(title_index, name);
    removeFirstWithValue(author_index, name);
    removeFirstWithValue(time_index, name);
    return true;
}

BookInfo* BookListControl::bookInfo(const QString& name) const
{
    return book_table.value(name).data();
}

QList<BookInfo> BookListControl::allBooks() const
{
    QList<BookInfo> books;
    books.reserve(book_table.size());
    for (const QSharedPointer<BookInfo>& record : book_table)
        books.append(*record);
    return books;
}

const QMap<QString, QString>* BookListControl::indexFor(int order_mode) const
{
    switch (order_mode) {
    case 0:
        return &time_index;
    case 1:
        return &title_index;
    case 2:
        return &author_index;
    default:
        return nullptr;
    }
}

QStringList BookListControl::sortedNames(int order_mode) const
{
    const QMap<QString, QString>* index = indexFor(order_mode);
    if (!index)
        return {};
    QStringList names = index->values();
    if (order_mode == 0)
        std::reverse(names.begin(), names.end());
    return names;
}

QStringList BookListControl::searchNames(const QString& text, int order_mode) const
{
    const QMap<QString, QString>* index = indexFor(order_mode);
    if (!index)
        return {};
    QStringList names;
    for (const QString& name : *index) {
        const BookInfo* record = book_table.value(name).data();
        if (record
            && (record->bookName().contains(text, Qt::CaseInsensitive)
                || record->author().contains(text, Qt::CaseInsensitive)))
            names.append(name);
    }
    return names;
}

void BookListControl::clear()
{
    book_table.clear();
    title_index.clear();
    author_index.clear();
    time_index.clear();
}
