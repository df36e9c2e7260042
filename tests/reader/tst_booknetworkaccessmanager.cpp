// The reader's only way to files: real requests against a real book folder
// that holds folders named "x?" and "x#", and a file beside the book.
#include "epub/fontobfuscation.h"
#include "reader/booknetworkaccessmanager.h"
#include "testsupport.h"

#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTemporaryDir>

#include <memory>

class TestBookNetworkAccessManager : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_root { lf::test::privateTempDir() + QStringLiteral("/nam-XXXXXX") };

    QString bookDir() const { return m_root.filePath(QStringLiteral("book")); }

    void write(const QString& name, const QByteArray& content)
    {
        QVERIFY(QDir().mkpath(QFileInfo(m_root.filePath(name)).path()));
        QFile file(m_root.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_root.isValid());
        write(QStringLiteral("outside.txt"), "outside");
        write(QStringLiteral("book/OEBPS/a.txt"), "plain");
        write(QStringLiteral("book/OEBPS/a?b.txt"), "question");
        write(QStringLiteral("book/OEBPS/a#b.txt"), "hash");
        QVERIFY(QDir().mkpath(bookDir() + QStringLiteral("/OEBPS/x?")));
        QVERIFY(QDir().mkpath(bookDir() + QStringLiteral("/OEBPS/x#")));
    }

    // What a request for the book folder's address plus `suffix` reads; empty
    // for a refused request.
    void servesOnlyTheBook_data()
    {
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<QByteArray>("read");
        QTest::newRow("a file of the book") << "/OEBPS/a.txt" << QByteArray("plain");
        QTest::newRow("encoded query in a name") << "/OEBPS/a%3Fb.txt" << QByteArray("question");
        QTest::newRow("encoded fragment in a name") << "/OEBPS/a%23b.txt" << QByteArray("hash");
        QTest::newRow("query is no part of the path") << "/OEBPS/a.txt?/../../../outside.txt" << QByteArray("plain");
        QTest::newRow("fragment is no part of the path") << "/OEBPS/a.txt#/../../../outside.txt" << QByteArray("plain");
        QTest::newRow("climbs through an encoded query") << "/OEBPS/x%3F/../../../outside.txt" << QByteArray();
        QTest::newRow("climbs through an encoded fragment") << "/OEBPS/x%23/../../../outside.txt" << QByteArray();
        QTest::newRow("climbs by encoded separators") << "/OEBPS/x%3F%2F..%2F..%2F..%2Foutside.txt" << QByteArray();
        QTest::newRow("climbs out") << "/../outside.txt" << QByteArray();
    }

    void servesOnlyTheBook()
    {
        QFETCH(QString, suffix);
        QFETCH(QByteArray, read);
        BookNetworkAccessManager manager;
        manager.setBookFolder(bookDir());
        const QUrl url(QUrl::fromLocalFile(bookDir()).toString() + suffix);
        QVERIFY(url.isValid());
        QCOMPARE(manager.isAllowed(QNetworkAccessManager::GetOperation, url), !read.isEmpty());

        const std::unique_ptr<QNetworkReply> reply(manager.get(QNetworkRequest(url)));
        QTRY_VERIFY(reply->isFinished());
        QCOMPARE(reply->error() == QNetworkReply::NoError, !read.isEmpty());
        QCOMPARE(reply->readAll(), read);
    }

    // An address built from a local path that climbs through the folders
    // named "x?" and "x#" is judged by where that path leads.
    void judgesLocalPathsWhole_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("query-named folder") << "/OEBPS/x?/../../../outside.txt";
        QTest::newRow("fragment-named folder") << "/OEBPS/x#/../../../outside.txt";
    }

    void judgesLocalPathsWhole()
    {
        QFETCH(QString, path);
        BookNetworkAccessManager manager;
        manager.setBookFolder(bookDir());
        const QUrl url = QUrl::fromLocalFile(bookDir() + path);
        QVERIFY(QFileInfo::exists(url.toLocalFile()));
        QVERIFY(!manager.isAllowed(QNetworkAccessManager::GetOperation, url));
    }

    // Inside a book "/x" and paths that climb above it name the book's own
    // top folder; nothing outside the book becomes reachable that way.
    void servesContainerRootedPaths_data()
    {
        QTest::addColumn<QString>("path"); // a local path; "BOOK" stands for the book folder
        QTest::addColumn<QByteArray>("read");
        QTest::newRow("rooted at the disk's top") << "/OEBPS/a.txt" << QByteArray("plain");
        QTest::newRow("climbs far above the book")
            << "BOOK/OEBPS/../../../../../../../../../../OEBPS/a.txt" << QByteArray("plain");
        QTest::newRow("climbs one folder above the book") << "BOOK/../OEBPS/a.txt" << QByteArray("plain");
        QTest::newRow("no such file in the book") << "/outside.txt" << QByteArray();
        QTest::newRow("a file beside the book") << "BOOK/../outside.txt" << QByteArray();
    }

    void servesContainerRootedPaths()
    {
        QFETCH(QString, path);
        QFETCH(QByteArray, read);
        BookNetworkAccessManager manager;
        manager.setBookFolder(bookDir());
        path.replace(QStringLiteral("BOOK"), bookDir());
        const std::unique_ptr<QNetworkReply> reply(manager.get(QNetworkRequest(QUrl::fromLocalFile(path))));
        QTRY_VERIFY(reply->isFinished());
        QCOMPARE(reply->readAll(), read);
    }

    // An obfuscated font reaches the page as the font it hides; the file on
    // disk stays as the archive had it.
    void servesFontsDeobfuscated()
    {
        QByteArray font(3000, '\0');
        for (int i = 0; i < font.size(); ++i)
            font[i] = char(i % 251);
        ObfuscatedFont obfuscation;
        obfuscation.path = QStringLiteral("OEBPS/fonts/f.otf");
        QVERIFY(lf::FontObfuscation::describe(
            lf::FontObfuscation::kIdpfAlgorithm, QStringLiteral("urn:isbn:1"), QString(), obfuscation));
        QByteArray stored = font;
        lf::FontObfuscation::apply(obfuscation, stored);
        write(QStringLiteral("book/OEBPS/fonts/f.otf"), stored);

        BookNetworkAccessManager manager;
        manager.setBookFolder(bookDir());
        manager.setObfuscatedFonts({ obfuscation });
        const QUrl url = QUrl::fromLocalFile(bookDir() + QStringLiteral("/OEBPS/fonts/f.otf"));
        const std::unique_ptr<QNetworkReply> reply(manager.get(QNetworkRequest(url)));
        QTRY_VERIFY(reply->isFinished());
        QCOMPARE(reply->error(), QNetworkReply::NoError);
        QCOMPARE(reply->readAll(), font);
        QFile onDisk(url.toLocalFile());
        QVERIFY(onDisk.open(QIODevice::ReadOnly));
        QCOMPARE(onDisk.readAll(), stored);
    }
};

LF_TEST_CORE_MAIN(TestBookNetworkAccessManager)
#include "tst_booknetworkaccessmanager.moc"
