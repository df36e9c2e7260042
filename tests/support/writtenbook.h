#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>

// Small EPUB 3 books written on the spot into a book folder, for tests of
// what a package declares and how the reader shows it.
namespace lf::test {

// One spine document of a written book.
struct WrittenPage
{
    QByteArray document;
    QString properties = {}; // the itemref's properties
    QString fileName = {}; // below "EPUB/"; "p<position>.xhtml" when empty
    QString mediaType = QStringLiteral("application/xhtml+xml");
};

// Writes the book folder `bookDir` afresh: the mimetype and container files,
// a package whose metadata holds a title and `metadata` (rendition meta
// elements, say), whose spine carries `spineAttributes` and one itemref per
// page, and `files` (book-relative path to content) beside the pages.
bool writeEpub3Book(const QString& bookDir, const QList<WrittenPage>& pages, const QString& metadata = {},
    const QString& spineAttributes = {}, const QMap<QString, QByteArray>& files = {});

// An XHTML document with `body` in its body and `head` in its head.
QByteArray xhtmlPage(const QString& body, const QString& head = {});

} // namespace lf::test
