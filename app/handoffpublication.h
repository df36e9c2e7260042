#pragma once

#include <QByteArray>
#include <QFileSystemWatcher>
#include <QObject>

// The first instance's hand-over address in its data directory: the ticket
// file ("single_token", owner-only) and the port file. Puts either back when
// something removes or changes it (the bookcase load clears the directory,
// clean-ups remove old files) and takes the ticket back when it ends, so no
// later start hands over to an instance that is going away. A child of the
// hand-over socket; GUI thread.
class HandoffPublication final : public QObject
{
    Q_OBJECT

public:
    HandoffPublication(quint16 port, const QByteArray& token, QObject* parent = nullptr);
    ~HandoffPublication() override;
    Q_DISABLE_COPY_MOVE(HandoffPublication)

    // Writes the ticket, then the port file. A port file left by an earlier
    // instance goes first, so whoever reads this ticket never meets that port.
    bool publish();

private slots:
    void restoreChangedFiles();

private:
    bool writeTicket();

    QByteArray m_portText;
    QByteArray m_ticket;
    QFileSystemWatcher m_watcher;
};
