#pragma once

#include <QString>
#include <QThread>

// Extracts one EPUB archive into its book folder on a worker thread. Reports
// only its end through finished(); completed() then tells whether every entry
// was written. Owned by the library window, run once.
class UnzipThread : public QThread
{
    Q_OBJECT

public:
    UnzipThread(QString archivePath, QString bookDir, QObject* parent = nullptr);

    // True when the whole archive was extracted; read after finished().
    bool completed() const;

    // The extraction routine itself, usable without a thread. Entries that would
    // land outside bookDir, or whose names are too long, are skipped. Returns
    // true when the end of the archive was reached without an error.
    static bool extractArchive(const QString& archivePath, const QString& bookDir);

protected:
    void run() override;

private:
    const QString archivePath;
    const QString bookDir;
    bool m_completed = false;
};
