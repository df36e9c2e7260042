// The data directory lives in the temporary-files location, which all users
// share: it is created owner-only and used only when it is really ours.
#include "app/datadirectory.h"
#include "testsupport.h"

#include <QDir>

#include <unistd.h>

class TestDataDirectory : public QObject
{
    Q_OBJECT

private:
    QString path() const { return QDir::cleanPath(lf::dataDirectory()); }

private slots:
    void cleanup()
    {
        QFile::remove(path());
        lf::test::clearDataDirectory();
        QDir(lf::test::privateTempDir() + QStringLiteral("/elsewhere")).removeRecursively();
    }

    void createdOwnerOnly()
    {
        QVERIFY(lf::dataDirectoryIsOurs());
        QVERIFY(lf::ensureDataDirectory());
        const QFileInfo info(path());
        QVERIFY(info.isDir());
        const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup
            | QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
        const QFileDevice::Permissions owner = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
        QCOMPARE(info.permissions() & others, QFileDevice::Permissions());
        QCOMPARE(info.permissions() & owner, owner);
        QVERIFY(lf::ensureDataDirectory()); // an existing one of ours is fine
    }

    void foreignOrOddDirectoriesAreNotUsed_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("symbolic link to a directory") << QStringLiteral("link");
        QTest::newRow("dangling symbolic link") << QStringLiteral("dangling");
        QTest::newRow("plain file") << QStringLiteral("file");
        QTest::newRow("directory of another user") << QStringLiteral("foreign");
    }

    void foreignOrOddDirectoriesAreNotUsed()
    {
        QFETCH(QString, kind);
        const QString elsewhere = lf::test::privateTempDir() + QStringLiteral("/elsewhere");
        if (kind == QLatin1String("link")) {
            QVERIFY(QDir().mkpath(elsewhere));
            QVERIFY(QFile::link(elsewhere, path()));
        } else if (kind == QLatin1String("dangling")) {
            QVERIFY(QFile::link(elsewhere, path()));
        } else if (kind == QLatin1String("file")) {
            QFile file(path());
            QVERIFY(file.open(QIODevice::WriteOnly));
        } else {
            if (::getuid() != 0)
                QSKIP("giving a directory to another user needs root");
            QVERIFY(QDir().mkpath(path()));
            QCOMPARE(::chown(QFile::encodeName(path()).constData(), 65534, 65534), 0);
        }
        QVERIFY(!lf::dataDirectoryIsOurs());
        QVERIFY(!lf::ensureDataDirectory());
        QVERIFY(!QFileInfo::exists(elsewhere + QStringLiteral("/single_port")));
    }
};

LF_TEST_CORE_MAIN(TestDataDirectory)
#include "tst_datadirectory.moc"
