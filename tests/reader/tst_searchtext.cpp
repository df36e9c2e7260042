// The search text may answer "maybe" too often, never "no" where the engine
// finds the term: checked against a real off-screen page on the cases where
// the engine's matching is loosest.
#include "panelbooks.h"
#include "reader/searchtext.h"
#include "reader/searchtextindex.h"
#include "testsupport.h"

#include <QApplication>
#include <QTemporaryDir>

class TestSearchText : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_folder.isValid()); }

    void neverMissesWhatTheEngineFinds_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("term");
        QTest::addColumn<bool>("engineFinds");
        QTest::newRow("accent in the text") << "a.xhtml"
                                            << "<p>café noir</p>"
                                            << "cafe" << true;
        QTest::newRow("accent in the term") << "a.xhtml"
                                            << "<p>cafe noir</p>"
                                            << "café" << false;
        QTest::newRow("decomposed accent") << "a.xhtml"
                                           << "<p>e\u0301te\u0301</p>"
                                           << "été" << true;
        QTest::newRow("sharp s") << "a.xhtml"
                                 << "<p>Straße</p>"
                                 << "STRASSE" << true;
        QTest::newRow("ligature letters") << "a.xhtml"
                                          << "<p>\u00e6sir \u0153uvre</p>"
                                          << "aesir" << true;
        QTest::newRow("presentation ligature") << "a.xhtml"
                                               << "<p>\ufb01x</p>"
                                               << "fix" << true;
        QTest::newRow("full width") << "a.xhtml"
                                    << "<p>\uff21BC</p>"
                                    << "abc" << true;
        QTest::newRow("katakana for hiragana") << "a.xhtml"
                                               << "<p>\u30ab\u30bf</p>"
                                               << "\u304b\u305f" << true;
        QTest::newRow("greek accents and case") << "a.xhtml"
                                                << "<p>Αθήνα</p>"
                                                << "αθηνα" << true;
        QTest::newRow("dotted capital I") << "a.xhtml"
                                          << "<p>İstanbul</p>"
                                          << "istanbul" << true;
        QTest::newRow("curly apostrophe") << "a.xhtml"
                                          << "<p>it’s</p>"
                                          << "it's" << true;
        QTest::newRow("soft hyphen") << "a.xhtml"
                                     << "<p>soft\u00adhyphen</p>"
                                     << "softhyphen" << true;
        QTest::newRow("zero width space") << "a.xhtml"
                                          << "<p>zero\u200bwidth</p>"
                                          << "zerowidth" << true;
        QTest::newRow("no-break space") << "a.xhtml"
                                        << "<p>foo&#160;bar</p>"
                                        << "foo bar" << true;
        QTest::newRow("collapsed white space") << "a.xhtml"
                                               << "<p>foo \n  bar</p>"
                                               << "foo bar" << true;
        QTest::newRow("split by markup") << "a.xhtml"
                                         << "<p>split<b>word</b></p>"
                                         << "splitword" << true;
        QTest::newRow("escaped ampersand") << "a.xhtml"
                                           << "<p>x&amp;y</p>"
                                           << "x&y" << true;
        QTest::newRow("hidden inline") << "a.xhtml"
                                       << "<p>hid<span style='display:none'>x</span>den</p>"
                                       << "hidden" << true;
        QTest::newRow("script text") << "a.xhtml"
                                     << "<p>a</p><script>var secret;</script>"
                                     << "secret" << false;
        QTest::newRow("style text") << "a.xhtml"
                                    << "<style>p { color: teal }</style><p>a</p>"
                                    << "teal" << false;
        QTest::newRow("not well-formed") << "a.xhtml"
                                         << "<p>broken <b>markup</p>"
                                         << "errors" << true;
        QTest::newRow("html entity") << "a.html"
                                     << "<p>caf&eacute; cr&egrave;me</p>"
                                     << "café crème" << true;
        QTest::newRow("html comment") << "a.html"
                                      << "<p>a<!-- hidden words -->b</p>"
                                      << "ab" << true;
        QTest::newRow("html script") << "a.html"
                                     << "<p>x</p><SCRIPT>var secret;</SCRIPT>"
                                     << "secret" << false;
        QTest::newRow("absent") << "a.xhtml"
                                << "<p>nothing here</p>"
                                << "elsewhere" << false;
    }

    void neverMissesWhatTheEngineFinds()
    {
        QFETCH(QString, fileName);
        QFETCH(QString, body);
        QFETCH(QString, term);
        QFETCH(bool, engineFinds);
        const QString bookDir = m_folder.path() + QLatin1Char('/') + QString::number(m_books++);
        const QByteArray bytes = fileName.endsWith(QLatin1String(".xhtml"))
            ? lf::test::xhtml(body)
            : QStringLiteral("<html><body>%1</body></html>").arg(body).toUtf8();
        const std::unique_ptr<EpubData> book = lf::test::writeBook(bookDir, { { fileName, bytes } });
        QVERIFY(book);

        QCOMPARE(!lf::test::engineSearch(*book, bookDir, term).isEmpty(), engineFinds);
        SearchTextIndex index(book.get(), bookDir);
        const bool mayContain = index.mayContain(0, lf::SearchText::fold(term));
        if (engineFinds)
            QVERIFY(mayContain);
        else if (QByteArray(QTest::currentDataTag()) != "accent in the term")
            QVERIFY2(!mayContain, "decided without the engine"); // a load saved
    }

    void extractsVisibleText_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("folded");
        QTest::addColumn<bool>("complete");
        QTest::newRow("xhtml") << "x.xhtml" << lf::test::xhtml("<p>One <i>Two</i></p><script>x</script>") << "tonetwo"
                               << true;
        const QByteArray doctype("<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.1//EN\" "
                                 "\"http://www.w3.org/TR/xhtml11/DTD/xhtml11.dtd\">");
        QTest::newRow("entity of the XHTML DTD")
            << "x.xhtml" << doctype + "<html><p>caf&eacute;&nbsp;cr&egrave;me</p></html>"
            << "cafecreme" << true;
        QTest::newRow("unknown entity") << "x.xhtml" << doctype + "<html><p>a&frobnitz;b</p></html>"
                                        << "ab" << false;
        QTest::newRow("hidden attribute") << "x.xhtml" << lf::test::xhtml("<p hidden=''>x</p>") << "tx" << false;
        QTest::newRow("html, not UTF-8") << "x.html" << QByteArray("<p>caf\xe9</p>") << "caf" << false;
        QTest::newRow("other type") << "x.txt" << QByteArray("text") << "" << false;
    }

    void extractsVisibleText()
    {
        QFETCH(QString, fileName);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, folded);
        QFETCH(bool, complete);
        const lf::SearchText::DocumentText text = lf::SearchText::extract(bytes, fileName);
        QCOMPARE(text.folded, folded);
        QCOMPARE(text.complete, complete);
    }

private:
    QTemporaryDir m_folder;
    int m_books = 0;
};

LF_TEST_MAIN(TestSearchText)
#include "tst_searchtext.moc"
