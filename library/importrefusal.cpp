#include "library/importrefusal.h"

#include "base/displaytext.h"

#include <QLocale>

namespace {
QString count(qint64 number)
{
    return QLocale(QLocale::English).toString(number);
}
} // namespace

ImportRefusal::Reason ImportRefusal::ofExtraction(ExtractionResult result)
{
    switch (result) {
    case ExtractionResult::NotAnArchive:
        return NotAnArchive;
    case ExtractionResult::SplitArchive:
        return SplitArchive;
    case ExtractionResult::UnsupportedEntries:
        return UnsupportedCompression;
    case ExtractionResult::TooManyEntries:
        return TooManyFiles;
    case ExtractionResult::TooLarge:
        return TooLarge;
    case ExtractionResult::CompressionBomb:
        return CompressionBomb;
    case ExtractionResult::NotEnoughSpace:
        return NotEnoughSpace;
    case ExtractionResult::WriteFailed:
        return NotWritten;
    case ExtractionResult::Damaged:
    case ExtractionResult::Completed:
    case ExtractionResult::Interrupted:
        break;
    }
    return Damaged;
}

ImportRefusal::Reason ImportRefusal::ofParse(EpubParser::Refusal refusal)
{
    switch (refusal) {
    case EpubParser::Refusal::PackageOutside:
        return PackageOutside;
    case EpubParser::Refusal::TooManyItems:
        return TooManyItems;
    case EpubParser::Refusal::None:
    case EpubParser::Refusal::NotEpub:
        break;
    }
    return NotEpub;
}

QString ImportRefusal::title(const QString& bookName)
{
    return tr("\"%1\" not added").arg(lf::isolated(bookName));
}

QString ImportRefusal::title(const QList<Refused>& refused)
{
    if (refused.size() == 1)
        return title(refused.first().name);
    return tr("%n files not added", nullptr, refused.size());
}

QString ImportRefusal::message(const QList<Refused>& refused)
{
    if (refused.size() == 1)
        return message(refused.first().reason);
    QStringList lines;
    for (const Refused& file : refused.mid(0, kMaxListed))
        lines << tr("\"%1\": %2")
                     .arg(lf::isolated(file.name), message(file.reason).replace(QLatin1Char('\n'), QLatin1Char(' ')));
    if (refused.size() > kMaxListed)
        lines << tr("and %n more", nullptr, refused.size() - kMaxListed);
    return lines.join(QLatin1Char('\n'));
}

// At most three short lines each: the dialog's message does not wrap.
QString ImportRefusal::message(Reason reason)
{
    switch (reason) {
    case Unreadable:
        return tr("The file cannot be read.");
    case UnusableName:
        return tr("Its file name cannot name a book here.\nRename the file and add it again.");
    case LibraryNotWritable:
        return tr("The library folder cannot be written to.");
    case NotAnArchive:
        return tr("The file is not an EPUB book:\nit is no ZIP archive, or an empty one.");
    case SplitArchive:
        return tr("The file is one part of an archive\nsplit over several files.\nJoin the parts into one file first.");
    case UnsupportedCompression:
        return tr("The book is compressed or encrypted\nin a way this program cannot read.");
    case TooManyFiles:
        return tr("The book holds more than %1 files.").arg(count(ExtractionLimits::kDefaultMaxEntries));
    case TooLarge:
        return tr("The book would unpack to more than %1 GB.")
            .arg(count(ExtractionLimits::kDefaultMaxTotalBytes >> 30));
    case CompressionBomb:
        return tr("The book would unpack to more than\n%1 times its own size.")
            .arg(count(ExtractionLimits::kMaxExpansionRatio));
    case NotEnoughSpace:
        return tr("There is not enough free disk space\nto unpack the book.");
    case Damaged:
        return tr("The book's archive is damaged.");
    case NotWritten:
        return tr("The book could not be written to the disk.");
    case NotEpub:
        return tr("The file is not an EPUB book:\nit has no EPUB mimetype file.");
    case PackageOutside:
        return tr("The book names a package document\noutside the book.");
    case NoPages:
        return tr("The book has no package document\nor no pages to show.");
    case TooManyItems:
        return tr("The book has more than %1 pages\nor more than %2 files in its package.")
            .arg(count(EpubParser::kMaxSpineItems), count(EpubParser::kMaxManifestItems));
    case NotMovedIn:
        return tr("The book could not be moved\ninto the library folder.");
    }
    return {};
}
