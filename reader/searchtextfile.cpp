#include "reader/searchtextfile.h"

#include <QIODevice>
#include <QList>

namespace {
// Another header (other folding rules, another format) means the file is made again.
const QByteArray kHeader = QByteArrayLiteral("lf-search-text 6\n");
constexpr int kMaxEntryLine = 128;

struct EntryLine
{
    int page = -1;
    bool complete = false;
    qint64 foldedBytes = -1;
    qint64 shownBytes = -1;
    DocumentStamp stamp;
};

bool parseEntryLine(const QByteArray& line, EntryLine* entry)
{
    if (!line.endsWith('\n'))
        return false; // longer than any line the program writes, or cut off
    const QList<QByteArray> fields = line.chopped(1).split(' ');
    if (fields.size() != 6 || (fields.at(1) != "c" && fields.at(1) != "p"))
        return false;
    bool ok[5] = {};
    entry->page = fields.at(0).toInt(&ok[0]);
    entry->complete = fields.at(1) == "c";
    entry->foldedBytes = fields.at(2).toLongLong(&ok[1]);
    entry->shownBytes = fields.at(3).toLongLong(&ok[2]);
    entry->stamp = { fields.at(4).toLongLong(&ok[3]), fields.at(5).toLongLong(&ok[4]) };
    return ok[0] && ok[1] && ok[2] && ok[3] && ok[4] && entry->foldedBytes >= 0 && entry->shownBytes >= 0;
}
} // namespace

QByteArray lf::SearchTextFile::header()
{
    return kHeader;
}

QByteArray lf::SearchTextFile::entryBytes(const Entry& entry)
{
    const QByteArray folded = entry.text.folded.toUtf8();
    const QByteArray shown = entry.text.shown.toUtf8();
    return QByteArray::number(entry.page) + (entry.text.complete ? " c " : " p ") + QByteArray::number(folded.size())
        + ' ' + QByteArray::number(shown.size()) + ' ' + QByteArray::number(entry.stamp.size) + ' '
        + QByteArray::number(entry.stamp.modified) + '\n' + folded + shown;
}

QVector<lf::SearchTextFile::Entry> lf::SearchTextFile::read(QIODevice* file, const StampOfPage& stampOfPage)
{
    QVector<Entry> entries;
    const qint64 size = file->size();
    if (size > kMaxFileSize || file->read(kHeader.size()) != kHeader)
        return entries;
    int lastPage = -1;
    while (!file->atEnd()) {
        EntryLine line;
        if (!parseEntryLine(file->readLine(kMaxEntryLine + 2), &line) || line.page <= lastPage)
            return entries;
        const qint64 left = size - file->pos();
        if (line.foldedBytes > left || line.shownBytes > left - line.foldedBytes)
            return entries;
        // The texts of an entry for another file than the document now there are never read.
        if (!line.stamp.isValid() || line.stamp != stampOfPage(line.page))
            return entries;
        const QByteArray folded = file->read(line.foldedBytes);
        const QByteArray shown = file->read(line.shownBytes);
        if (folded.size() != line.foldedBytes || shown.size() != line.shownBytes)
            return entries;
        entries.append({ line.page, line.stamp,
            SearchText::DocumentText { QString::fromUtf8(folded), line.complete, QString::fromUtf8(shown) } });
        lastPage = line.page;
    }
    return entries;
}
