// The sealed hand-over datagram and the ticket the first instance publishes,
// in-process.
#include "app/handoffmessage.h"
#include "app/handoffticket.h"
#include "testsupport.h"

class TestHandoffMessage : public QObject
{
    Q_OBJECT

private:
    const QByteArray m_token = QByteArray(32, 'k');

private slots:
    void onlyTheRightSealOpens_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<QString>("expected"); // null: refused
        const QString path = QStringLiteral("/home/u/책장/이상한 나라 é.epub");
        const QByteArray sealed = lf::sealHandoff(m_token, path);
        QByteArray otherPath = sealed;
        otherPath[otherPath.size() - 1] = 'x';
        QByteArray brokenSeal = sealed;
        brokenSeal[0] = static_cast<char>(brokenSeal.at(0) ^ 1);

        QTest::newRow("sealed") << sealed << path;
        QTest::newRow("sealed, one-byte path") << lf::sealHandoff(m_token, QStringLiteral("a")) << QStringLiteral("a");
        QTest::newRow("bare path, no seal") << path.toUtf8() << QString();
        QTest::newRow("another token") << lf::sealHandoff(QByteArray(32, 'j'), path) << QString();
        QTest::newRow("path changed after sealing") << otherPath << QString();
        QTest::newRow("seal changed") << brokenSeal << QString();
        QTest::newRow("seal without path") << sealed.left(32) << QString();
        QTest::newRow("sealed empty path: a start without a book")
            << lf::sealHandoff(m_token, QString()) << QStringLiteral("");
        QTest::newRow("seal cut short") << sealed.left(31) << QString();
        QTest::newRow("empty") << QByteArray() << QString();
    }

    void onlyTheRightSealOpens()
    {
        QFETCH(QByteArray, datagram);
        QFETCH(QString, expected);
        const std::optional<QString> opened = lf::openHandoff(m_token, datagram);
        QCOMPARE(opened.has_value(), !expected.isNull());
        if (opened)
            QCOMPARE(*opened, expected);
    }

    void emptyTokenOpensNothing()
    {
        QVERIFY(!lf::openHandoff(QByteArray(), lf::sealHandoff(QByteArray(), QStringLiteral("/a.epub"))));
    }

    void ticketRoundTrip()
    {
        const HandoffTicket ticket = HandoffTicket::forThisProcess(m_token);
        const std::optional<HandoffTicket> read = HandoffTicket::parse(ticket.toBytes());
        QVERIFY(read);
        QCOMPARE(read->pid, QCoreApplication::applicationPid());
        QCOMPARE(read->startTime, ticket.startTime);
        QCOMPARE(read->token, m_token);
        QVERIFY(read->ownerIsAlive());
    }

    void damagedTicketsAreRefused_data()
    {
        QTest::addColumn<QByteArray>("content");
        const QByteArray hex = QByteArray(32, 'k').toHex();
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("line end added") << QByteArray("12 34 " + hex + '\n');
        QTest::newRow("token cut short") << QByteArray("12 34 " + hex.left(62));
        QTest::newRow("token not hex") << QByteArray("12 34 " + hex.left(62) + "zz");
        QTest::newRow("pid zero") << QByteArray("0 34 " + hex);
        QTest::newRow("pid negative") << QByteArray("-12 34 " + hex);
        QTest::newRow("extra field") << QByteArray("12 34 " + hex + " 5");
    }

    void damagedTicketsAreRefused()
    {
        QFETCH(QByteArray, content);
        QVERIFY(!HandoffTicket::parse(content));
    }

    void ticketOfAnEndedProcessIsDead_data()
    {
        QTest::addColumn<bool>("sameStartTime");
        QTest::newRow("process ended") << true;
        QTest::newRow("id given to a later process") << false;
    }

    void ticketOfAnEndedProcessIsDead()
    {
        QFETCH(bool, sameStartTime);
        HandoffTicket ticket = HandoffTicket::forThisProcess(m_token);
        if (sameStartTime) {
            QProcess ended;
            ended.start(QStringLiteral("true"), {});
            QVERIFY(ended.waitForStarted(5000));
            ticket.pid = ended.processId();
            QVERIFY(ended.waitForFinished(5000));
        } else {
            if (ticket.startTime == 0)
                QSKIP("this system does not tell process start times");
            ticket.startTime += 1; // this process's id, but another start
        }
        QVERIFY(!ticket.ownerIsAlive());
    }
};

LF_TEST_CORE_MAIN(TestHandoffMessage)
#include "tst_handoffmessage.moc"
