#include "app/handoffpublication.h"

#include "app/handoff.h"
#include "app/handoffticket.h"
#include "base/atomicfile.h"
#include "base/datadirectory.h"

#include <QDebug>
#include <QFile>

namespace {
QByteArray contentOf(const QString& path)
{
    return lf::readOwnFile(path, 4096).value_or(QByteArray());
}
} // namespace

HandoffPublication::HandoffPublication(quint16 port, const QByteArray& token, QObject* parent)
    : QObject(parent)
    , m_portText(QByteArray::number(port))
    , m_ticket(HandoffTicket::forThisProcess(token).toBytes())
{
    connect(&m_watcher, SIGNAL(directoryChanged(QString)), this, SLOT(restoreChangedFiles()));
}

HandoffPublication::~HandoffPublication()
{
    if (contentOf(lf::handoffTicketPath()) == m_ticket)
        QFile::remove(lf::handoffTicketPath());
}

bool HandoffPublication::publish()
{
    if (!lf::ensureDataDirectory())
        return false;
    QFile::remove(lf::portFilePath());
    if (!writeTicket() || !lf::writePortFile(m_portText.toUShort()))
        return false;
    m_watcher.addPath(lf::dataDirectory());
    return true;
}

bool HandoffPublication::writeTicket()
{
    const QString path = lf::handoffTicketPath();
    // The writer makes every file owner-only, so the secret is never readable
    // by others. A directory that vanished is not made anew here: the lock is
    // on the old one.
    return lf::dataDirectoryIsOurs() && lf::writeFileAtomically(path, m_ticket);
}

void HandoffPublication::restoreChangedFiles()
{
    if (contentOf(lf::handoffTicketPath()) != m_ticket) {
        qDebug() << "hand-over ticket restored";
        writeTicket();
    }
    if (contentOf(lf::portFilePath()) != m_portText) {
        qDebug() << "port file restored";
        lf::writePortFile(m_portText.toUShort());
    }
}
