#pragma once

#include "library/bookinfo.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QObject>
#include <QSharedPointer>
#include <QStringList>
#include <QVector>

// The bookcase: every record by book name plus three sorted indexes (newest,
// title, author) the list views draw from. One process-wide instance, GUI
// thread only; every add or remove is announced with changedBooks().
class BookListControl : public QObject
{
    Q_OBJECT

public:
    explicit BookListControl(QObject* parent = nullptr);

    // The one process-wide store; it has no parent and lives until the process ends.
    static BookListControl* instance();

    // Copies the record in unless its book name is present; emits changedBooks() in both cases.
    bool addBook(const BookInfo& record);
    // Copies in every record whose book name is not present yet, as addBook()
    // one after the other would, but builds the indexes in one sorted pass;
    // emits changedBooks() once. Returns how many records were added.
    int addBooks(const QVector<BookInfo>& records);
    // Emits changedBooks() in both cases.
    bool removeBook(const QString& name);
    // Puts the record in place of the one of its book name, or adds it, with one
    // changedBooks(); true when an old record made way (its pointer is released).
    bool replaceBook(const BookInfo& record);
    // nullptr when absent; the pointer stays valid until that book is removed.
    BookInfo* bookInfo(const QString& name) const;
    QList<BookInfo> allBooks() const;
    // Order modes: 0 newest first, 1 by title, 2 by author; any other mode gives an empty list.
    QStringList sortedNames(int order_mode) const;
    // Books whose title or author contains `text`, ignoring case, in the order of that mode's index.
    QStringList searchNames(const QString& text, int order_mode) const;
    // Drops every record without a signal.
    void clear();

signals:
    void changedBooks();

private:
    const QMap<QString, QString>* indexFor(int order_mode) const;
    // Takes the record and its index entries out, without a signal.
    bool dropRecord(const QString& name);

    QHash<QString, QSharedPointer<BookInfo>> book_table;
    QMap<QString, QString> title_index;
    QMap<QString, QString> author_index;
    QMap<QString, QString> time_index;
};
