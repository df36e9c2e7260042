#pragma once

#include <QString>

// The single-instance lock: an exclusive advisory lock on the data directory
// itself. The system drops it when its holder ends in any way, so a crashed
// instance never blocks the next start, whatever was cleaned up since. The
// directory (not a file in it) is locked because the bookcase load clears the
// directory's content. Lives for the process; GUI thread only.
class InstanceLock final
{
public:
    InstanceLock();
    ~InstanceLock();
    Q_DISABLE_COPY_MOVE(InstanceLock)

    // Creates the data directory if needed and tries to lock it without
    // waiting. True makes this process the first instance. False means another
    // process holds it, or, when hasFailed(), that the lock could not be tried.
    bool tryAcquire();

    bool hasFailed() const { return !m_error.isEmpty(); }
    QString errorString() const { return m_error; }

private:
    bool openDirectory();
    bool stillLocksTheDirectory() const;
    void closeDirectory();

    int m_fd = -1;
    bool m_held = false;
    QString m_error;
};
