#pragma once

#include "epub/epubparser.h"
#include "import/unzipthread.h"

#include <QCoreApplication>
#include <QList>
#include <QString>

// Why a book was not added to the bookcase, and the texts that tell the user.
// The library window shows them in its message dialog.
class ImportRefusal
{
    Q_DECLARE_TR_FUNCTIONS(ImportRefusal)

public:
    enum Reason {
        Unreadable, // the path names no readable file
        UnusableName, // the book name is empty or one of the data directory's own
        LibraryNotWritable, // no folder for the import in the data directory
        NotAnArchive,
        SplitArchive,
        UnsupportedCompression,
        TooManyFiles,
        TooLarge,
        CompressionBomb,
        NotEnoughSpace,
        Damaged,
        NotWritten,
        NotEpub,
        PackageOutside,
        NoPages, // no package document, or a package without a spine
        TooManyItems,
        NotMovedIn, // the extracted book could not take the place of its folder
    };

    // Neither for a completed nor for an interrupted extraction.
    static Reason ofExtraction(ExtractionResult result);
    // Not for EpubParser::Refusal::None.
    static Reason ofParse(EpubParser::Refusal refusal);

    // A file left out of an import and why.
    struct Refused
    {
        QString name;
        Reason reason;
    };

    static QString title(const QString& bookName);
    static QString message(Reason reason);

    // The one message of a batch of imports: the title and the text for the
    // files it left out, each name set apart so that it cannot reorder the
    // text. One file keeps the single refusal's texts; more are listed one per
    // line, up to kMaxListed and a count of the rest, which the log names.
    static constexpr int kMaxListed = 10;
    static QString title(const QList<Refused>& refused);
    static QString message(const QList<Refused>& refused);
};
