// The reader's only way to files: real requests against a real book folder
// that holds folders named "x?" and "x#", and a file beside the book.
#include "epub/fontobfuscation.h"
#include "reader/bookaddress.h"
#include "reader/booknetworkaccessmanager.h"
#include "reader/bookstylerewrite.h"
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
    QString bookAddress() const { return QStringLiteral("lfbook://") + lf::BookAddress::host(bookDir()); }

    // What a GET of `url` reads, and its content type; empty on an error.
    static QPair<QByteArray, QString> fetch(BookNetworkAccessManager& manager, const QUrl& url)
    {
        const std::unique_ptr<QNetworkReply> reply(manager.get(QNetworkRequest(url)));
        if (!QTest::qWaitFor([&] { return reply->isFinished(); }, 5000) || reply->error() != QNetworkReply::NoError)
            return {};
        return { reply->readAll(), reply->header(QNetworkRequest::ContentTypeHeader).toString() };
    }

    void write(const QString& name, const QByteArray& content)
    {
        QVERIFY(lf::test::writeFile(m_root.filePath(name), content));
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

    // What a request for the book's address plus `suffix` reads; empty for a
    // refused request. The book folder's local address plus `suffix` is
    // always refused: pages reach files only by the book's own address.
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
        const QUrl local(QUrl::fromLocalFile(bookDir()).toString() + suffix);
        QVERIFY(local.isValid());
        QVERIFY(!manager.isAllowed(QNetworkAccessManager::GetOperation, local));
        QCOMPARE(fetch(manager, local).first, QByteArray());

        const QUrl url(bookAddress() + suffix);
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

    // "/x" and paths that climb above the top name the book's own top folder,
    // by address rules; nothing outside the book becomes reachable that way,
    // nor through another book's address or a local path.
    void resolvesAgainstTheBooksTop_data()
    {
        QTest::addColumn<QString>("url"); // "BOOK" stands for the book's address, "DIR" for its folder
        QTest::addColumn<QByteArray>("read");
        QTest::newRow("rooted at the book's top") << "BOOK/OEBPS/a.txt" << QByteArray("plain");
        QTest::newRow("climbs far above the top")
            << "BOOK/OEBPS/../../../../../../../../../../OEBPS/a.txt" << QByteArray("plain");
        QTest::newRow("climbs one folder above the top") << "BOOK/../OEBPS/a.txt" << QByteArray("plain");
        QTest::newRow("no such file in the book") << "BOOK/outside.txt" << QByteArray();
        QTest::newRow("a file beside the book") << "BOOK/../outside.txt" << QByteArray();
        QTest::newRow("another book's address") << "lfbook://b0123/OEBPS/a.txt" << QByteArray();
        QTest::newRow("the folder's own address") << "file://DIR/OEBPS/a.txt" << QByteArray();
        QTest::newRow("rooted at the disk's top") << "file:///OEBPS/a.txt" << QByteArray();
        QTest::newRow("encoded dot names") << "BOOK/OEBPS/%2E%2E%2F%2E%2E/outside.txt" << QByteArray();
    }

    void resolvesAgainstTheBooksTop()
    {
        QFETCH(QString, url);
        QFETCH(QByteArray, read);
        BookNetworkAccessManager manager;
        manager.setBookFolder(bookDir());
        url.replace(QStringLiteral("BOOK"), bookAddress()).replace(QStringLiteral("DIR"), bookDir());
        QCOMPARE(fetch(manager, QUrl(url)).first, read);
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
        QCOMPARE(fetch(manager, QUrl(bookAddress() + QStringLiteral("/OEBPS/fonts/f.otf"))).first, font);
        QFile onDisk(bookDir() + QStringLiteral("/OEBPS/fonts/f.otf"));
        QVERIFY(onDisk.open(QIODevice::ReadOnly));
        QCOMPARE(onDisk.readAll(), stored);
    }

    // A file is typed by its manifest item, else by its name; an item the
    // engine cannot show, or whose file is missing, is served as the first
    // usable item of its fallback chain, and a chain that loops ends.
    void servesByTheManifest_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("type");
        QTest::addColumn<QByteArray>("read");
        const QString xhtml = QStringLiteral("application/xhtml+xml");
        QTest::newRow("XHTML in a .html file") << "OEBPS/m/ch.htm.html" << xhtml << QByteArray("ch");
        QTest::newRow("not in the manifest") << "OEBPS/m/free.xhtml" << xhtml << QByteArray("free");
        QTest::newRow("picture the engine cannot show")
            << "OEBPS/m/star.psd" << QStringLiteral("image/png") << QByteArray("png");
        QTest::newRow("missing document") << "OEBPS/m/gone.xhtml" << xhtml << QByteArray("ch");
        QTest::newRow("looping chain") << "OEBPS/m/loop.foo" << QStringLiteral("application/x-foo")
                                       << QByteArray("foo");
    }

    void servesByTheManifest()
    {
        QFETCH(QString, path);
        write(QStringLiteral("book/OEBPS/m/ch.htm.html"), "ch");
        write(QStringLiteral("book/OEBPS/m/free.xhtml"), "free");
        write(QStringLiteral("book/OEBPS/m/star.psd"), "psd");
        write(QStringLiteral("book/OEBPS/m/star.png"), "png");
        write(QStringLiteral("book/OEBPS/m/loop.foo"), "foo");
        EpubData book;
        book.packagePath = QStringLiteral("OEBPS/content.opf");
        book.manifest.addItem({ "ch", "m/ch.htm.html", "application/xhtml+xml" });
        book.manifest.addItem({ "psd", "m/star.psd", "image/vnd.adobe.photoshop", "png" });
        book.manifest.addItem({ "png", "m/star.png", "image/png" });
        book.manifest.addItem({ "gone", "m/gone.xhtml", "application/xhtml+xml", "ch" });
        book.manifest.addItem({ "loop", "m/loop.foo", "application/x-foo", "loop2" });
        book.manifest.addItem({ "loop2", "m/loop2.foo", "application/x-foo", "loop" });
        BookNetworkAccessManager manager;
        manager.setBookFolder(bookDir());
        manager.setBook(book);
        const auto [read, type] = fetch(manager, QUrl(bookAddress() + QLatin1Char('/') + path));
        QTEST(read, "read");
        QTEST(type, "type");
    }

    // Style sheets reach the engine with the EPUB properties it knows under
    // other names renamed, and with the queries of relative url()s dropped;
    // in a document only the <style> elements change.
    void rewritesStyles_data()
    {
        QTest::addColumn<QByteArray>("served");
        QTest::addColumn<QByteArray>("given");
        QTest::addColumn<bool>("document");
        QTest::newRow("combine") << QByteArray("p{-epub-text-combine-horizontal: all}")
                                 << QByteArray("p{-webkit-text-combine: horizontal}") << false;
        QTest::newRow("ruby") << QByteArray("rt {\n -epub-ruby-position: under;}")
                              << QByteArray("rt {\n -webkit-ruby-position: after;}") << false;
        QTest::newRow("emphasis") << QByteArray("em{color:red;-epub-text-emphasis-position:over right}")
                                  << QByteArray("em{color:red;-webkit-text-emphasis-position:over right}") << false;
        QTest::newRow("a class name") << QByteArray(".a-epub-hyphens{x:y}") << QByteArray(".a-epub-hyphens{x:y}")
                                      << false;
        QTest::newRow("unknown property") << QByteArray("p{-epub-foo:1}") << QByteArray("p{-epub-foo:1}") << false;
        QTest::newRow("font query") << QByteArray("@font-face{src:url(f.ttf?3)}")
                                    << QByteArray("@font-face{src:url(f.ttf)}") << false;
        QTest::newRow("query and fragment")
            << QByteArray("src:url('f.eot?#iefix')") << QByteArray("src:url('f.eot#iefix')") << false;
        QTest::newRow("remote url") << QByteArray("src:url(http://h/f.ttf?1)")
                                    << QByteArray("src:url(http://h/f.ttf?1)") << false;
        QTest::newRow("non-ASCII text kept")
            << QByteArray("p::before{content:\"\xd8\xb3\";-epub-hyphens:auto}")
            << QByteArray("p::before{content:\"\xd8\xb3\";-webkit-hyphens:auto}") << false;
        QTest::newRow("document") << QByteArray(
            "<STYLE>p{-epub-line-break:strict}</STYLE><p>{-epub-line-break:strict}</p>")
                                  << QByteArray(
                                         "<STYLE>p{-webkit-line-break:strict}</STYLE><p>{-epub-line-break:strict}</p>")
                                  << true;
    }

    void rewritesStyles()
    {
        QFETCH(QByteArray, served);
        QFETCH(bool, document);
        QTEST(document ? lf::BookStyleRewrite::document(served) : lf::BookStyleRewrite::styleSheet(served), "given");
    }

    // The text of an Arabic document's body gains zero-width marks around
    // what is not an Arabic letter, and nothing else changes: not markup,
    // scripts, attributes, character references or text in another encoding.
    void marksRightToLeftRuns_data()
    {
        QTest::addColumn<QString>("served");
        QTest::addColumn<bool>("marked");
        QTest::addColumn<QString>("kept"); // found verbatim in what is given
        const QString words = QStringLiteral("\u0643\u0627\u0646 \u0627\u0644\u0635\u0628\u0627\u062d.");
        const QString page = QStringLiteral("<html><head><title>%1</title></head><body>%2</body></html>");
        QTest::newRow("paragraph") << page.arg(words, QStringLiteral("<p>%1</p>").arg(words)) << true
                                   << QStringLiteral("<title>%1</title>").arg(words);
        QTest::newRow("white space around the text")
            << page.arg(QString(), QStringLiteral("<p>\n  %1\n</p>").arg(words)) << true << "<p>\n  \u200e";
        QTest::newRow("character reference")
            << page.arg(QString(), QStringLiteral("<p>%1&amp;%1&#x20;</p>").arg(words)) << true << "&amp;";
        QTest::newRow("script, comment and attribute") << page.arg(QString(),
            QStringLiteral("<script>var s='%1';</script><!-- %1 --><img alt=\"%1\" src=\"a.png\"/>").arg(words))
                                                       << false << "";
        QTest::newRow("mostly Latin") << page.arg(
            QString(), QStringLiteral("<p>He wrote (%1) in the margin of his copy</p>").arg(words))
                                      << false << "";
        QTest::newRow("direction controls of its own")
            << page.arg(QString(), QStringLiteral("<p>\u202b%1\u202c</p>").arg(words)) << false << "";
        QTest::newRow("not UTF-8") << "cut short" << false << "";
    }

    void marksRightToLeftRuns()
    {
        QFETCH(QString, served);
        QFETCH(bool, marked);
        QFETCH(QString, kept);
        const QByteArray bytes = served == QLatin1String("cut short")
            ? QByteArray("<html><body><p>\xd8\xa7\xd8\xa8 \xd8.</p></body></html>") // UTF-8 but its last letter
            : served.toUtf8();
        const QByteArray given = lf::BookStyleRewrite::document(bytes);
        QCOMPARE(QByteArray(given).replace("\xe2\x80\x8e", "").replace("\xe2\x80\x8f", ""), bytes);
        QCOMPARE(given != bytes, marked);
        QVERIFY(given.contains(kept.toUtf8()));
    }

    // One font file named again with a query of its own is counted once; a
    // page's fonts stop at the allowance, which a new page gets afresh.
    void boundsThePagesFonts()
    {
        const qint64 size = BookNetworkAccessManager::kPageFontBytes / 2 + 1;
        for (const char* name : { "book/OEBPS/f/a.ttf", "book/OEBPS/f/b.ttf" }) {
            QFile file(m_root.filePath(QString::fromLatin1(name)));
            QVERIFY(QDir().mkpath(QFileInfo(file).path()));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(size));
        }
        BookNetworkAccessManager manager;
        manager.setBookFolder(bookDir());
        const auto served = [&](const char* path) { return fetch(manager, QUrl(bookAddress() + path)).first.size(); };
        QCOMPARE(served("/OEBPS/f/a.ttf?1"), size);
        QCOMPARE(served("/OEBPS/f/a.ttf?2"), size);
        QCOMPARE(served("/OEBPS/f/b.ttf"), 0);
        manager.startPage();
        QCOMPARE(served("/OEBPS/f/b.ttf"), size);
    }
};

LF_TEST_CORE_MAIN(TestBookNetworkAccessManager)
#include "tst_booknetworkaccessmanager.moc"
