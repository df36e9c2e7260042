// Resolving the paths a book names: inside the book folder they resolve, and
// whatever would leave it resolves to nothing.
#include "epub/bookhref.h"
#include "testsupport.h"

class TestBookHref : public QObject
{
    Q_OBJECT

private slots:
    void resolves_data()
    {
        QTest::addColumn<QString>("base");
        QTest::addColumn<QString>("href");
        QTest::addColumn<QString>("expected");

        QTest::newRow("sibling") << "OEBPS/text/ch1.xhtml"
                                 << "ch2.xhtml"
                                 << "OEBPS/text/ch2.xhtml";
        QTest::newRow("fragment dropped") << "OEBPS/ch1.xhtml"
                                          << "ch3.xhtml#sec2"
                                          << "OEBPS/ch3.xhtml";
        QTest::newRow("query dropped") << "OEBPS/ch1.xhtml"
                                       << "ch3.xhtml?x=1#a"
                                       << "OEBPS/ch3.xhtml";
        QTest::newRow("fragment only names the base") << "OEBPS/ch1.xhtml"
                                                      << "#note"
                                                      << "OEBPS/ch1.xhtml";
        QTest::newRow("up one folder") << "OEBPS/nav/toc.xhtml"
                                       << "../text/ch1.xhtml"
                                       << "OEBPS/text/ch1.xhtml";
        QTest::newRow("dot segments") << "a/b/c.opf"
                                      << "./x/../y.xhtml"
                                      << "a/b/y.xhtml";
        QTest::newRow("package at the top") << "package.opf"
                                            << "p1.xhtml"
                                            << "p1.xhtml";
        QTest::newRow("percent-decoded") << "EPUB/p.opf"
                                         << "xhtml/%E4%B8%80%20a.xhtml"
                                         << "EPUB/xhtml/一 a.xhtml";
        QTest::newRow("raw non-ASCII") << "EPUB/p.opf"
                                       << "xhtml/目次.xhtml"
                                       << "EPUB/xhtml/目次.xhtml";
        QTest::newRow("climbs to the top") << "A/B/content.opf"
                                           << "../../text.xhtml"
                                           << "text.xhtml";

        QTest::newRow("climbs out") << "OEBPS/content.opf"
                                    << "../../etc/passwd"
                                    << "";
        QTest::newRow("climbs out, encoded dots") << "OEBPS/c.opf"
                                                  << "%2E%2E/%2E%2E/x"
                                                  << "";
        QTest::newRow("climbs out by backslash") << "OEBPS/c.opf"
                                                 << "..\\..\\x"
                                                 << "";
        QTest::newRow("absolute") << "OEBPS/c.opf"
                                  << "/etc/passwd"
                                  << "";
        QTest::newRow("absolute, backslash") << "OEBPS/c.opf"
                                             << "\\\\server\\share"
                                             << "";
        QTest::newRow("file scheme") << "OEBPS/c.opf"
                                     << "file:///etc/passwd"
                                     << "";
        QTest::newRow("remote") << "OEBPS/c.opf"
                                << "http://example.com/a.jpg"
                                << "";
        QTest::newRow("drive letter") << "OEBPS/c.opf"
                                      << "C:/Windows/win.ini"
                                      << "";
        QTest::newRow("encoded separator") << "OEBPS/c.opf"
                                           << "..%2F..%2Fx"
                                           << "";
        QTest::newRow("base outside") << "../c.opf"
                                      << "a.xhtml"
                                      << "";
        QTest::newRow("only the top") << "OEBPS/c.opf"
                                      << "../"
                                      << "";

        // A query or fragment ends the path before it is resolved; encoded,
        // "?" and "#" are part of a name like any other character.
        QTest::newRow("query, then climbing") << "OEBPS/c.opf"
                                              << "x?/../../../../proc/self/fd/0"
                                              << "OEBPS/x";
        QTest::newRow("fragment, then climbing") << "OEBPS/c.opf"
                                                 << "x#/../../../../proc/self/fd/0"
                                                 << "OEBPS/x";
        QTest::newRow("encoded query in a name") << "OEBPS/c.opf"
                                                 << "a%3Fb.png"
                                                 << "OEBPS/a?b.png";
        QTest::newRow("encoded fragment in a name") << "OEBPS/c.opf"
                                                    << "a%23b.png"
                                                    << "OEBPS/a#b.png";
        QTest::newRow("encoded query folder, climbs out") << "OEBPS/c.opf"
                                                          << "x%3F/../../../../proc/self/fd/0"
                                                          << "";
        QTest::newRow("encoded fragment folder, climbs out") << "OEBPS/c.opf"
                                                             << "x%23/../../../etc/passwd"
                                                             << "";
        QTest::newRow("encoded query folder, lower case, climbs out") << "OEBPS/c.opf"
                                                                      << "x%3f/../../../y"
                                                                      << "";
        QTest::newRow("encoded query folder, stays in") << "OEBPS/c.opf"
                                                        << "x%3F/../y.png"
                                                        << "OEBPS/y.png";
        QTest::newRow("base named with a query mark") << "OEBPS/a?/c.opf"
                                                      << "../../../x"
                                                      << "";
    }

    void resolves()
    {
        QFETCH(QString, base);
        QFETCH(QString, href);
        QTEST(lf::BookHref::resolve(base, href), "expected");
    }

    void joinsTheFileToOpen_data()
    {
        QTest::addColumn<QString>("bookDir");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("file");
        QTest::newRow("folder without a slash") << "/d/book"
                                                << "OEBPS/c.opf"
                                                << "/d/book/OEBPS/c.opf";
        QTest::newRow("folder with a slash") << "/d/book/"
                                             << "c.opf"
                                             << "/d/book/c.opf";
        QTest::newRow("query mark kept") << "/d/book"
                                         << "OEBPS/a?b.png"
                                         << "/d/book/OEBPS/a?b.png";
        QTest::newRow("absolute") << "/d/book"
                                  << "/proc/self/fd/0"
                                  << "";
        QTest::newRow("no book folder") << ""
                                        << "c.opf"
                                        << "";
        QTest::newRow("no path") << "/d/book"
                                 << ""
                                 << "";
    }

    void joinsTheFileToOpen()
    {
        QFETCH(QString, bookDir);
        QFETCH(QString, path);
        QTEST(lf::BookHref::filePath(bookDir, path), "file");
    }
};

LF_TEST_CORE_MAIN(TestBookHref)
#include "tst_bookhref.moc"
