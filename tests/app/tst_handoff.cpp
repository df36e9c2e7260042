// The single-instance hand-over, with the real program in child processes and
// real datagrams.
#include "testsupport.h"

#include "app/appconstants.h"
#include "app/datadirectory.h"

#include <QNetworkInterface>
#include <QUdpSocket>

#include <csignal>

using lf::test::ProgramProcess;

class TestHandoff : public QObject
{
    Q_OBJECT

private:
    QString portFilePath() const { return lf::dataDirectory() + lf::kPortFileName; }

    quint16 startFirstInstance(ProgramProcess& first)
    {
        first.start({});
        if (!first.waitForOutput(QStringLiteral("first instance started")))
            return 0;
        QFile file(portFilePath());
        if (!file.open(QIODevice::ReadOnly))
            return 0;
        return file.readAll().toUShort();
    }

private slots:
    void cleanup() { lf::test::clearDataDirectory(); }

    void dataDirectoryFollowsTmpdir()
    {
        QVERIFY(lf::dataDirectory().endsWith(QLatin1String("/LF_Epub_Viewer_N/")));
        QVERIFY(lf::dataDirectory().startsWith(lf::test::privateTempDir() + QLatin1Char('/')));
    }

    void firstStartRecordsBoundPort()
    {
        ProgramProcess first;
        const quint16 port = startFirstInstance(first);
        QVERIFY2(port != 0, qPrintable(first.output()));

        QFile file(portFilePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray content = file.readAll();
        QCOMPARE(content, QByteArray::number(port)); // bare digits, no line end
        QVERIFY(port >= lf::kFirstHandoffPort && port <= lf::kLastHandoffPort);

        // The port is really taken by the first instance.
        QUdpSocket probe;
        QVERIFY(!probe.bind(QHostAddress::AnyIPv4, port)); // no ShareAddress: refused while bound
        // The data directory is private to its owner.
        QCOMPARE(QFileInfo(lf::dataDirectory()).permissions() & 0x0077, QFileDevice::Permissions());
    }

    void secondStartHandsOverPath_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("expected");
        const QString ascii = lf::test::privateTempDir() + QStringLiteral("/books/alice.epub");
        const QString korean = lf::test::privateTempDir() + QStringLiteral("/책장/이상한 나라 é.epub");
        QTest::newRow("ascii") << QStringList{ascii} << ascii;
        QTest::newRow("non-ascii") << QStringList{korean} << korean;
        QTest::newRow("second argument ignored") << QStringList{ascii, QStringLiteral("/other.epub")} << ascii;
    }

    void secondStartHandsOverPath()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, expected);
        ProgramProcess first;
        QVERIFY2(startFirstInstance(first) != 0, qPrintable(first.output()));

        ProgramProcess second;
        QElapsedTimer timer;
        timer.start();
        second.start(arguments);
        QVERIFY(second.waitForFinished(10000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QVERIFY(!second.output().contains(QLatin1String("first instance started")));

        QVERIFY2(first.waitForOutput(QStringLiteral("hand-over received: ") + expected + QLatin1Char('\n')),
                 qPrintable(first.output()));
        QVERIFY(!first.output().contains(QLatin1String("/other.epub")));
    }

    void secondStartWithoutPathExits()
    {
        ProgramProcess first;
        QVERIFY(startFirstInstance(first) != 0);
        ProgramProcess second;
        second.start({});
        QVERIFY(second.waitForFinished(10000));
        QCOMPARE(second.exitCode(), 0);
        QVERIFY(second.output().contains(QLatin1String("non argument")));
    }

    void killedFirstInstanceDoesNotBlockTheNext()
    {
        {
            ProgramProcess crashed;
            QVERIFY(startFirstInstance(crashed) != 0);
            ::kill(static_cast<pid_t>(crashed.processId()), SIGKILL);
            QVERIFY(crashed.waitForFinished(5000));
        }
        ProgramProcess next;
        QVERIFY2(startFirstInstance(next) != 0, qPrintable(next.output()));
    }

    void datagramFromAnotherHostIsIgnored()
    {
        QHostAddress outside;
        const auto addresses = QNetworkInterface::allAddresses();
        for (const QHostAddress& address : addresses) {
            if (address.protocol() == QAbstractSocket::IPv4Protocol && !address.isLoopback()) {
                outside = address;
                break;
            }
        }
        if (outside.isNull())
            QSKIP("this machine has no non-loopback IPv4 address to send from");

        ProgramProcess first;
        const quint16 port = startFirstInstance(first);
        QVERIFY(port != 0);

        QUdpSocket stranger;
        QVERIFY(stranger.bind(outside, 0));
        stranger.writeDatagram(QByteArrayLiteral("/tmp/evil.epub"), QHostAddress(QHostAddress::LocalHost), port);
        QVERIFY2(first.waitForOutput(QStringLiteral("ignored")), qPrintable(first.output()));
        QVERIFY(!first.output().contains(QLatin1String("hand-over received: /tmp/evil.epub")));

        QUdpSocket local;
        local.writeDatagram(QByteArrayLiteral("/tmp/fine.epub"), QHostAddress(QHostAddress::LocalHost), port);
        QVERIFY(first.waitForOutput(QStringLiteral("hand-over received: /tmp/fine.epub")));
    }
};

LF_TEST_CORE_MAIN(TestHandoff)
#include "tst_handoff.moc"
