#pragma once

#include <QSharedMemory>

// The single-instance lock: a named shared-memory segment of 1024 bytes.
// Whoever creates the segment is the first instance. Lives for the process.
class InstanceLock final
{
public:
    InstanceLock();
    Q_DISABLE_COPY_MOVE(InstanceLock)

    // The key: "Lumenfolio Converter", the version and the organisation domain.
    static QString key();

    // Tries to create the segment; true makes this process the first instance.
    bool tryAcquire();

private:
    void reclaimAbandonedSegment();

    QSharedMemory m_memory;
};
