// The writer and reader of the program's own files with whatever may sit at
// a file's name: a link is replaced and never followed, its target never read
// or written.
#include "base/atomicfile.h"
#include "testsupport.h"

#include <QDir>
#include <QTemporaryDir>

#include <sys/stat.h>

namespace {
const QByteArray kTargetBytes = "the target's own bytes";

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

class TestAtomicFile : public QObject
{
    Q_OBJECT

private slots:
    void whatSitsAtTheName_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("opened"); // lf::OwnFileOpen
        QTest::addColumn<bool>("written");
        QTest::newRow("nothing") << "nothing" << int(lf::OwnFileOpen::Missing) << true;
        QTest::newRow("a file") << "file" << int(lf::OwnFileOpen::Opened) << true;
        QTest::newRow("a link to a file") << "link" << int(lf::OwnFileOpen::Missing) << true;
        QTest::newRow("a dangling link") << "dangling" << int(lf::OwnFileOpen::Missing) << true;
        QTest::newRow("a link to a folder") << "folder link" << int(lf::OwnFileOpen::Missing) << true;
        QTest::newRow("a pipe, which must not hold the open up") << "pipe" << int(lf::OwnFileOpen::Failed) << true;
        QTest::newRow("a folder") << "folder" << int(lf::OwnFileOpen::Failed) << false;
    }

    void whatSitsAtTheName()
    {
        QFETCH(QString, kind);
        QFETCH(int, opened);
        QFETCH(bool, written);
        QTemporaryDir folder(lf::test::privateTempDir() + QStringLiteral("/own-XXXXXX"));
        QTemporaryDir outside(lf::test::privateTempDir() + QStringLiteral("/outside-XXXXXX"));
        const QString name = folder.path() + QStringLiteral("/bl");
        const QString target = outside.path() + QStringLiteral("/target");
        QFile targetFile(target);
        QVERIFY(targetFile.open(QIODevice::WriteOnly) && targetFile.write(kTargetBytes) == kTargetBytes.size());
        targetFile.close();
        if (kind == QLatin1String("file")) {
            QVERIFY(QFile::copy(target, name));
        } else if (kind == QLatin1String("link")) {
            QVERIFY(QFile::link(target, name));
        } else if (kind == QLatin1String("dangling")) {
            QVERIFY(QFile::link(outside.path() + QStringLiteral("/nothing"), name));
        } else if (kind == QLatin1String("folder link")) {
            QVERIFY(QFile::link(outside.path(), name));
        } else if (kind == QLatin1String("pipe")) {
            QCOMPARE(::mkfifo(QFile::encodeName(name).constData(), 0600), 0);
        } else if (kind == QLatin1String("folder")) {
            QVERIFY(QDir().mkdir(name));
        }

        QFile file;
        QCOMPARE(int(lf::openOwnFile(name, &file)), opened);
        QCOMPARE(file.isOpen() ? file.readAll() : QByteArray(),
            opened == int(lf::OwnFileOpen::Opened) ? kTargetBytes : QByteArray());
        QCOMPARE(lf::readOwnFile(name, 1024).has_value(), opened == int(lf::OwnFileOpen::Opened));

        QCOMPARE(lf::writeFileAtomically(name, "new"), written);
        if (written) {
            const QFileInfo info(name);
            QVERIFY(info.isFile() && !info.isSymLink());
            QCOMPARE(contentOf(name), QByteArray("new"));
            QCOMPARE(info.permissions() & QFileDevice::Permissions(0x0077), QFileDevice::Permissions());
        }
        // Nothing outside was touched, and no temporary file is left beside the name.
        QCOMPARE(contentOf(target), kTargetBytes);
        QCOMPARE(QDir(outside.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
            QStringList { "target" });
        QCOMPARE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
            QStringList { "bl" });
    }

    void readIsBounded()
    {
        QTemporaryDir folder(lf::test::privateTempDir() + QStringLiteral("/own-XXXXXX"));
        const QString name = folder.path() + QStringLiteral("/cp");
        QVERIFY(lf::writeFileAtomically(name, QByteArray(100, 'x')));
        QCOMPARE(lf::readOwnFile(name, 100), QByteArray(100, 'x'));
        QVERIFY(!lf::readOwnFile(name, 99));
    }
};

LF_TEST_CORE_MAIN(TestAtomicFile)
#include "tst_atomicfile.moc"
