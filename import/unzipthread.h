#pragma once

#include <QString>
#include <QThread>

#include <functional>

// How an extraction ended. Every outcome but Completed leaves the book out;
// the library window tells the user which one it was.
enum class ExtractionResult {
    Completed,
    Interrupted,
    NotAnArchive, // no ZIP archive, or one without entries
    SplitArchive, // one part of an archive spread over several files
    UnsupportedEntries, // compressed other than stored or deflated, or encrypted
    TooManyEntries,
    TooLarge, // expands beyond the size cap
    CompressionBomb, // expands far beyond the archive's own size
    NotEnoughSpace, // would leave too little free space behind
    Damaged, // read, inflate or checksum errors, or an entry longer than it says
    WriteFailed, // a file could not be written below the book folder
};

// What an archive may expand to. An archive over any limit is refused before
// anything is written; the expansion is counted again while it is written.
struct ExtractionLimits
{
    static constexpr qint64 kDefaultMaxTotalBytes = qint64(4) << 30;
    static constexpr int kDefaultMaxEntries = 100000;
    static constexpr qint64 kDefaultFreeSpaceMargin = qint64(64) << 20;
    // Past this many expanded bytes an archive may expand at most
    // kMaxExpansionRatio times its compressed size.
    static constexpr qint64 kBombThresholdBytes = qint64(100) << 20;
    static constexpr qint64 kMaxExpansionRatio = 100;

    // Sum of the uncompressed sizes the archive declares.
    qint64 maxTotalBytes = kDefaultMaxTotalBytes;
    int maxEntries = kDefaultMaxEntries;
    // Free bytes of the destination's file system; negative: ask the file system.
    qint64 freeBytes = -1;
    // Kept free for the bookcase and the reader's files; on a small disk a
    // quarter of the free space is kept instead, if that is less.
    qint64 freeSpaceMargin = kDefaultFreeSpaceMargin;

    // Whether `expandedBytes` fit into `freeBytes` (negative: unknown) with the
    // margin left over.
    static bool fitsFreeSpace(qint64 freeBytes, qint64 expandedBytes, qint64 margin = kDefaultFreeSpaceMargin);
    // Whether `expandedBytes` out of `compressedBytes` is more expansion than a book has.
    static bool isCompressionBomb(qint64 expandedBytes, qint64 compressedBytes);
};

// Extracts one EPUB archive into its book folder on a worker thread. Reports
// only its end through finished(); result() then tells how it ended. Stops at
// its next chunk once interruption is requested. Owned by the BookImporter,
// run once.
class UnzipThread : public QThread
{
    Q_OBJECT

public:
    UnzipThread(QString archivePath, QString bookDir, QObject* parent = nullptr);

    // Set before start().
    void setLimits(const ExtractionLimits& limits);
    // Read after finished().
    ExtractionResult result() const;
    // True when the whole archive was extracted.
    bool completed() const;

    // The extraction routine itself, usable without a thread. Entries that would
    // land outside bookDir, or whose names are too long, are skipped. Completed
    // when the end of the archive was reached without an error.
    static ExtractionResult extract(const QString& archivePath, const QString& bookDir,
        const ExtractionLimits& limits = {}, const std::function<bool()>& interrupted = {});
    // The same, true when completed.
    static bool extractArchive(const QString& archivePath, const QString& bookDir, const ExtractionLimits& limits = {},
        const std::function<bool()>& interrupted = {});

protected:
    void run() override;

private:
    const QString archivePath;
    const QString bookDir;
    ExtractionLimits m_limits;
    ExtractionResult m_result = ExtractionResult::Interrupted;
};
