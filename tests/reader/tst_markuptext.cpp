// The first search's screen: a document is passed over only when a word of
// the term is missing from its markup's text; whatever the page may show that
// its markup's text does not hold (parser error pages, form controls, raw
// text, guessed encodings) leaves the document to the engine.
#include "reader/markuptext.h"
#include "testsupport.h"

#include <QTest>

using lf::MarkupText::Syntax;

namespace {
QByteArray xhtml(const QByteArray& body, const QByteArray& doctype = {})
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n" + doctype
        + "<html xmlns=\"http://www.w3.org/1999/xhtml\"><head><title>t</title></head><body>" + body + "</body></html>";
}

QByteArray html(const QByteArray& body)
{
    return "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>t</title></head><body>" + body + "</body></html>";
}

const QByteArray kXhtml11
    = "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.1//EN\" \"http://www.w3.org/TR/xhtml11/DTD/xhtml11.dtd\">\n";
} // namespace

class TestMarkupText : public QObject
{
    Q_OBJECT

private slots:
    void screensByTheMarkupsText_data()
    {
        QTest::addColumn<QByteArray>("markup");
        QTest::addColumn<bool>("xml");
        QTest::addColumn<QString>("term");
        QTest::addColumn<bool>("mayFind");

        QTest::newRow("absent word") << xhtml("<p>the river ran</p>") << true << "zebra" << false;
        QTest::newRow("case, width, accents") << xhtml("<p>ＺＥＢＲＡ résumé</p>") << true << "Zebra resume" << true;
        QTest::newRow("word split by inline tags") << xhtml("<p>split<b>wo</b>rd</p>") << true << "splitword" << true;
        QTest::newRow("words in separate blocks") << xhtml("<p>white</p><p>whale</p>") << true << "white whale" << true;
        QTest::newRow("one word of two missing") << xhtml("<p>white</p><p>whale</p>") << true << "white shark" << false;
        QTest::newRow("curly quote in the text") << xhtml("<p>Alice’s</p>") << true << "alice's" << true;
        QTest::newRow("attribute text") << xhtml("<p title=\"zebra\">x</p>") << true << "zebra" << false;
        QTest::newRow("script and style")
            << xhtml("<script>var zebra;</script><style>.zebra{}</style><p>x</p>") << true << "zebra" << false;
        QTest::newRow("comment") << xhtml("<!-- zebra --><p>x</p>") << true << "zebra" << false;
        QTest::newRow("cdata") << xhtml("<p>ze<![CDATA[br]]>a</p>") << true << "zebra" << true;
        QTest::newRow("character references") << xhtml("<p>&#x7A;e&#98;ra &amp;c</p>") << true << "zebra &c" << true;
        QTest::newRow("html name under an xhtml type")
            << xhtml("<p>caf&eacute;</p>", kXhtml11) << true << "café" << true;
        QTest::newRow("undefined entity: error page") << xhtml("<p>&wombat;</p>") << true << "defined" << true;
        QTest::newRow("mismatched tags: error page") << xhtml("<p><b>x</p></b>") << true << "mismatch" << true;
        QTest::newRow("undeclared prefix: error page") << xhtml("<p epub:type=\"x\">y</p>") << true << "prefix" << true;
        QTest::newRow("bare ampersand: error page") << xhtml("<p>AT&T</p>") << true << "zebra" << true;
        QTest::newRow("undefined entity in an attribute: error page")
            << xhtml("<p title=\"&nbsp;\">x</p>") << true << "defined" << true;
        QTest::newRow("transform") << QByteArray("<?xml-stylesheet type=\"text/xsl\" href=\"t.xsl\"?>") + xhtml("x")
                                   << true << "zebra" << true;
        QTest::newRow("root other than xhtml") << QByteArray("<book><p>x</p></book>") << true << "book" << true;
        QTest::newRow("form control") << xhtml("<p><input value=\"zebra\"/></p>") << true << "zebra" << true;
        QTest::newRow("html: names and bare ampersands")
            << html("<p>caf&eacute; AT&T &#x7A;ebra</p>") << false << "café at&t zebra" << true;
        QTest::newRow("html: a name read without semicolon") << html("<p>&notit;</p>") << false << "¬it" << true;
        QTest::newRow("html: unknown name") << html("<p>&zebra;</p>") << false << "zebra" << true;
        QTest::newRow("html: comment ended by --!>") << html("<!-- a --!>zebra -->") << false << "zebra" << true;
        QTest::newRow("html: script is raw text") << html("<script><!--</script>zebra-->") << false << "zebra" << true;
        QTest::newRow("html: < that opens no tag") << html("<p>a <b <c>zebra</p>") << false << "zebra" << true;
        QTest::newRow("html: quoted >") << html("<p title='>zebra'>x</p>") << false << "zebra" << false;
        QTest::newRow("html: xmp shows its tags") << html("<xmp><b>zebra</b></xmp>") << false << "b>zebra" << true;
        QTest::newRow("html: no charset, not ASCII")
            << QByteArray("<html><body><p>caf\xC3\xA9</p></body></html>") << false << "zebra" << true;
        QTest::newRow("html: no charset, ASCII")
            << QByteArray("<html><body><p>cafe</p></body></html>") << false << "zebra" << false;
        QTest::newRow("html: encoding of the xml declaration")
            << QByteArray("<?xml version='1.0' encoding='utf-8'?><html><body><p>caf\xC3\xA9</p></body></html>") << false
            << "zebra" << false;
        QTest::newRow("picture inside a term")
            << xhtml("<p>慶応<img src=\"a.png\" alt=\"\"/>年</p>") << true << "慶応\uFFFC年" << true;
        QTest::newRow("empty term") << xhtml("<p>x</p>") << true << "" << false;
        QTest::newRow("white space only") << xhtml("<p>x</p>") << true << " " << true;
    }

    void screensByTheMarkupsText()
    {
        QFETCH(QByteArray, markup);
        QFETCH(bool, xml);
        QFETCH(QString, term);
        QFETCH(bool, mayFind);
        MarkupScreen screen(term);
        QCOMPARE(screen.mayFindIn(markup, xml ? Syntax::Xml : Syntax::Html), mayFind);
    }
};

LF_TEST_CORE_MAIN(TestMarkupText)
#include "tst_markuptext.moc"
