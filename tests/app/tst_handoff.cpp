// The single-instance hand-over, with the real program in child processes and
// real datagrams: races between starts, crashes, strangers on the port and a
// second user on the machine.
#include "app/handoffmessage.h"
#include "app/handoffticket.h"
#include "base/appconstants.h"
#include "base/datadirectory.h"
#include "testsupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkInterface>
#include <QTemporaryDir>
#include <QUdpSocket>

#include <csignal>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

using lf::test::ProgramProcess;

namespace {
constexpr uid_t kOtherUser = 65534; // "nobody"

// The program as another user of the machine, with the shared temporary
// location and a home folder of its own, whose data location it uses.
class OtherUserProcess : public ProgramProcess
{
public:
    OtherUserProcess(const QString& tempLocation, const QString& home)
    {
        QProcessEnvironment env = processEnvironment();
        env.insert(QStringLiteral("TMPDIR"), tempLocation);
        env.insert(QStringLiteral("HOME"), home);
        env.remove(QStringLiteral("XDG_DATA_HOME")); // ours
        env.remove(QStringLiteral("XDG_RUNTIME_DIR")); // root's would be refused
        setProcessEnvironment(env);
        setWorkingDirectory(home);
    }

protected:
    void setupChildProcess() override
    {
        // In the child, before exec: failing here makes exec run as root,
        // which the test notices from the data directory's name.
        if (::setgroups(0, nullptr) != 0 || ::setgid(kOtherUser) != 0 || ::setuid(kOtherUser) != 0)
            ::_exit(127);
    }
};

// Gives `process` the data location `dataLocation` and a temporary-files
// location of its own inside it.
void useDataLocation(QProcess& process, const QString& dataLocation)
{
    QProcessEnvironment env = process.processEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), dataLocation);
    env.insert(QStringLiteral("TMPDIR"), dataLocation + QStringLiteral("/tmp"));
    process.setProcessEnvironment(env);
}

QString dataDirectoryIn(const QString& dataLocation)
{
    return dataLocation + QStringLiteral("/LF_Epub_Viewer_N/");
}

QStringList bookcaseNames(const QString& dataDirectory)
{
    QFile file(dataDirectory + lf::kBookcaseFileName);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList names;
    const QJsonArray records
        = QJsonDocument::fromJson(file.readAll()).object().value(QStringLiteral("bookInfos")).toArray();
    for (const QJsonValue& record : records)
        names.append(record.toObject().value(QStringLiteral("file_name")).toString());
    names.sort();
    return names;
}

QByteArray fileContent(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void sendDatagram(const QByteArray& datagram, quint16 port)
{
    QUdpSocket socket;
    socket.writeDatagram(datagram, QHostAddress(QHostAddress::LocalHost), port);
}
} // namespace

class TestHandoff : public QObject
{
    Q_OBJECT

private:
    QString portFilePath(const QString& dataDirectory = lf::dataDirectory()) const
    {
        return dataDirectory + lf::kPortFileName;
    }
    QString ticketPath() const { return lf::dataDirectory() + QStringLiteral("single_token"); }

    // Starts `first` and waits until it serves hand-overs; returns its port.
    quint16 startFirstInstance(
        ProgramProcess& first, const QString& dataDirectory = lf::dataDirectory(), const QStringList& arguments = {})
    {
        first.start(arguments);
        if (!first.waitForOutput(QStringLiteral("first instance started")))
            return 0;
        return fileContent(portFilePath(dataDirectory)).toUShort();
    }

    // A second start that hands `path` over, and the first instance that receives it.
    bool handsOver(ProgramProcess& first, const QString& path)
    {
        ProgramProcess second;
        second.start({ path });
        if (!second.waitForFinished(15000) || second.exitCode() != 0
            || second.output().contains(QLatin1String("first instance started")))
            return false;
        return first.waitForOutput(QStringLiteral("hand-over received: ") + path + QLatin1Char('\n'));
    }

    void killAndWait(ProgramProcess& process)
    {
        ::kill(static_cast<pid_t>(process.processId()), SIGKILL);
        process.waitForFinished(5000);
    }

private slots:
    void cleanup() { lf::test::clearDataDirectory(); }

    void dataDirectoryFollowsTheDataLocation()
    {
        QCOMPARE(lf::dataDirectory(), dataDirectoryIn(lf::test::privateDataHome()));
        const QString old = lf::test::privateTempDir() + QStringLiteral("/LF_Epub_Viewer_N");
        QCOMPARE(lf::legacyDataDirectories(), QStringList({ old + "/", old + QStringLiteral("_%1/").arg(::getuid()) }));
    }

