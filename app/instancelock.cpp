#include "app/instancelock.h"

#include "app/appconstants.h"

#include <QDebug>

InstanceLock::InstanceLock()
    : m_memory(key())
{
}

QString InstanceLock::key()
{
    return lf::kInstanceLockPrefix + lf::kVersion + lf::kOrganizationDomain;
}

bool InstanceLock::tryAcquire()
{
    reclaimAbandonedSegment();
    return m_memory.create(lf::kInstanceLockSize, QSharedMemory::ReadWrite);
}

// On Unix a segment outlives a crashed owner. Attaching and detaching again
// removes it when nobody else is attached; a live owner keeps it.
void InstanceLock::reclaimAbandonedSegment()
{
    if (m_memory.attach(QSharedMemory::ReadOnly)) {
        m_memory.detach();
        qDebug() << "instance lock: checked an existing segment";
    }
}
