#pragma once

#include "epub/epubdata.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QPair>
#include <QString>
#include <QStringList>

#include <memory>

// Books for the contents and search panel tests: corpus books extracted into a
// temporary folder, and small books written on the spot.
namespace lf::test {

struct OpenedBook
{
    QString bookDir; // without a trailing "/"
    std::unique_ptr<EpubData> book;
};

// Extracts the corpus book `fileName` below `folder` and parses it; no book on failure.
OpenedBook extractCorpusBook(const QString& fileName, const QString& folder);

// One spine document of a written book: its file name under "OPS/" and its bytes.
struct WrittenDocument
{
    QString fileName;
    QByteArray bytes;
    bool image = false; // put straight into the spine
};

// Writes the documents to `bookDir`/OPS and returns the model a parser would
// give (no table of contents, no page list); `fixedLayout` makes it pre-paginated.
std::unique_ptr<EpubData> writeBook(
    const QString& bookDir, const QList<WrittenDocument>& documents, bool fixedLayout = false);

// Writes a whole book named `name` into the data directory, as the import
// leaves one: the documents under "OPS/" in spine order, with `files`
// (paths under "OPS/") beside them. Returns the name, or empty on failure.
QString installBook(
    const QString& name, const QList<WrittenDocument>& documents, const QMap<QString, QByteArray>& files = {});

// An XHTML document whose body is `body`; `head` is added to its head.
QByteArray xhtml(const QString& body, const QString& head = {});

// What the web engine alone answers: for each of `terms`, the spine positions
// whose document, loaded into a page set up as the search panel's, contains
// it; image pages count as empty. Each document is loaded once and every term
// is looked for from its start, as on a freshly loaded page.
QList<QList<int>> engineSearch(const EpubData& book, const QString& bookDir, const QStringList& terms);
QList<int> engineSearch(const EpubData& book, const QString& bookDir, const QString& term);

} // namespace lf::test