    void firstStartPublishesPortAndTicket()
    {
        ProgramProcess first;
        const quint16 port = startFirstInstance(first);
        QVERIFY2(port != 0, qPrintable(first.output()));

        QCOMPARE(fileContent(portFilePath()), QByteArray::number(port)); // bare digits, no line end
        QVERIFY(port >= lf::kFirstHandoffPort && port <= lf::kLastHandoffPort);

        // The port is the first instance's alone, with or without address sharing.
        QUdpSocket plain;
        QVERIFY(!plain.bind(QHostAddress::AnyIPv4, port));
        QUdpSocket sharing;
        QVERIFY(!sharing.bind(QHostAddress::LocalHost, port, QAbstractSocket::ShareAddress));

        const QFileDevice::Permissions othersAndGroup = QFileDevice::Permissions(0x0077);
        QCOMPARE(QFileInfo(lf::dataDirectory()).permissions() & othersAndGroup, QFileDevice::Permissions());
        QCOMPARE(QFileInfo(ticketPath()).permissions() & othersAndGroup, QFileDevice::Permissions());
        const std::optional<HandoffTicket> ticket = HandoffTicket::parse(fileContent(ticketPath()));
        QVERIFY(ticket);
        QCOMPARE(ticket->pid, first.processId());
    }

