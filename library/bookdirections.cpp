#include "library/bookdirections.h"

#include "base/bookname.h"
#include "epub/epubparser.h"
#include "library/bookcasefile.h"
#include "library/bookinfo.h"

#include <QHash>

namespace {
struct KnownDirections
{
    qint64 addMSecs; // a book imported again is read again
    BookDirections directions;
};
} // namespace

BookDirections BookDirections::of(const BookInfo& book)
{
    static QHash<QString, KnownDirections> known;
    const auto found = known.constFind(book.fileName());
    if (found != known.constEnd() && found->addMSecs == book.addMSecs())
        return found->directions;
    const EpubMetadata metadata = lf::isUsableBookName(book.fileName())
        ? EpubParser::readMetadata(BookcaseFile::bookFolder(book.fileName()))
        : EpubMetadata();
    BookDirections directions;
    // A book without a title shows its file name, which the book does not write.
    if (!metadata.title.isEmpty())
        directions.title = metadata.titleDirection;
    directions.author = metadata.creatorDirection;
    known.insert(book.fileName(), { book.addMSecs(), directions });
    return directions;
}
