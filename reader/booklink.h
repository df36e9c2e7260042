#pragma once

#include <QString>
#include <QUrl>

// Where a link of a book page leads: inside the book or out of it. Pages name
// the book by the address of its top folder (its root); everything the book
// holds lies below that address, whatever scheme serves it.
namespace lf::BookLink {

// The root address of the book in `bookFolder`: the top of its own address.
QUrl rootOf(const QString& bookFolder);

// True when `link` names something below `root`: the same scheme, host and
// port, and a path that stays below the root's once "." and ".." are
// resolved. Every other address (the web, mail, another folder, a root that
// is empty) leaves the book.
bool isInside(const QUrl& link, const QUrl& root);

} // namespace lf::BookLink