    void secondStartHandsOverPath_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("expected");
        const QString ascii = lf::test::privateTempDir() + QStringLiteral("/books/alice.epub");
        const QString korean = lf::test::privateTempDir() + QStringLiteral("/책장/이상한 나라 é.epub");
        QTest::newRow("ascii") << QStringList { ascii } << ascii;
        QTest::newRow("non-ascii") << QStringList { korean } << korean;
        QTest::newRow("second argument ignored") << QStringList { ascii, QStringLiteral("/other.epub") } << ascii;
    }

    void secondStartHandsOverPath()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, expected);
        ProgramProcess first;
        QVERIFY2(startFirstInstance(first) != 0, qPrintable(first.output()));

        ProgramProcess second;
        second.start(arguments);
        QVERIFY(second.waitForFinished(15000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QVERIFY(!second.output().contains(QLatin1String("first instance started")));
        QVERIFY(second.output().contains(QStringLiteral("lumenfolio: already running, handed over ") + expected));

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
        QVERIFY(second.output().contains(QLatin1String("lumenfolio: already running")));
        // The running window is asked to come forward, and imports nothing.
        QVERIFY2(first.waitForOutput(QStringLiteral("hand-over received: \n")), qPrintable(first.output()));
        QVERIFY(!first.output().contains(QLatin1String("import refused")));
    }

    // Clean-ups may remove the published files while the first instance runs.
    void removedPublicationIsPutBack()
    {
        ProgramProcess first;
        QVERIFY(startFirstInstance(first) != 0);
        QVERIFY(QFile::remove(ticketPath()));
        QVERIFY(QFile::remove(portFilePath()));
        QVERIFY2(handsOver(first, QStringLiteral("/books/after-clean-up.epub")), qPrintable(first.output()));
    }

    // A crashed instance blocks no start, whatever was cleaned up after it,
    // and its stale port and ticket mislead no hand-over.
    void crashedInstanceNeverBlocksTheNext_data()
    {
        QTest::addColumn<QString>("cleaned");
        QTest::newRow("nothing cleaned") << QString();
        QTest::newRow("data directory removed") << QStringLiteral("data");
        QTest::newRow("data location emptied") << QStringLiteral("all");
    }

    void crashedInstanceNeverBlocksTheNext()
    {
        QFETCH(QString, cleaned);
        {
            ProgramProcess crashed;
            QVERIFY(startFirstInstance(crashed) != 0);
            killAndWait(crashed);
        }
        if (cleaned == QLatin1String("data")) {
            lf::test::clearDataDirectory();
        } else if (cleaned == QLatin1String("all")) {
            const QFileInfoList entries = QDir(lf::test::privateDataHome())
                                              .entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
            for (const QFileInfo& entry : entries)
                entry.isDir() ? QDir(entry.filePath()).removeRecursively() : QFile::remove(entry.filePath());
        }
        ProgramProcess next;
        QVERIFY2(startFirstInstance(next) != 0, qPrintable(next.output()));
        QVERIFY2(handsOver(next, QStringLiteral("/books/after-crash.epub")), qPrintable(next.output()));
    }

    // The seal's variants are tabled in tst_handoffmessage; here the running
    // program drops what a stranger on the machine can send.
    void unsealedDatagramsAreIgnored()
    {
        ProgramProcess first;
        const quint16 port = startFirstInstance(first);
        QVERIFY(port != 0);
        const std::optional<HandoffTicket> ticket = HandoffTicket::parse(fileContent(ticketPath()));
        QVERIFY(ticket);

        const QString evil = QStringLiteral("/tmp/evil.epub");
        sendDatagram(evil.toUtf8(), port);
        sendDatagram(lf::sealHandoff(QByteArray(32, 'x'), evil), port);
        sendDatagram(lf::sealHandoff(ticket->token, QStringLiteral("/tmp/fine.epub")), port);
        QVERIFY2(first.waitForOutput(QStringLiteral("hand-over received: /tmp/fine.epub")), qPrintable(first.output()));
        QCOMPARE(first.output().count(QLatin1String("without a valid token")), 2);
        QVERIFY(!first.output().contains(QLatin1String("evil")));
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
        const QByteArray token = HandoffTicket::parse(fileContent(ticketPath())).value_or(HandoffTicket()).token;

        QUdpSocket stranger;
        QVERIFY(stranger.bind(outside, 0));
        stranger.writeDatagram(
            lf::sealHandoff(token, QStringLiteral("/tmp/evil.epub")), QHostAddress(QHostAddress::LocalHost), port);
        QVERIFY2(first.waitForOutput(QStringLiteral("ignored")), qPrintable(first.output()));
        sendDatagram(lf::sealHandoff(token, QStringLiteral("/tmp/fine.epub")), port);
        QVERIFY(first.waitForOutput(QStringLiteral("hand-over received: /tmp/fine.epub")));
        QVERIFY(!first.output().contains(QLatin1String("hand-over received: /tmp/evil.epub")));
    }

    void twoDataLocationsHaveTheirOwnPorts()
    {
        QTemporaryDir otherLocation(lf::test::privateTempDir() + QStringLiteral("/other-XXXXXX"));
        QVERIFY(otherLocation.isValid());
        ProgramProcess here;
        ProgramProcess there;
        useDataLocation(there, otherLocation.path());
        const quint16 herePort = startFirstInstance(here);
        const quint16 therePort = startFirstInstance(there, dataDirectoryIn(otherLocation.path()));
        QVERIFY2(herePort != 0 && therePort != 0, qPrintable(here.output() + there.output()));
        QVERIFY(herePort != therePort);

        QVERIFY(handsOver(here, QStringLiteral("/books/near.epub")));
        ProgramProcess toThere;
        useDataLocation(toThere, otherLocation.path());
        toThere.start({ QStringLiteral("/books/far.epub") });
        QVERIFY(toThere.waitForFinished(15000));
        QCOMPARE(toThere.exitCode(), 0);
        QVERIFY(there.waitForOutput(QStringLiteral("hand-over received: /books/far.epub")));

        QVERIFY(!here.output().contains(QLatin1String("far.epub")));
        QVERIFY2(!there.output().contains(QLatin1String("near.epub")), qPrintable(there.output()));
    }

    // Two starts at the same instant with two books: one instance remains and
    // both books are in its library.
    void simultaneousStartsKeepBothBooks()
    {
        const QString books = lf::test::privateTempDir() + QStringLiteral("/books");
        const QString left = lf::test::copyCorpusBook(QStringLiteral("minimal-epub2.epub"), books);
        const QString right = lf::test::copyCorpusBook(QStringLiteral("minimal-epub3.epub"), books);
        QVERIFY(!left.isEmpty() && !right.isEmpty());
        const QStringList bothBooks { QStringLiteral("minimal-epub2"), QStringLiteral("minimal-epub3") };

        for (int trial = 0; trial < 20; ++trial) {
            ProgramProcess a;
            ProgramProcess b;
            a.start({ trial % 2 ? left : right });
            b.start({ trial % 2 ? right : left });
            QDeadlineTimer deadline(20000);
            while (a.state() != QProcess::NotRunning && b.state() != QProcess::NotRunning && !deadline.hasExpired())
                a.waitForFinished(10) || b.waitForFinished(10);
            ProgramProcess& second = a.state() == QProcess::NotRunning ? a : b;
            ProgramProcess& first = &second == &a ? b : a;
            const QString context
                = QStringLiteral("trial %1:\n%2\n---\n%3").arg(trial).arg(first.output(), second.output());
            QVERIFY2(second.state() == QProcess::NotRunning && second.exitCode() == 0, qPrintable(context));
            QVERIFY2(first.state() == QProcess::Running, qPrintable(context));
            QTRY_VERIFY2_WITH_TIMEOUT(bookcaseNames(lf::dataDirectory()) == bothBooks, qPrintable(context), 20000);
            killAndWait(first);
            lf::test::clearDataDirectory();
        }
    }

    // With one temporary location for all users, another user's program runs
    // beside ours with a data directory and lock of its own, and leaves our
    // old library there alone.
    void anotherUserStartsBeside()
    {
        if (::getuid() != 0)
            QSKIP("starting the program as another user needs root");
        QTemporaryDir shared(QStringLiteral("/tmp/lf-shared-XXXXXX"));
        QVERIFY(shared.isValid());
        QCOMPARE(::chmod(QFile::encodeName(shared.path()).constData(), 01777), 0);
        const QString theirHome = shared.path() + QStringLiteral("/home");
        QVERIFY(QDir().mkpath(theirHome));
        QCOMPARE(::chown(QFile::encodeName(theirHome).constData(), kOtherUser, kOtherUser), 0);
        // What an earlier version of ours left in the shared location.
        const QString ourOldDirectory = shared.path() + QStringLiteral("/LF_Epub_Viewer_N/");
        QVERIFY(QDir().mkpath(ourOldDirectory + QStringLiteral("old-book")));
        QFile oldBookcase(ourOldDirectory + lf::kBookcaseFileName);
        QVERIFY(oldBookcase.open(QIODevice::WriteOnly) && oldBookcase.write(R"({"bookInfos":[]})") > 0);
        oldBookcase.close();

        ProgramProcess ours;
        QVERIFY2(startFirstInstance(ours) != 0, qPrintable(ours.output()));

        OtherUserProcess theirs(shared.path(), theirHome);
        theirs.start({});
        if (!theirs.waitForStarted(5000))
            QSKIP("the program cannot be started as another user here");
        const QString theirDirectory = theirHome + QStringLiteral("/.local/share/LF_Epub_Viewer_N/");
        QVERIFY2(theirs.waitForOutput(QStringLiteral("first instance started")), qPrintable(theirs.output()));
        QCOMPARE(QFileInfo(theirDirectory).ownerId(), kOtherUser);
        QVERIFY(fileContent(portFilePath(theirDirectory)).toUShort() != 0);
        QVERIFY(QFileInfo(ourOldDirectory + QStringLiteral("old-book")).isDir());
        QVERIFY(!theirs.output().contains(QLatin1String("library move")));

        QVERIFY(handsOver(ours, QStringLiteral("/books/ours.epub")));
        OtherUserProcess toTheirs(shared.path(), theirHome);
        toTheirs.start({ QStringLiteral("/books/theirs.epub") });
        QVERIFY(toTheirs.waitForFinished(15000));
        QCOMPARE(toTheirs.exitCode(), 0);
        QVERIFY(theirs.waitForOutput(QStringLiteral("hand-over received: /books/theirs.epub")));
        QVERIFY(!ours.output().contains(QLatin1String("theirs.epub")));
    }

    void startThatCannotRunSaysWhy_data()
    {
        QTest::addColumn<QString>("obstacle");
        QTest::addColumn<QString>("reason");
        QTest::newRow("data directory cannot be made") << QStringLiteral("data") << QStringLiteral("data directory");
        QTest::newRow("port file cannot be written") << QStringLiteral("port") << QStringLiteral("port file");
    }

    void startThatCannotRunSaysWhy()
    {
        QFETCH(QString, obstacle);
        QFETCH(QString, reason);
        ProgramProcess start;
        if (obstacle == QLatin1String("data")) {
            // A data location below a plain file: no directory can be made there.
            const QString plainFile = lf::test::privateTempDir() + QStringLiteral("/plain-file");
            QFile file(plainFile);
            QVERIFY(file.open(QIODevice::WriteOnly));
            useDataLocation(start, plainFile + QStringLiteral("/data"));
        } else {
            QVERIFY(QDir().mkpath(portFilePath())); // a directory where the port file belongs
        }
        start.start({});
        // Said on standard error and in the message dialog, which the start waits for.
        QVERIFY2(start.waitForOutput(QStringLiteral("message shown:")), qPrintable(start.output()));
        QVERIFY2(start.output().contains(QStringLiteral("lumenfolio: cannot")), qPrintable(start.output()));
        QVERIFY(start.output().section(QStringLiteral("message shown:"), 1).contains(reason));
        QCOMPARE(start.state(), QProcess::Running);
        QVERIFY(!start.output().contains(QLatin1String("first instance started")));
    }
};

LF_TEST_CORE_MAIN(TestHandoff)
#include "tst_handoff.moc"
