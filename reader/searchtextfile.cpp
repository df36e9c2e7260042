#include "reader/searchtextfile.h"

#include <QIODevice>
#include <QList>

namespace {
// Another header (another format, the text of another extraction) means the file is made again.
const QByteArray kHeader = QByteArrayLiteral("lf-page-text 1\n");
constexpr int kMaxEntryLine = 128;

struct EntryLine
{
    int page = -1;
    bool engineOnly = false;
    qint64 textBytes = -1;
    DocumentStamp stamp;
};

bool parseEntryLine(const QByteArray& line, EntryLine* entry)
{
    if (!line.endsWith('\n'))
        return false; // longer than any line the program writes, or cut off
    const QList<QByteArray> fields = line.chopped(1).split(' ');
    if (fields.size() != 5 || (fields.at(1) != "t" && fields.at(1) != "e"))
        return false;
    bool ok[4] = {};
    entry->page = fields.at(0).toInt(&ok[0]);
    entry->engineOnly = fields.at(1) == "e";
    entry->textBytes = fields.at(2).toLongLong(&ok[1]);
    entry->stamp = { fields.at(3).toLongLong(&ok[2]), fields.at(4).toLongLong(&ok[3]) };
    return ok[0] && ok[1] && ok[2] && ok[3] && entry->textBytes >= 0;
}
} // namespace

QByteArray lf::SearchTextFile::header()
{
    return kHeader;
}

QByteArray lf::SearchTextFile::entryBytes(const Entry& entry)
{
    return QByteArray::number(entry.page) + (entry.engineOnly ? " e " : " t ") + QByteArray::number(entry.text.size())
        + ' ' + QByteArray::number(entry.stamp.size) + ' ' + QByteArray::number(entry.stamp.modified) + '\n'
        + entry.text;
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
        if (line.textBytes > size - file->pos())
            return entries;
        // The text of an entry for another file than the document now there is never read.
        if (!line.stamp.isValid() || line.stamp != stampOfPage(line.page))
            return entries;
        const QByteArray text = file->read(line.textBytes);
        if (text.size() != line.textBytes)
            return entries;
        entries.append({ line.page, line.stamp, text, line.engineOnly });
        lastPage = line.page;
    }
    return entries;
}
