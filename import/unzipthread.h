#pragma once

#include <QString>
#include <QThread>

#include <functional>

// What an archive may expand to. An archive over any limit is refused before
// anything is written.
struct ExtractionLimits
{
    static constexpr qint64 kDefaultMaxTotalBytes = qint64(4) << 30;
    static constexpr int kDefaultMaxEntries = 100000;
    static constexpr qint64 kDefaultFreeSpaceMargin = qint64(64) << 20;

    // Sum of the uncompressed sizes the archive declares.
    qint64 maxTotalBytes = kDefaultMaxTotalBytes;
    int maxEntries = kDefaultMaxEntries;
    // Free bytes of the destination's file system; negative: ask the file system.
    qint64 freeBytes = -1;
    // Kept free on that file system for the bookcase and the reader's files.
    qint64 freeSpaceMargin = kDefaultFreeSpaceMargin;
};

// Extracts one EPUB archive into its book folder on a worker thread. Reports
// only its end through finished(); completed() then tells whether every entry
// was written. Stops at its next chunk once interruption is requested. Owned
// by the library window, run once.
class UnzipThread : public QThread
{
    Q_OBJECT

public:
    UnzipThread(QString archivePath, QString bookDir, QObject* parent = nullptr);

    // Set before start().
    void setLimits(const ExtractionLimits& limits);
    // True when the whole archive was extracted; read after finished().
    bool completed() const;

    // The extraction routine itself, usable without a thread. Entries that would
    // land outside bookDir, or whose names are too long, are skipped. Returns
    // true when the end of the archive was reached without an error; false when
    // the archive is refused, broken or `interrupted` answers true.
    static bool extractArchive(const QString& archivePath, const QString& bookDir, const ExtractionLimits& limits = {},
        const std::function<bool()>& interrupted = {});

protected:
    void run() override;

private:
    const QString archivePath;
    const QString bookDir;
    ExtractionLimits m_limits;
    bool m_completed = false;
};
